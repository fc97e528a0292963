#pragma once
// The decoder the window uses: the band decoder of src/engine/decode behind the window's
// ReceiveDecoder, its characters handed on with their text, confidence and times.
// Single-threaded, as the decoder it wraps: the window's thread only.

#include <memory>

#include "ui/decoder/ReceiveDecoder.h"

namespace cwt {

std::unique_ptr<ReceiveDecoder> MakeBandReceiveDecoder(int rateHz, const ReceiveSettings& settings);

}  // namespace cwt
