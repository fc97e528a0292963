#pragma once
// A stretch of live keying read as it comes: the keyer's edges become tones (KeyedMarks), the
// tones and the silences between them the decoder's marks and spaces, and the decoder's
// characters the text keyed, with the Hangul syllable still open shown at its end. A tone is
// read once it has ended (a reset may still cut it short until then), the silence after the last
// one as it grows, so a letter ends on the screen as soon as its gap says so.
//
// Times are the keyer's (CLOCK_MONOTONIC); the decoder counts in milliseconds from the first
// tone of the stretch.

#include <optional>
#include <string>
#include <vector>

#include "engine/decode/Decoded.h"
#include "engine/decode/KeyedDecoder.h"
#include "engine/keyer/KeyEvents.h"
#include "engine/sending/KeyedMarks.h"

namespace cwt {

class KeyedStretch {
public:
    explicit KeyedStretch(const decode::DecoderSettings& settings = {});

    // The next edge of the keyer, as handed out (see KeyedMarks::add).
    void add(const keyer::KeyEdge& edge, bool cut);
    // Reads what has ended by `now`. True when the text changed.
    bool advance(keyer::KeyTime now);
    // The operator is done: reads what has ended by `now` and closes the open letter. A tone
    // still sounding at `now`, or one a reset cut short, is not read: it is a part of an
    // element.
    void finish(keyer::KeyTime now);

    // A tone has been read.
    bool started() const { return m_origin.has_value(); }
    // The key is down at `now`.
    bool keyDownAt(keyer::KeyTime now) const { return m_marks.downAt(now); }
    // How long the key has been up at `now` since the last tone; empty before the first or while
    // a tone sounds.
    std::optional<keyer::KeyTime> silenceAt(keyer::KeyTime now) const;

    // The text read so far, words apart by a blank; preedit() is its open syllable, if any.
    const std::u16string& committed() const { return m_committed; }
    std::u16string preedit() const;
    std::u16string text() const { return m_committed + preedit(); }

    // Every mark and space read, with what it was read as: the fist is measured on these.
    const std::vector<decode::ClassifiedStretch>& stretches() const { return m_stretches; }
    double unitMs() const { return m_decoder.unitMs(); }

private:
    double msOf(keyer::KeyTime time) const;
    void read(const std::vector<KeyedMark>& marks);
    bool takeCharacters();
    bool putWordSpaceBefore(double startMs);

    decode::KeyedDecoder m_decoder;
    KeyedMarks m_marks;
    std::optional<keyer::KeyTime> m_origin;  // the first tone's start
    std::optional<keyer::KeyTime> m_lastUp;  // the end of the last tone read
    std::u16string m_committed;
    // Where each character read starts in m_committed, by the start of its first mark: a word
    // space the decoder finds late is put there.
    struct Placed {
        double startMs;
        size_t offset;
    };
    std::vector<Placed> m_placed;
    std::vector<decode::ClassifiedStretch> m_stretches;
};

}  // namespace cwt
