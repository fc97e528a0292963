#include "ui/sending/SendingResults.h"

#include <QStringList>

namespace {

const QString kError = QStringLiteral("<b style='color:#C00000'>%1</b>");
const QString kLater = QStringLiteral("<span style='color:#909090'>%1</span>");

QString Symbol(char16_t symbol) {
    return QString::fromStdU16String(cwt::SymbolText(symbol)).toHtmlEscaped();
}

QString Plain(char16_t symbol) { return QString::fromStdU16String(cwt::SymbolText(symbol)); }

// One side of the alignment; a missing symbol shows as "_".
QString Side(const cwt::SendingComparison& comparison, bool asked) {
    QStringList cells;
    for (const cwt::AlignedPair& pair : comparison.alignment) {
        const char16_t c = asked ? pair.sent : pair.copied;
        const QString shown = c ? Symbol(c) : QStringLiteral("_");
        cells << (pair.isError() ? kError.arg(shown) : shown);
    }
    return cells.join(QChar(' '));
}

QString Number(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString FigureRow(const QString& name, const cwt::fist::Figure& figure, double target,
                  const QString& unit) {
    if (figure.count == 0) return QString();
    return QStringLiteral(
               "<tr><td>%1</td><td align='right'>%2</td><td>± %3 %4</td>"
               "<td>목표 %5</td><td>%6개</td></tr>")
        .arg(name, Number(figure.mean, 2), Number(figure.spread, 2), unit, Number(target, 0))
        .arg(figure.count);
}

}  // namespace

QString AlignedHtml(const cwt::SendingComparison& comparison, const QString& open) {
    QString asked = Side(comparison, true);
    QStringList rest;
    for (char16_t symbol : comparison.rest) rest << Symbol(symbol);
    if (!rest.isEmpty()) asked += QChar(' ') + kLater.arg(rest.join(QChar(' ')));
    const QString keyed = Side(comparison, false);
    return QStringLiteral(
               "<table cellspacing='0' cellpadding='1'>"
               "<tr><td>보낼 글&nbsp;</td><td><tt>%1</tt></td></tr>"
               "<tr><td>보낸 글&nbsp;</td><td><tt>%2%3</tt></td></tr></table>")
        .arg(asked, keyed,
             open.isEmpty() ? QString() : QStringLiteral(" <u>%1</u>").arg(open.toHtmlEscaped()));
}

QString ErrorsInWords(const cwt::SendingComparison& comparison) {
    QStringList words;
    for (const cwt::AlignedPair& pair : comparison.alignment) {
        if (!pair.isError()) continue;
        if (pair.sent && pair.copied)
            words << QStringLiteral("%1 대신 %2").arg(Plain(pair.sent), Plain(pair.copied));
        else if (pair.sent)
            words << QStringLiteral("%1 빠뜨림").arg(Plain(pair.sent));
        else
            words << QStringLiteral("%1 더 보냄").arg(Plain(pair.copied));
    }
    return words.join(QStringLiteral(", "));
}

QString KeyedHtml(const std::u16string& keyed, const QString& open) {
    return QStringLiteral("<p>보낸 글&nbsp;<tt>%1%2</tt></p>")
        .arg(QString::fromStdU16String(keyed).toHtmlEscaped(),
             open.isEmpty() ? QString() : QStringLiteral("<u>%1</u>").arg(open.toHtmlEscaped()));
}

QString FistHtml(const cwt::fist::FistReport& report, bool keyerElements) {
    const cwt::fist::FistTargets targets;
    QString rows;
    if (!keyerElements) {
        rows += FigureRow(QStringLiteral("장점 대 단점"), report.dahDitRatio, targets.dahDitRatio,
                          QStringLiteral("배"));
        rows += FigureRow(QStringLiteral("무게"), report.weightPercent, 50, QStringLiteral("%"));
        rows += FigureRow(QStringLiteral("부호 사이"), report.elementGapUnits,
                          targets.elementGapUnits, QStringLiteral("단위"));
    }
    rows += FigureRow(QStringLiteral("문자 사이"), report.letterGapUnits, targets.letterGapUnits,
                      QStringLiteral("단위"));
    rows += FigureRow(QStringLiteral("단어 사이"), report.wordGapUnits, targets.wordGapUnits,
                      QStringLiteral("단위"));
    QString score = QStringLiteral("<p><b>손 점수 %1</b> / 100 (타이밍 %2")
                        .arg(Number(report.score, 0), Number(report.timingScore, 0));
    if (report.textSymbols > 0)
        score +=
            QStringLiteral(", 글 %1자 중 틀림 %2").arg(report.textSymbols).arg(report.textErrors);
    score += QStringLiteral(")</p>");
    const QString speed =
        QStringLiteral("<p>속도 %1 WPM (처음 %2, 끝 %3; 분당 %4 WPM 변화)%5</p>")
            .arg(Number(report.wpm, 1), Number(report.wpmStart, 1), Number(report.wpmEnd, 1),
                 Number(report.driftWpmPerMinute, 1),
                 keyerElements ? QStringLiteral(". 키어가 부호를 만들었으므로 간격만 봅니다")
                               : QString());
    return score + speed + QStringLiteral("<table cellspacing='4'>%1</table>").arg(rows);
}

std::vector<cwt::SendingFigure> FiguresOf(const cwt::fist::FistReport& report) {
    std::vector<cwt::SendingFigure> figures;
    auto add = [&](const char* name, const cwt::fist::Figure& figure) {
        if (figure.count > 0)
            figures.push_back({QString::fromLatin1(name), figure.mean, figure.spread});
    };
    add("dah-dit-ratio", report.dahDitRatio);
    add("weight-percent", report.weightPercent);
    add("element-gap", report.elementGapUnits);
    add("letter-gap", report.letterGapUnits);
    add("word-gap", report.wordGapUnits);
    figures.push_back({QStringLiteral("unit-ms"), report.unitMs, 0});
    figures.push_back({QStringLiteral("drift-wpm-per-minute"), report.driftWpmPerMinute, 0});
    return figures;
}
