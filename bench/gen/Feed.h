#pragma once
// Plays keying into the decoder as a live key does: each stretch is given when it has ended,
// and while the key is up the decoder is told so every `tickMs`, as a window's timer would.

#include "bench/gen/FistGenerator.h"
#include "engine/decode/KeyedDecoder.h"

namespace cwt::testgen {

// Gives `keying` to `decoder`, then `pauseMs` of silence after its last mark (told in ticks as
// well, and then given as a space). A `tickMs` of 0 or less gives the stretches only.
void Feed(decode::KeyedDecoder& decoder, const Keying& keying, double tickMs, double pauseMs);

}  // namespace cwt::testgen
