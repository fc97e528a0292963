#pragma once
// The tones of a live key, from its edges as the keyer hands them out: a tone's up edge comes
// with its down edge, ahead of time, and a reset's cut may end the tone earlier than that up
// edge said. A tone is final once its end has passed; until then a cut can still shorten it.

#include <deque>
#include <optional>
#include <vector>

#include "engine/keyer/KeyEvents.h"

namespace cwt {

// A tone of the key: down at `down`, up at `up` (CLOCK_MONOTONIC).
struct KeyedMark {
    keyer::KeyTime down{0};
    keyer::KeyTime up{0};
    bool cut = false;  // ended early by a reset: a part of what the operator meant to key
    keyer::KeyTime length() const { return up - down; }
};

class KeyedMarks {
public:
    // The next edge, as handed out. `cut`: the key went up here because the keyer was reset;
    // the tone sounding then ends here, not at the later up edge handed out for it.
    void add(const keyer::KeyEdge& edge, bool cut);

    // Tones that have ended by `now`, oldest first, each once.
    std::vector<KeyedMark> takeEnded(keyer::KeyTime now);

    // The key is down at `now` (a tone began and has not ended).
    bool downAt(keyer::KeyTime now) const;
    // When the last tone handed out ends; empty before the first.
    std::optional<keyer::KeyTime> lastUp() const;
    // Forgets everything.
    void clear();

private:
    std::deque<KeyedMark> m_marks;             // not yet taken, oldest first
    std::optional<keyer::KeyTime> m_openDown;  // a down edge whose up edge has not come
    std::optional<keyer::KeyTime> m_takenUp;   // the end of the last tone taken
};

}  // namespace cwt
