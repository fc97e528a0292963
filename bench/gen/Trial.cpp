#include "bench/gen/Trial.h"

#include <chrono>
#include <string>
#include <vector>

#include "bench/gen/Feed.h"
#include "bench/gen/Symbols.h"
#include "bench/gen/TextGenerator.h"
#include "engine/decode/KeyedDecoder.h"

namespace cwt::testgen {

namespace {

constexpr size_t kLinesPerSitting = 10;
constexpr double kLinePauseMs = 3000;
constexpr double kTickMs = 20;  // the key is watched as a window's timer would

size_t WordCount(const std::string& line) {
    size_t words = 1;
    for (char c : line) words += c == ' ';
    return words;
}

KeyingOptions OptionsFor(const Trial& trial, size_t line, const std::string& text, double startMs,
                         double imbalance) {
    KeyingOptions options;
    options.style = trial.style;
    options.wpm = trial.wpm;
    options.spacing = trial.spacing;
    options.effectiveWpm = trial.effectiveWpm;
    options.endWpm = trial.endWpm;
    options.seed = trial.seed * 7919 + line;
    options.startMs = startMs;
    options.imbalanceDots = imbalance;
    if (trial.stepFactor != 1) {
        const double factor = line % 2 == 0 ? trial.stepFactor : 1 / trial.stepFactor;
        options.steps.push_back({WordCount(text) / 2, trial.wpm * factor});
    }
    return options;
}

void Count(const Trial& trial, const Keying& keying, const std::u16string& read,
           TrialResult& result) {
    result.characters.add(CharacterErrors(keying.sent, read));
    result.withSpaces.add(CharacterAndSpaceErrors(keying.sent, read));
    if (trial.korean) result.jamo.add(JamoErrors(keying.sent, read));
    for (size_t step : keying.stepIndices) {
        ++result.steps;
        result.errorsAfterSteps += ErrorsWithin(keying.sent, read, step, kAfterStepCharacters);
        result.charactersAfterSteps += kAfterStepCharacters;
    }
}

}  // namespace

TrialResult RunTrial(const Trial& trial) {
    TrialResult result;
    const std::vector<std::string> lines = trial.korean
                                               ? KoreanLines(trial.seed, trial.characters)
                                               : EnglishQsoLines(trial.seed, trial.characters);
    const decode::DecoderSettings settings{trial.korean, 80, false};
    decode::KeyedDecoder decoder(settings);
    double t = 0;
    double imbalance = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i % kLinesPerSitting == 0) {
            decoder = decode::KeyedDecoder(settings);
            imbalance = DrawImbalance(trial.seed * 1000 + i);
        }
        const Keying keying = KeyText(lines[i], OptionsFor(trial, i, lines[i], t, imbalance));
        const auto start = std::chrono::steady_clock::now();
        Feed(decoder, keying, kTickMs, kLinePauseMs);
        const std::vector<decode::DecodedChar> read = decoder.takeCharacters();
        decoder.takeStretches();
        result.decodeSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        t = keying.endMs + kLinePauseMs;
        Count(trial, keying, Symbols(DecodedText(read)), result);
    }
    return result;
}

}  // namespace cwt::testgen
