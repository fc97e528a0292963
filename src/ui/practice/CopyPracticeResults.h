#pragma once
// The copy-practice results as the window shows them: each item with what was sent and what
// was copied, every error marked in colour and named in words (a screen reader does not read
// colour), and the session's accuracy per character and the characters taken for others.

#include <QString>
#include <string_view>

#include "engine/practice/CopyScore.h"

// One item: "3. 보냄 KMRSU, 받음 KMASU: 틀림 1 (R 대신 A)" with the two aligned lines.
QString ItemResultHtml(int number, const cwt::ItemScore& item);

// The accuracy of each character sent, in the course's order, and the confusions.
QString SessionSummaryHtml(const cwt::SessionScore& score, std::u16string_view order);

// The errors of an item in words: "R 대신 A, S 빠짐, K 더 씀".
QString ErrorsInWords(const cwt::ItemScore& item);
