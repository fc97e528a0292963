#pragma once
// What the sending-practice window shows in words: the keyed text against the text asked, its
// errors named, and the figures of the operator's fist.

#include <QString>
#include <string>
#include <vector>

#include "engine/fist/FistAnalysis.h"
#include "engine/practice/KochCourse.h"
#include "engine/sending/SendingScore.h"
#include "store/ProgressStore.h"

// The text asked over the text keyed, column by column, errors bold and red, the part not
// keyed yet grey; `open` (the syllable still open) follows the keyed text.
QString AlignedHtml(const cwt::SendingComparison& comparison, const QString& open = QString());

// Every error in words: "R 대신 K", "B 빠뜨림", "E 더 보냄"; empty when there is none.
QString ErrorsInWords(const cwt::SendingComparison& comparison);

// The keyed text alone, for free keying.
QString KeyedHtml(const std::u16string& keyed, const QString& open);

// The figures of a stretch, each with what it aims at.
QString FistHtml(const cwt::fist::FistReport& report, bool keyerElements);

// The figures as the practice history keeps them.
std::vector<cwt::SendingFigure> FiguresOf(const cwt::fist::FistReport& report);
