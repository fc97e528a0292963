// A text that starts with a sign or a word of one letter: its first word gap comes before the
// decoder knows the keying's gaps, is read as a letter gap at first, and is given as a word
// space once the later gaps show what it was. The letters themselves come as soon as they
// are read, never held for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/gen/FistGenerator.h"
#include "bench/gen/SoundChannel.h"
#include "bench/gen/Symbols.h"
#include "engine/decode/BandDecoder.h"
#include "engine/decode/KeyedDecoder.h"
#include "tests/engine/decode/support/DecodeHelpers.h"

namespace cwt {
namespace {

using decode::DecodedChar;
using decode::KeyedDecoder;

constexpr double kTickMs = 10;
constexpr double kPauseMs = 3000;  // the key up after the text, watched as it grows

struct LiveRead {
    std::vector<DecodedChar> given;  // as the decoder gave it, corrections included
    std::vector<DecodedChar> text;   // with the corrections applied
    // The longest from a letter's end until it was given, from the second letter on (the first
    // waits until the speed is found).
    double latestMs = 0;
};

// Reads as a window does: each stretch when it has ended, the key watched every tick while it
// is up, and what was read taken at once.
LiveRead ReadLive(std::string_view sent, const testgen::KeyingOptions& keying,
                  const decode::DecoderSettings& settings = {}) {
    KeyedDecoder decoder(settings);
    LiveRead read;
    const auto take = [&](double nowMs, bool timed = true) {
        std::vector<DecodedChar> given = decoder.takeCharacters();
        for (const DecodedChar& c : given)
            if (timed && !c.wordSpaceCorrection && !read.text.empty())
                read.latestMs = std::max(read.latestMs, nowMs - c.endMs);
        read.given.insert(read.given.end(), given.begin(), given.end());
        decode::AppendDecoded(read.text, std::move(given));
    };
    std::vector<decode::KeyStretch> stretches = testgen::KeyText(sent, keying).stretches;
    const decode::KeyStretch& last = stretches.back();
    stretches.push_back({false, last.startMs + last.lengthMs, kPauseMs, 0});
    for (const decode::KeyStretch& s : stretches) {
        const double endMs = s.startMs + s.lengthMs;
        if (!s.mark)
            for (double t = s.startMs + kTickMs; t < endMs; t += kTickMs) {
                decoder.idle(t);
                take(t);
            }
        decoder.push(s);
        take(endMs);
    }
    decoder.finish();
    take(0, false);  // an open syllable, committed only because the input ended
    return read;
}

bool AnyCorrection(const std::vector<DecodedChar>& given) {
    return std::any_of(given.begin(), given.end(),
                       [](const DecodedChar& c) { return c.wordSpaceCorrection; });
}

TEST(FirstWordGap, ReadsASignOrOneLetterWordFirstAtEverySpeedAndSpacing) {
    const std::vector<std::string> texts = {"[KA] QST DE HL1ABC", "[AR] 73 TU", "K 5NN TU",
                                            "[AR] CQ CQ DE HL1ABC K"};
    for (const testgen::Spacing spacing :
         {testgen::Spacing::Standard(), testgen::Spacing::Program()}) {
        for (double wpm : {15.0, 20.0, 30.0}) {
            for (const std::string& text : texts) {
                SCOPED_TRACE(text + " at " + std::to_string(wpm) + " WPM, letter gaps of " +
                             std::to_string(spacing.letterUnits));
                const LiveRead read = ReadLive(text, test::Ideal(wpm, spacing));
                EXPECT_EQ(testgen::DecodedText(read.text), text);
                // Every letter on screen within half a second of its end: none is held for the
                // word gap.
                EXPECT_LT(read.latestMs, 500);
            }
        }
    }
}

TEST(FirstWordGap, GivesTheSpaceAsACorrectionOfLettersAlreadyTaken) {
    // The sign and the 7 were taken long before the later gaps showed what a word gap is: the
    // space before the 7 comes as a correction naming it, and everything else stays as it was.
    const LiveRead read = ReadLive("[AR] 73 TU", test::Ideal(20));
    ASSERT_TRUE(AnyCorrection(read.given));
    const auto correction =
        std::find_if(read.given.begin(), read.given.end(),
                     [](const DecodedChar& c) { return c.wordSpaceCorrection; });
    EXPECT_TRUE(correction->text.empty());
    EXPECT_EQ(correction->startMs, read.text[1].startMs);
    EXPECT_EQ(read.text[1].text, "7");
    EXPECT_EQ(testgen::DecodedText(read.given), "[AR] 73 TU");

    // This program's own letter gaps, as long as the usual word gap, are no word gaps later
    // either; and a correction naming no character changes nothing.
    const LiveRead own = ReadLive("CQ CQ DE HL1ABC", test::Ideal(20, testgen::Spacing::Program()));
    EXPECT_FALSE(AnyCorrection(own.given));
    std::vector<DecodedChar> text = own.text;
    DecodedChar stray;
    stray.startMs = -5;
    stray.wordSpaceCorrection = true;
    decode::AppendDecoded(text, {stray});
    EXPECT_EQ(testgen::DecodedText(text), "CQ CQ DE HL1ABC");
}

TEST(FirstWordGap, ReadsKoreanThatStartsWithAWordOfOneSyllable) {
    const decode::DecoderSettings korean{true, 80, false};
    for (const testgen::Spacing spacing :
         {testgen::Spacing::Standard(), testgen::Spacing::Program()}) {
        for (double wpm : {15.0, 20.0, 30.0}) {
            for (const std::string text : {"네 감사합니다", "네 수고하세요 73"}) {
                SCOPED_TRACE(text + " at " + std::to_string(wpm) + " WPM, letter gaps of " +
                             std::to_string(spacing.letterUnits));
                const LiveRead read = ReadLive(text, test::Ideal(wpm, spacing), korean);
                EXPECT_EQ(testgen::DecodedText(read.text), text);
            }
        }
    }
}

TEST(FirstWordGap, ReadsTheFirstWordGapInReceivedSound) {
    for (double wpm : {15.0, 20.0, 30.0}) {
        for (const std::string text : {"[KA] QST DE HL1ABC", "[AR] 73 TU", "K 5NN TU"}) {
            SCOPED_TRACE(text + " at " + std::to_string(wpm) + " WPM");
            testgen::KeyingOptions keying;
            keying.style = testgen::KeyingStyle::Computer;
            keying.wpm = wpm;
            testgen::ChannelSettings channel;
            channel.sampleRateHz = 8000;
            channel.snrDb500 = 20;
            channel.pitchHz = 700;
            channel.tailMs = 1500;
            const std::vector<float> audio =
                testgen::RenderChannel(testgen::KeyText(text, keying).stretches, channel);
            decode::BandDecoder decoder(channel.sampleRateHz);
            std::vector<DecodedChar> read;
            for (size_t i = 0; i < audio.size(); i += 800) {
                decoder.push({audio.data() + i, std::min<size_t>(800, audio.size() - i)});
                decode::AppendDecoded(read, decoder.takeCharacters());
            }
            decoder.finish();
            decode::AppendDecoded(read, decoder.takeCharacters());
            EXPECT_EQ(testgen::DecodedText(read), text);
        }
    }
}

}  // namespace
}  // namespace cwt
