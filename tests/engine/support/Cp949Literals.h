#pragma once
// Test text written as UTF-16 literals, turned into the code page 949 bytes the engine uses.

#include <stdexcept>
#include <string>

#include "engine/morse/Cp949Text.h"

inline std::string Cp(std::u16string_view text) {
    auto bytes = cwt::cp949::EncodeStrict(text);
    if (!bytes) throw std::invalid_argument("text not in code page 949");
    return *bytes;
}
