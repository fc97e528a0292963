#include "bench/gen/FistGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "bench/gen/Symbols.h"
#include "engine/decode/CodeBook.h"
#include "engine/morse/HanGulCtrlUnit.h"
#include "engine/morse/MorseTable.h"

namespace cwt::testgen {

namespace {

// Inner: the three units inside the one code of 예 and 얘.
enum class GapKind { Inner, Letter, Syllable, Word };

// One code to key and the gap that follows it.
struct KeyedCode {
    std::string code;  // '.' and '-'
    GapKind gapAfter = GapKind::Letter;
    size_t word = 0;
    size_t symbol = 0;  // index in Keying::sent
};

struct Style {
    double dotMu, dashMu, elementMu, letterBias, wordBias;
    double dotSigma, dashSigma, elementSigma, letterSigma, wordSigma;
};

Style StyleOf(KeyingStyle style) {
    const double ln3 = std::log(3.0);
    const double ln7 = std::log(7.0);
    switch (style) {
        case KeyingStyle::HandKey:
            return {0, 1.5, 0, 1.5 - ln3, 2 - ln7, .15, .3, .2, .3, .2};
        case KeyingStyle::Paddle:
            return {0, 1.1, 0, 1.1 - ln3, 1.94 - ln7, .05, .016, .05, .2, .2};
        case KeyingStyle::Computer:
            return {0, ln3, 0, 0, 0, .05, .016, .05, .016, .008};
        case KeyingStyle::Ideal:
            break;
    }
    return {0, ln3, 0, 0, 0, 0, 0, 0, 0, 0};
}

// Normal deviates from mt19937_64, whose output the standard fixes, by Box and Muller: the
// library's own normal distribution may differ between standard libraries.
class Random {
public:
    explicit Random(uint64_t seed) : m_engine(seed) {}
    double uniform() { return (double(m_engine() >> 11) + 0.5) * 0x1.0p-53; }
    double normal() {
        if (m_hasSpare) {
            m_hasSpare = false;
            return m_spare;
        }
        const double radius = std::sqrt(-2 * std::log(uniform()));
        const double angle = 2 * std::numbers::pi * uniform();
        m_spare = radius * std::sin(angle);
        m_hasSpare = true;
        return radius * std::cos(angle);
    }

private:
    std::mt19937_64 m_engine;
    double m_spare = 0;
    bool m_hasSpare = false;
};

std::string CodeOfLatin(char c) {
    const int row = MorseIndex(static_cast<uint8_t>(c));
    if (row < 0 || row == kWordSpaceRow) return {};
    return decode::DotsOfRowCode(MorseCodes[static_cast<size_t>(row)]);
}

void AddHangul(char16_t syllable, size_t word, size_t symbol, std::vector<KeyedCode>& out) {
    // 예 and 얘 are sent as their vowel's two letters only, three units apart, as one code.
    if (syllable == u'예' || syllable == u'얘') {
        out.push_back({syllable == u'예' ? "..." : "..", GapKind::Inner, word, symbol});
        out.push_back({"..-", GapKind::Syllable, word, symbol});
        return;
    }
    const auto letters = HangulToLetters(syllable);
    for (size_t i = 0; i < letters->size(); ++i) {
        out.push_back({CodeOfLatin((*letters)[i]),
                       i + 1 == letters->size() ? GapKind::Syllable : GapKind::Letter, word,
                       symbol});
    }
}

// The codes of a text, and the symbols that were keyed.
std::vector<KeyedCode> CodesOf(const std::u16string& symbols, std::u16string& sent) {
    std::vector<KeyedCode> out;
    size_t word = 0;
    for (char16_t c : symbols) {
        if (c == u' ') {
            if (!out.empty() && out.back().gapAfter != GapKind::Word) {
                out.back().gapAfter = GapKind::Word;
                ++word;
                sent += u' ';
            }
            continue;
        }
        const size_t symbol = sent.size();
        const size_t before = out.size();
        if (c >= kFirstSyllable && c <= kLastSyllable) {
            AddHangul(c, word, symbol, out);
        } else if (c < 0x80) {
            if (std::string code = CodeOfLatin(static_cast<char>(c)); !code.empty())
                out.push_back({code, GapKind::Letter, word, symbol});
        } else {
            // A sign: its letters joined into one code.
            std::string code;
            for (char letter : SymbolsToUtf8(std::u16string(1, c))) code += CodeOfLatin(letter);
            if (!code.empty()) out.push_back({code, GapKind::Letter, word, symbol});
        }
        if (out.size() > before) sent += c;
    }
    if (!sent.empty() && sent.back() == u' ') sent.pop_back();
    return out;
}

}  // namespace

double DrawImbalance(uint64_t seed) { return 0.1 * Random(seed).normal(); }

double FarnsworthStretch(const Spacing& spacing, double characterWpm, double effectiveWpm) {
    if (!(effectiveWpm > 0) || effectiveWpm >= characterWpm) return 1;
    constexpr double kParisElementUnits = 31;  // its elements and the element gaps inside
    const double gapUnits = 5 * spacing.letterUnits + spacing.wordExtraUnits;
    return ((kParisElementUnits + gapUnits) * characterWpm / effectiveWpm - kParisElementUnits) /
           gapUnits;
}

Keying KeyText(std::string_view utf8, const KeyingOptions& options) {
    Keying keying;
    const std::vector<KeyedCode> codes = CodesOf(Symbols(utf8), keying.sent);
    const Style style = StyleOf(options.style);
    Random random(options.seed);
    const double imbalance = options.style == KeyingStyle::Ideal ? 0 : options.imbalanceDots;
    const double stretch = FarnsworthStretch(options.spacing, options.wpm, options.effectiveWpm);
    const Spacing& spacing = options.spacing;

    double baseWpm = options.wpm;
    size_t nextStep = 0;
    double t = options.startMs;
    using decode::StretchKind;
    auto add = [&](StretchKind kind, double lengthMs) {
        const bool mark = kind == StretchKind::Dot || kind == StretchKind::Dash;
        keying.stretches.push_back({mark, t, lengthMs, mark ? 1.0 : 0.0});
        keying.kinds.push_back(kind);
        t += lengthMs;
    };
    const StretchKind syllableGap = spacing.syllableUnits > spacing.letterUnits
                                        ? StretchKind::SyllableGap
                                        : StretchKind::LetterGap;
    for (size_t i = 0; i < codes.size(); ++i) {
        const KeyedCode& code = codes[i];
        while (nextStep < options.steps.size() && options.steps[nextStep].wordIndex <= code.word) {
            baseWpm = options.steps[nextStep].wpm;
            keying.stepIndices.push_back(code.symbol);
            ++nextStep;
        }
        double wpm = baseWpm;
        if (options.endWpm > 0 && codes.size() > 1)
            wpm += (options.endWpm - options.wpm) * double(i) / double(codes.size() - 1);
        const double unitMs = 1200.0 / wpm;
        auto lengthOf = [&](double mu, double sigma, double units, double shift) {
            const double ms = units * unitMs * std::exp(mu + sigma * random.normal());
            return std::max(ms + shift * unitMs, 0.05 * unitMs);
        };
        for (size_t e = 0; e < code.code.size(); ++e) {
            const bool dash = code.code[e] == '-';
            add(dash ? StretchKind::Dash : StretchKind::Dot,
                lengthOf(dash ? style.dashMu : style.dotMu, dash ? style.dashSigma : style.dotSigma,
                         1, imbalance));
            if (e + 1 < code.code.size())
                add(StretchKind::ElementGap,
                    lengthOf(style.elementMu, style.elementSigma, 1, -imbalance));
        }
        if (i + 1 == codes.size()) break;
        const char16_t keyed = keying.sent[code.symbol];
        const bool syllable = keyed >= kFirstSyllable && keyed <= kLastSyllable;
        const double characterGap = syllable ? spacing.syllableUnits : spacing.letterUnits;
        switch (code.gapAfter) {
            case GapKind::Inner:
                add(StretchKind::LetterGap,
                    lengthOf(style.letterBias, style.letterSigma, 3, -imbalance));
                break;
            case GapKind::Word:
                add(StretchKind::WordGap,
                    lengthOf(style.wordBias, style.wordSigma,
                             (characterGap + spacing.wordExtraUnits) * stretch, -imbalance));
                break;
            case GapKind::Letter:
                add(StretchKind::LetterGap, lengthOf(style.letterBias, style.letterSigma,
                                                     spacing.letterUnits * stretch, -imbalance));
                break;
            case GapKind::Syllable:
                add(syllable ? syllableGap : StretchKind::LetterGap,
                    lengthOf(style.letterBias, style.letterSigma, characterGap * stretch,
                             -imbalance));
                break;
        }
    }
    keying.endMs = t;
    return keying;
}

}  // namespace cwt::testgen
