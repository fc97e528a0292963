#pragma once
// An INI file in memory, read with the rules of the Windows profile functions: section and
// key names match without regard to ASCII case, a value loses its surrounding blanks and
// one pair of enclosing quotation marks, and the first of two equal keys counts. Writing a
// section changes only that section; every other line keeps its bytes.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cwt {

class IniProfile {
public:
    using Entry = std::pair<std::string, std::string>;

    static IniProfile Parse(std::string_view text);

    // The key names of `section` in file order (blanks stripped; comment lines and lines
    // without '=' skipped). A key written twice is listed twice.
    std::vector<std::string> Keys(std::string_view section) const;
    // The value of the first `key` in `section`, as the profile functions read it back;
    // nothing when there is no such key. No length limit.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // Every entry of `section` in file order with the value of its own line, read as Value()
    // reads it; a key written twice gives two entries with their two values.
    std::vector<Entry> Entries(std::string_view section) const;

    // What ReplaceSection does with a key given twice.
    enum class RepeatedKeys {
        Merge,  // one line, at the first one's place, with the later value
        Keep,   // a line for each, as given
    };

    // Erases `section` and writes `entries` into it as "key=value" lines, in order. A key
    // given twice keeps its first place and takes the later value, as repeated profile
    // writes do, unless `repeated` keeps both. The section keeps its place in the file (it is
    // added at the end when new), and disappears when `entries` is empty. Line breaks inside a
    // value become blanks, so a value can never turn into lines of its own.
    void ReplaceSection(std::string_view section, const std::vector<Entry>& entries,
                        RepeatedKeys repeated = RepeatedKeys::Merge);

    std::string Serialize() const;

private:
    struct Line {
        std::string text;     // without the line end
        bool header = false;  // "[name]"
        std::string section;  // header: the section name
    };
    // [first, last) line range of the body of the first section named `section`; the
    // header is at first - 1. Nothing when the file has no such section.
    std::optional<std::pair<size_t, size_t>> findSection(std::string_view section) const;

    std::vector<Line> m_lines;
    std::string m_lineEnd = "\n";
    bool m_byteOrderMark = false;
    bool m_finalLineEnd = true;
};

// Blanks and tabs at both ends removed, then one pair of matching enclosing quotation
// marks (" or ').
std::string ProfileValueText(std::string_view raw);

}  // namespace cwt
