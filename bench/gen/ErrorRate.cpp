#include "bench/gen/ErrorRate.h"

#include "engine/practice/CopyScore.h"

namespace cwt::testgen {

namespace {

std::u16string WithoutBlanks(std::u16string_view text) {
    std::u16string out;
    for (char16_t c : text)
        if (c != u' ') out += c;
    return out;
}

ErrorTally Tally(std::u16string_view sent, std::u16string_view read) {
    return {ErrorCount(Align(sent, read)), static_cast<long>(sent.size())};
}

}  // namespace

ErrorTally CharacterErrors(std::u16string_view sent, std::u16string_view read) {
    return Tally(WithoutBlanks(sent), WithoutBlanks(read));
}

ErrorTally CharacterAndSpaceErrors(std::u16string_view sent, std::u16string_view read) {
    return Tally(sent, read);
}

ErrorTally JamoErrors(std::u16string_view sent, std::u16string_view read) {
    return Tally(CopySymbols(Course::Korean, sent), CopySymbols(Course::Korean, read));
}

long ErrorsWithin(std::u16string_view sent, std::u16string_view read, size_t from, size_t count) {
    // `from` counts blanks; the alignment does not.
    size_t start = 0;
    for (size_t i = 0; i < from && i < sent.size(); ++i)
        if (sent[i] != u' ') ++start;
    long errors = 0;
    size_t sentIndex = 0;
    for (const AlignedPair& pair : Align(WithoutBlanks(sent), WithoutBlanks(read))) {
        const bool inside = sentIndex >= start && sentIndex < start + count;
        if (inside && pair.isError()) ++errors;
        if (pair.sent != 0) ++sentIndex;
    }
    return errors;
}

}  // namespace cwt::testgen
