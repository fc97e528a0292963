#pragma once
// Cleans the stretches before they are read: a mark much shorter than a dot (a noise spike, a
// key's bounce) is taken as part of the space around it, and a space much shorter than an
// element gap between two marks (a dropout) as part of the mark. Stretches of one kind that
// follow each other are joined. A stretch is held until the next one shows whether it stands.

#include <optional>
#include <vector>

#include "engine/decode/KeyStretch.h"

namespace cwt::decode {

class SpikeFilter {
public:
    // Takes the next stretch; appends to `settled` the stretches that can no longer change.
    void push(KeyStretch stretch, double spikeLimitMs, double dropoutLimitMs,
              std::vector<KeyStretch>& settled);
    // The key has stayed up until `nowMs`: a held mark stands once the space after it has
    // grown too long for a dropout.
    void idle(double nowMs, double dropoutLimitMs, std::vector<KeyStretch>& settled);
    // The input has ended: the held stretch stands.
    void flush(std::vector<KeyStretch>& settled);

    bool holdsMark() const { return m_held && m_held->mark; }

private:
    std::optional<KeyStretch> m_held;
};

}  // namespace cwt::decode
