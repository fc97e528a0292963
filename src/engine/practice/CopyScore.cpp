#include "engine/practice/CopyScore.h"

#include <algorithm>

namespace cwt {

namespace {

bool IsBlank(char16_t c) { return c <= u' ' || c == u'\u3000' || c == u'\u00A0'; }

}  // namespace

std::u16string CopySymbols(Course course, std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() * (course == Course::Korean ? 3 : 1));
    for (char16_t c : text) {
        if (IsBlank(c)) continue;
        if (course == Course::English) {
            out += c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
            continue;
        }
        const std::u16string jamo = SentJamo(c);
        if (jamo.empty())
            out += c;
        else
            out += jamo;
    }
    return out;
}

std::vector<AlignedPair> Align(std::u16string_view sent, std::u16string_view copied) {
    const size_t n = sent.size();
    const size_t m = copied.size();
    const size_t width = m + 1;
    // cost[i * width + j]: the least cost of aligning sent[0, i) with copied[0, j).
    std::vector<int> cost((n + 1) * width);
    for (size_t i = 0; i <= n; ++i) cost[i * width] = static_cast<int>(i);
    for (size_t j = 0; j <= m; ++j) cost[j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            const int diagonal =
                cost[(i - 1) * width + j - 1] + (sent[i - 1] == copied[j - 1] ? 0 : 1);
            const int missed = cost[(i - 1) * width + j] + 1;
            const int extra = cost[i * width + j - 1] + 1;
            cost[i * width + j] = std::min({diagonal, missed, extra});
        }
    }
    // Walk back from the end, taking the diagonal whenever it gives the least cost.
    std::vector<AlignedPair> out;
    size_t i = n;
    size_t j = m;
    while (i > 0 || j > 0) {
        const int here = cost[i * width + j];
        if (i > 0 && j > 0 &&
            here == cost[(i - 1) * width + j - 1] + (sent[i - 1] == copied[j - 1] ? 0 : 1)) {
            out.push_back({sent[i - 1], copied[j - 1]});
            --i;
            --j;
        } else if (i > 0 && here == cost[(i - 1) * width + j] + 1) {
            out.push_back({sent[i - 1], 0});
            --i;
        } else {
            out.push_back({0, copied[j - 1]});
            --j;
        }
    }
    std::reverse(out.begin(), out.end());
    return out;
}

int ErrorCount(const std::vector<AlignedPair>& alignment) {
    return static_cast<int>(std::count_if(alignment.begin(), alignment.end(),
                                          [](const AlignedPair& p) { return p.isError(); }));
}

ItemScore ScoreItem(Course course, std::u16string_view sent, std::u16string_view copied) {
    ItemScore item;
    item.sentText = std::u16string(sent);
    item.copiedText = std::u16string(copied);
    const std::u16string sentSymbols = CopySymbols(course, sent);
    item.alignment = Align(sentSymbols, CopySymbols(course, copied));
    item.sentSymbols = static_cast<int>(sentSymbols.size());
    item.errors = ErrorCount(item.alignment);
    return item;
}

void SessionScore::add(const ItemScore& item) {
    m_items.push_back(item);
    m_sent += item.sentSymbols;
    m_errors += item.errors;
    for (const AlignedPair& pair : item.alignment) {
        if (pair.sent == 0) continue;
        SymbolTally& tally = m_tallies[pair.sent];
        ++tally.sent;
        if (!pair.isError()) ++tally.correct;
        if (pair.isError() && pair.copied != 0) ++m_confusions[{pair.sent, pair.copied}];
    }
}

int SessionScore::goodSymbols() const { return std::max(0, m_sent - m_errors); }

int SessionScore::percent() const { return m_sent == 0 ? 0 : goodSymbols() * 100 / m_sent; }

double SessionScore::fraction() const {
    return m_sent == 0 ? 0.0 : static_cast<double>(goodSymbols()) / m_sent;
}

bool SessionScore::passed() const {
    return m_sent >= kPassMinimumSymbols && goodSymbols() * 100 >= kPassPercent * m_sent;
}

std::vector<Confusion> SessionScore::confusions() const {
    std::vector<Confusion> out;
    for (const auto& [pair, count] : m_confusions) out.push_back({pair.first, pair.second, count});
    std::stable_sort(out.begin(), out.end(),
                     [](const Confusion& a, const Confusion& b) { return a.count > b.count; });
    return out;
}

}  // namespace cwt
