#pragma once
// Scoring what the operator copied. The copy is aligned with what was sent by edit distance,
// so a missed or an extra character costs one, not the rest of the line. Korean is aligned on
// jamo: a syllable with one wrong jamo costs one jamo.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/practice/KochCourse.h"

namespace cwt {

// The characters a text is scored on, blanks dropped. English: the characters in upper case.
// Korean: every syllable and compatibility jamo split into the simple jamo it is sent as;
// anything else is kept as it is (and so counts as an error where it stands).
std::u16string CopySymbols(Course course, std::u16string_view text);

// One column of an alignment; 0 stands for nothing (a missed or an extra character).
struct AlignedPair {
    char16_t sent = 0;
    char16_t copied = 0;
    bool isError() const { return sent != copied; }
};

// A least-cost alignment (each substitution, omission and insertion costs one); among equal
// alignments, substitutions are preferred, so "KMRSU" against "KMASU" reads as R taken for A.
std::vector<AlignedPair> Align(std::u16string_view sent, std::u16string_view copied);
int ErrorCount(const std::vector<AlignedPair>& alignment);

struct ItemScore {
    std::u16string sentText;    // as sent (syllables for Korean)
    std::u16string copiedText;  // as typed
    std::vector<AlignedPair> alignment;
    int sentSymbols = 0;
    int errors = 0;
};
ItemScore ScoreItem(Course course, std::u16string_view sent, std::u16string_view copied);

struct SymbolTally {
    int sent = 0;
    int correct = 0;
};

struct Confusion {
    char16_t sent = 0;
    char16_t copied = 0;
    int count = 0;
};

// A lesson is passed at 90 % or more over a session of at least 50 characters.
inline constexpr int kPassPercent = 90;
inline constexpr int kPassMinimumSymbols = 50;

class SessionScore {
public:
    void add(const ItemScore& item);

    int sentSymbols() const { return m_sent; }
    int errors() const { return m_errors; }
    // Characters sent less errors, never below 0: extra characters cost as much as missed ones.
    int goodSymbols() const;
    // The score in whole percent, rounded down so that 89.9 never shows as a pass of 90:
    // ⌊100 × max(0, sent − errors) / sent⌋, errors = substitutions + misses + extras; 0 for
    // an empty session.
    int percent() const;
    // The exact share, for plotting.
    double fraction() const;
    bool passed() const;

    const std::vector<ItemScore>& items() const { return m_items; }
    const std::map<char16_t, SymbolTally>& tallies() const { return m_tallies; }
    // Every character taken for another, most frequent first (ties in character order).
    std::vector<Confusion> confusions() const;

private:
    std::vector<ItemScore> m_items;
    std::map<char16_t, SymbolTally> m_tallies;
    std::map<std::pair<char16_t, char16_t>, int> m_confusions;
    int m_sent = 0;
    int m_errors = 0;
};

}  // namespace cwt
