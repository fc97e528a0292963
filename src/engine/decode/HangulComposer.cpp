#include "engine/decode/HangulComposer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

#include "engine/morse/Cp949Text.h"
#include "engine/morse/HanGulCtrlUnit.h"

namespace cwt::decode {

namespace {

constexpr int kMedialCount = 21;
constexpr int kFinalCount = 28;
constexpr int kYeMedial = 7;                   // ㅖ
constexpr int kYaeMedial = 3;                  // ㅒ
constexpr int kIeungInitial = 11;              // ㅇ
constexpr char16_t kFirstCompatVowel = u'ㅏ';  // compatibility vowels follow the medial order
constexpr size_t kLongestSyllable = 6;         // two letters each for initial, vowel and final

// What a cut costs, in nats. A syllable costs what its initial and final cost (below); going
// against a gap costs the log odds that the gap was what it was read as (a clean word gap far
// more than a hand key's word gap near the letter gaps); a jamo by itself costs more than any
// syllable.
constexpr double kLoneJamo = 6;
constexpr double kLeastAgainst = 0.5;
constexpr double kMostAgainst = 10;
constexpr double kVowelFirst = 0.02;  // 예 and 얘 sent without their ㅇ: after any other reading

// How rare each initial and each final is in Korean text, as ln(share of the commonest /
// share of this one), capped: rough shares of running text (ㅇ opens a fifth of all
// syllables, more than half have no final), enough to choose between the readings the
// letters allow where no gap tells them apart: LELLE is 각가 or 가까, TBBQ 얻대 or 어때,
// KUGGGDW 있습 or 잇쓰, BEVGGU 낤시 or 날씨.
constexpr std::array<double, 19> kInitialShare = {11,  0.8, 8, 10,  1, 5, 5,   5, 0.4, 9,
                                                  1.2, 21,  8, 0.4, 2, 1, 1.5, 1, 7};
constexpr std::array<double, 28> kFinalShare = {
    55,    5,    0.1, 0.01, 13,  0.05, 0.3, 0.5, 8,   0.15, 0.05, 0.1, 0.001, 0.01,
    0.002, 0.05, 3,   2.5,  0.2, 1,    2,   9,   0.2, 0.3,  0.01, 0.3, 0.2,   0.3};
constexpr double kMaxRarity = 5;

double Rarity(double share, double commonest) {
    return std::min(std::log(commonest / share), kMaxRarity);
}

// The sender's letter tables read backwards: letters → index of the initial, medial or final.
struct JamoIndex {
    std::unordered_map<std::string, int> initial;
    std::unordered_map<std::string, int> medial;
    std::unordered_map<std::string, int> final;
};

void ReadTable(std::string_view table, std::unordered_map<std::string, int>& out) {
    for (size_t i = 0; i * 2 < table.size(); ++i) {
        std::string letters;
        for (char c : table.substr(i * 2, 2))
            if (c != ' ') letters += c;
        out.emplace(letters, static_cast<int>(i));
    }
}

const JamoIndex& Index() {
    static const JamoIndex index = [] {
        JamoIndex built;
        ReadTable(InitialLetters, built.initial);
        ReadTable(MedialLetters, built.medial);
        ReadTable(FinalLetters, built.final);
        return built;
    }();
    return index;
}

bool IsVowelLetter(char latin) {
    const char16_t jamo = JamoOfLetter(latin);
    return jamo >= kFirstCompatVowel && jamo <= u'ㅣ';
}

int Lookup(const std::unordered_map<std::string, int>& map, std::string_view letters) {
    const auto it = map.find(std::string(letters));
    return it == map.end() ? -1 : it->second;
}

char16_t Syllable(int initial, int medial, int final) {
    return static_cast<char16_t>(kFirstSyllable + (initial * kMedialCount + medial) * kFinalCount +
                                 final);
}

struct Reading {
    double cost;
    std::u16string text;
};

// The letters as one piece: a syllable (an initial of one or two letters, a vowel of one or
// two, a final of none to two), 예 or 얘 sent without their ㅇ, or jamo that stand alone.
std::optional<Reading> ReadPiece(std::string_view letters) {
    const JamoIndex& index = Index();
    std::optional<Reading> best;
    auto offer = [&](double cost, std::u16string text) {
        if (!best || cost < best->cost) best = Reading{cost, std::move(text)};
    };
    const size_t n = letters.size();
    for (size_t a = 1; a <= 2 && a < n; ++a) {
        const int initial = Lookup(index.initial, letters.substr(0, a));
        if (initial < 0) continue;
        for (size_t b = 1; b <= 2 && a + b <= n; ++b) {
            const int medial = Lookup(index.medial, letters.substr(a, b));
            const int final = Lookup(index.final, letters.substr(a + b));
            if (medial < 0 || final < 0) continue;
            const double cost =
                Rarity(kInitialShare[size_t(initial)], kInitialShare[kIeungInitial]) +
                Rarity(kFinalShare[size_t(final)], kFinalShare[0]);
            offer(cost, std::u16string(1, Syllable(initial, medial, final)));
        }
    }
    const int vowel = Lookup(index.medial, letters);
    if (vowel == kYeMedial || vowel == kYaeMedial)
        offer(kVowelFirst, std::u16string(1, Syllable(kIeungInitial, vowel, 0)));
    if (n == 1) offer(kLoneJamo, std::u16string(1, JamoOfLetter(letters[0])));
    return best;
}

}  // namespace

void HangulComposer::add(const DecodedChar& letter, char latin, JamoJoin join,
                         double joinCertainty) {
    const double p = std::clamp(joinCertainty, 0.5, 1.0);
    const double logOdds = p >= 1 ? kMostAgainst : std::log(p / (1 - p));
    m_run.push_back({letter, latin, join, std::clamp(logOdds, kLeastAgainst, kMostAgainst)});
    const std::vector<Piece> pieces = parse();
    // Everything before the pieces of the last two vowels is settled. Later letters change the
    // last syllable (a compound vowel, its final), and through it the cut before it: ㅕ read as
    // 려 with the ㄹ before it may become 예, the ㄹ going back as a final, once ㅣ comes.
    size_t open = 0;
    size_t lastVowelPiece = 0;
    bool anyVowel = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        bool vowel = false;
        for (size_t k = pieces[i].first; k < pieces[i].last; ++k)
            vowel = vowel || IsVowelLetter(m_run[k].latin);
        if (!vowel) continue;
        if (anyVowel) open = lastVowelPiece;
        lastVowelPiece = i;
        anyVowel = true;
    }
    if (open == 0) return;
    for (size_t i = 0; i < open; ++i) m_committed.push_back(merged(pieces[i]));
    m_run.erase(m_run.begin(), m_run.begin() + static_cast<long>(pieces[open].first));
}

void HangulComposer::commit() {
    if (m_run.empty()) return;
    for (const Piece& piece : parse()) m_committed.push_back(merged(piece));
    m_run.clear();
}

std::vector<DecodedChar> HangulComposer::takeCommitted() {
    std::vector<DecodedChar> out;
    out.swap(m_committed);
    return out;
}

std::optional<DecodedChar> HangulComposer::preedit() const {
    if (m_run.empty()) return std::nullopt;
    Piece all{0, m_run.size(), {}};
    for (const Piece& piece : parse()) all.text += piece.text;
    return merged(all);
}

// A piece starting after a word gap has the word space before it; a word gap heard inside a
// piece was no word gap.
DecodedChar HangulComposer::merged(const Piece& piece) const {
    DecodedChar out = m_run[piece.first].read;
    out.text = cp949::Utf16ToUtf8(piece.text);
    out.wordSpaceBefore = m_run[piece.first].join == JamoJoin::WordSpace;
    out.code.clear();
    for (size_t k = piece.first; k < piece.last; ++k) {
        const DecodedChar& read = m_run[k].read;
        if (k > piece.first) out.code += ' ';
        out.code += read.code;
        out.endMs = read.endMs;
        out.confidence = std::min(out.confidence, read.confidence);
        out.known = out.known && read.known;
    }
    return out;
}

// The cut of the run into pieces of least cost, by dynamic programming over the piece ends.
std::vector<HangulComposer::Piece> HangulComposer::parse() const {
    const size_t n = m_run.size();
    std::string letters;
    for (const Letter& l : m_run) letters += l.latin;
    auto againstCut = [&](size_t k) {  // a piece starts at letter k
        return m_run[k].join == JamoJoin::SameSyllable ? m_run[k].against : 0.0;
    };
    auto againstJoin = [&](size_t k) {  // letter k is inside a piece
        const JamoJoin join = m_run[k].join;
        const bool apart = join == JamoJoin::NewSyllable || join == JamoJoin::WordSpace;
        return apart ? m_run[k].against : 0.0;
    };
    struct Best {
        double cost = -1;
        size_t from = 0;
        std::u16string text;
    };
    std::vector<Best> best(n + 1);
    best[0].cost = 0;
    for (size_t to = 1; to <= n; ++to) {
        double inside = 0;  // against the joins of letters from + 1 .. to - 1
        for (size_t from = to; from-- > 0 && to - from <= kLongestSyllable;) {
            if (from + 1 < to) inside += againstJoin(from + 1);
            if (best[from].cost < 0) continue;
            const auto reading = ReadPiece(std::string_view(letters).substr(from, to - from));
            if (!reading) continue;
            const double cost =
                best[from].cost + reading->cost + inside + (from > 0 ? againstCut(from) : 0);
            if (best[to].cost < 0 || cost < best[to].cost) best[to] = {cost, from, reading->text};
        }
    }
    std::vector<Piece> pieces;
    for (size_t to = n; to > 0; to = best[to].from)
        pieces.push_back({best[to].from, to, best[to].text});
    std::reverse(pieces.begin(), pieces.end());
    return pieces;
}

}  // namespace cwt::decode
