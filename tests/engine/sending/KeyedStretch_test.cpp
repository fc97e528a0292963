// Live keying read as the window reads it, every 20 ms: English words as keyed; Korean jamo
// composed into syllables, the open one shown as it grows; a tone cut by Stop is not read; the
// silence after the last tone, which ends a stretch, counted from that tone's end.
#include "engine/sending/KeyedStretch.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/keyer/KeyerSettings.h"
#include "engine/morse/MorseTable.h"
#include "engine/practice/KochCourse.h"

using namespace cwt;
using namespace std::chrono_literals;
using keyer::KeyEdge;
using keyer::KeyTime;

namespace {

constexpr KeyTime kT0 = 3h;

// The edges of `letters` (Latin letters and blanks) keyed by the book at 15 WPM: elements a unit
// apart, letters three, words seven.
std::vector<KeyEdge> Keyed(std::string_view letters, KeyTime start = kT0) {
    const KeyTime unit = keyer::KeyerUnit(15);
    std::vector<KeyEdge> edges;
    KeyTime at = start;
    for (char letter : letters) {
        if (letter == ' ') {
            at += 4 * unit;  // with the letter gap before it, seven
            continue;
        }
        for (char element : CodeOfChar(static_cast<uint8_t>(letter))) {
            if (element != 'S' && element != 'L') continue;
            edges.push_back({true, at});
            at += (element == 'L' ? 3 : 1) * unit;
            edges.push_back({false, at});
            at += unit;
        }
        at += 2 * unit;
    }
    return edges;
}

// The Latin letters that key a Hangul text, jamo by jamo.
std::string LettersOf(std::u16string_view hangul) {
    std::string letters;
    for (char16_t syllable : hangul) {
        if (syllable == u' ') letters += ' ';
        for (char16_t jamo : SentJamo(syllable)) letters += LetterOfJamo(jamo);
    }
    return letters;
}

struct Reading {
    KeyedStretch stretch;
    std::vector<std::u16string> shown;  // the text after every change

    explicit Reading(bool korean) : stretch({korean, keyer::KeyerUnit(15).count() / 1e6, false}) {}
    // Hands the edges over as the keyer does (each element whole as it starts) and reads every
    // 20 ms until `until`.
    void key(const std::vector<KeyEdge>& edges, KeyTime until) {
        size_t next = 0;
        for (KeyTime now = kT0; now <= until; now += 20ms) {
            while (next < edges.size() && edges[next].time <= now) {
                stretch.add(edges[next], false);
                if (next + 1 < edges.size()) stretch.add(edges[next + 1], false);
                next += 2;
            }
            if (stretch.advance(now)) shown.push_back(stretch.text());
        }
    }
};

}  // namespace

TEST(KeyedStretch, EnglishWordsReadAsTheyWereKeyed) {
    Reading reading(false);
    const std::vector<KeyEdge> edges = Keyed("PARIS CQ DE HL");
    reading.key(edges, edges.back().time + 5s);
    reading.stretch.finish(edges.back().time + 5s);
    EXPECT_EQ(reading.stretch.committed(), u"PARIS CQ DE HL");
    // Each letter came as soon as its gap said so, long before the pause at the end.
    ASSERT_FALSE(reading.shown.empty());
    EXPECT_EQ(reading.shown.front(), u"P");
    EXPECT_FALSE(reading.stretch.stretches().empty());
    EXPECT_NEAR(reading.stretch.unitMs(), keyer::KeyerUnit(15).count() / 1e6, 3);
}

TEST(KeyedStretch, AOneLetterWordFirstGetsItsSpaceOnceTheWordGapsAreKnown) {
    // K and the 5 are on screen long before the later gaps show that the gap between them was a
    // word gap: the blank is put between them then, and the text scored is the corrected one.
    Reading reading(false);
    const std::vector<KeyEdge> edges = Keyed("K 5NN TU");
    reading.key(edges, edges.back().time + 5s);
    reading.stretch.finish(edges.back().time + 5s);
    EXPECT_EQ(reading.stretch.committed(), u"K 5NN TU");
    EXPECT_NE(std::find(reading.shown.begin(), reading.shown.end(), u"K5"), reading.shown.end());
}

TEST(KeyedStretch, KoreanJamoAreComposedAndTheOpenSyllableShowsAsItGrows) {
    Reading reading(true);
    const std::vector<KeyEdge> edges = Keyed(LettersOf(u"한국 안녕 감사 전신"));
    reading.key(edges, edges.back().time + 5s);
    reading.stretch.finish(edges.back().time + 5s);
    EXPECT_EQ(reading.stretch.committed(), u"한국 안녕 감사 전신");
    // 하 was shown before 한 was known.
    EXPECT_NE(std::find(reading.shown.begin(), reading.shown.end(), u"하"), reading.shown.end());
}

TEST(KeyedStretch, AToneCutByStopIsNotRead) {
    Reading reading(false);
    std::vector<KeyEdge> edges = Keyed("PARIS EE");
    const KeyTime unit = keyer::KeyerUnit(15);
    // A dah begins after them; Stop comes while it sounds.
    const KeyTime dah = edges.back().time + 3 * unit;
    edges.push_back({true, dah});
    edges.push_back({false, dah + 3 * unit});
    reading.key(edges, dah + unit);
    reading.stretch.add({false, dah + unit}, true);
    reading.stretch.finish(dah + unit);
    EXPECT_EQ(reading.stretch.committed(), u"PARIS EE");
}

TEST(KeyedStretch, TheSilenceIsCountedFromTheLastTonesEnd) {
    Reading reading(false);
    const std::vector<KeyEdge> edges = Keyed("T");
    EXPECT_FALSE(reading.stretch.silenceAt(kT0).has_value());
    reading.key(edges, kT0 + 20ms);
    EXPECT_TRUE(reading.stretch.keyDownAt(kT0 + 20ms));
    EXPECT_FALSE(reading.stretch.silenceAt(kT0 + 20ms).has_value());
    EXPECT_EQ(reading.stretch.silenceAt(edges.back().time + 2s), 2s);
}
