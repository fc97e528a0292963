#include "engine/config/IniProfile.h"

#include <algorithm>

namespace cwt {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view trimBlanks(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// The key of an entry line, or nothing for comments and lines without '='.
std::optional<std::string_view> keyOfLine(std::string_view line) {
    const std::string_view trimmed = trimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = trimBlanks(line.substr(0, eq));
    if (key.empty()) return std::nullopt;
    return key;
}

std::string oneLine(std::string_view value) {
    std::string out(value);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

}  // namespace

std::string ProfileValueText(std::string_view raw) {
    std::string_view value = trimBlanks(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

IniProfile IniProfile::Parse(std::string_view text) {
    IniProfile ini;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        ini.m_byteOrderMark = true;
        text.remove_prefix(kByteOrderMark.size());
    }
    const size_t firstBreak = text.find('\n');
    if (firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r')
        ini.m_lineEnd = "\r\n";
    ini.m_finalLineEnd = text.empty() || text.back() == '\n';

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        Line line{std::string(raw), false, {}};
        const std::string_view trimmed = trimBlanks(raw);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const size_t close = trimmed.find(']');
            line.header = true;
            line.section = std::string(trimBlanks(trimmed.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        }
        ini.m_lines.push_back(std::move(line));
        start = end + 1;
    }
    return ini;
}

std::optional<std::pair<size_t, size_t>> IniProfile::findSection(std::string_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (!m_lines[i].header || !equalsIgnoringCase(m_lines[i].section, section)) continue;
        size_t end = i + 1;
        while (end < m_lines.size() && !m_lines[end].header) ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

std::vector<std::string> IniProfile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const auto range = findSection(section);
    if (!range) return keys;
    for (size_t i = range->first; i < range->second; ++i) {
        if (const auto key = keyOfLine(m_lines[i].text)) keys.emplace_back(*key);
    }
    return keys;
}

std::optional<std::string> IniProfile::Value(std::string_view section, std::string_view key) const {
    const auto range = findSection(section);
    if (!range) return std::nullopt;
    const std::string_view wanted = trimBlanks(key);
    for (size_t i = range->first; i < range->second; ++i) {
        const std::string_view text = m_lines[i].text;
        const auto lineKey = keyOfLine(text);
        if (lineKey && equalsIgnoringCase(*lineKey, wanted))
            return ProfileValueText(text.substr(text.find('=') + 1));
    }
    return std::nullopt;
}

std::vector<IniProfile::Entry> IniProfile::Entries(std::string_view section) const {
    std::vector<Entry> entries;
    const auto range = findSection(section);
    if (!range) return entries;
    for (size_t i = range->first; i < range->second; ++i) {
        const std::string_view text = m_lines[i].text;
        if (const auto key = keyOfLine(text))
            entries.emplace_back(*key, ProfileValueText(text.substr(text.find('=') + 1)));
    }
    return entries;
}

void IniProfile::ReplaceSection(std::string_view section, const std::vector<Entry>& entries,
                                RepeatedKeys repeated) {
    // Merge repeated keys first, so the section holds each key once.
    std::vector<Entry> merged;
    for (const auto& [key, value] : entries) {
        const std::string_view name = trimBlanks(key);
        auto same = repeated == RepeatedKeys::Keep
                        ? merged.end()
                        : std::find_if(merged.begin(), merged.end(), [&](const Entry& e) {
                              return equalsIgnoringCase(e.first, name);
                          });
        if (same != merged.end())
            same->second = oneLine(value);
        else
            merged.emplace_back(oneLine(name), oneLine(value));
    }

    std::vector<Line> body;
    for (const auto& [key, value] : merged) body.push_back(Line{key + "=" + value, false, {}});

    auto range = findSection(section);
    if (!range && merged.empty()) return;
    m_finalLineEnd = true;
    if (!range) {
        m_lines.push_back(Line{"[" + std::string(section) + "]", true, std::string(section)});
        range = std::make_pair(m_lines.size(), m_lines.size());
    }
    // Blank lines at the end of the old body separate it from the next section: keep them.
    size_t bodyEnd = range->second;
    while (bodyEnd > range->first && trimBlanks(m_lines[bodyEnd - 1].text).empty()) --bodyEnd;
    auto first = m_lines.begin() + static_cast<std::ptrdiff_t>(range->first);
    first = m_lines.erase(first, m_lines.begin() + static_cast<std::ptrdiff_t>(bodyEnd));
    m_lines.insert(first, body.begin(), body.end());
    if (merged.empty()) {
        // No entries left: the header goes too.
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(range->first - 1));
    }
}

std::string IniProfile::Serialize() const {
    std::string out;
    if (m_byteOrderMark) out += kByteOrderMark;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i].text;
        if (i + 1 < m_lines.size() || m_finalLineEnd) out += m_lineEnd;
    }
    return out;
}

}  // namespace cwt
