// Arbitrary macro files: reading keys and values, then rewriting the macro section, must
// keep every other section's bytes and read back what was written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/config/IniProfile.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    cwt::IniProfile profile = cwt::IniProfile::Parse(text);
    std::vector<cwt::IniProfile::Entry> entries;
    for (const auto& key : profile.Keys("CW Macros")) {
        const auto value = profile.Value("CW Macros", key);
        FUZZ_CHECK(value.has_value());
        if (!key.empty() && key.find_first_of("=[];\r\n") == std::string::npos)
            entries.emplace_back(key, *value);
    }
    // With at least one entry the section stays where it is; an empty list would remove it
    // and let a second section of the same name (which the reader ignores) take its place.
    entries.emplace_back("F12", "CQ CQ [AR]");
    profile.ReplaceSection("CW Macros", entries);
    const cwt::IniProfile reread = cwt::IniProfile::Parse(profile.Serialize());
    for (const auto& [key, value] : entries) {
        const auto back = reread.Value("CW Macros", key);
        FUZZ_CHECK(back.has_value());
    }
    // Rewriting the same section twice gives the same file.
    cwt::IniProfile again = reread;
    again.ReplaceSection("CW Macros", entries);
    FUZZ_CHECK(again.Serialize() == reread.Serialize());

    // Every line's own entry, written back as it is (a key given twice too), reads back as
    // the same keys in the same order.
    cwt::IniProfile kept = cwt::IniProfile::Parse(text);
    std::vector<cwt::IniProfile::Entry> own;
    for (const auto& entry : kept.Entries("CW Macros"))
        if (entry.first.find_first_of("=[];\r\n") == std::string::npos) own.push_back(entry);
    own.emplace_back("F12", "CQ CQ [AR]");
    kept.ReplaceSection("CW Macros", own, cwt::IniProfile::RepeatedKeys::Keep);
    const auto back = cwt::IniProfile::Parse(kept.Serialize()).Entries("CW Macros");
    FUZZ_CHECK(back.size() == own.size());
    for (size_t i = 0; i < back.size() && i < own.size(); ++i)
        FUZZ_CHECK(back[i].first == own[i].first);
    return 0;
}
