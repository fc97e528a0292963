#include "ui/practice/CopyPracticeResults.h"

#include <QStringList>

namespace {

constexpr int kConfusionsShown = 6;

QString Char(char16_t c) { return QString(QChar(c)).toHtmlEscaped(); }

// One side of the alignment in a fixed-width line; errors bold and red, nothing as "_".
QString AlignedLine(const std::vector<cwt::AlignedPair>& alignment, bool sentSide) {
    QString line;
    for (const cwt::AlignedPair& pair : alignment) {
        const char16_t c = sentSide ? pair.sent : pair.copied;
        const QString shown = c ? Char(c) : QStringLiteral("_");
        line +=
            pair.isError() ? QStringLiteral("<b style='color:#C00000'>%1</b>").arg(shown) : shown;
        line += QChar(' ');
    }
    return line;
}

}  // namespace

QString ErrorsInWords(const cwt::ItemScore& item) {
    QStringList words;
    for (const cwt::AlignedPair& pair : item.alignment) {
        if (!pair.isError()) continue;
        if (pair.sent && pair.copied)
            words << QStringLiteral("%1 대신 %2").arg(QChar(pair.sent), QChar(pair.copied));
        else if (pair.sent)
            words << QStringLiteral("%1 빠짐").arg(QChar(pair.sent));
        else
            words << QStringLiteral("%1 더 씀").arg(QChar(pair.copied));
    }
    return words.join(QStringLiteral(", "));
}

QString ItemResultHtml(int number, const cwt::ItemScore& item) {
    const QString sent = QString::fromStdU16String(item.sentText).toHtmlEscaped();
    const QString copied = QString::fromStdU16String(item.copiedText).trimmed().toHtmlEscaped();
    QString verdict = item.errors == 0 ? QStringLiteral("맞음")
                                       : QStringLiteral("틀림 %1 (%2)")
                                             .arg(item.errors)
                                             .arg(ErrorsInWords(item).toHtmlEscaped());
    return QStringLiteral(
               "<p><b>%1.</b> 보냄 %2, 받음 %3: %4<br>"
               "<tt>&nbsp;보냄 %5<br>&nbsp;받음 %6</tt></p>")
        .arg(number)
        .arg(sent, copied.isEmpty() ? QStringLiteral("(없음)") : copied, verdict,
             AlignedLine(item.alignment, true), AlignedLine(item.alignment, false));
}

QString SessionSummaryHtml(const cwt::SessionScore& score, std::u16string_view order) {
    QStringList accuracy;
    for (char16_t symbol : order) {
        const auto found = score.tallies().find(symbol);
        if (found == score.tallies().end() || found->second.sent == 0) continue;
        const cwt::SymbolTally& tally = found->second;
        accuracy << QStringLiteral("%1 %2% (%3/%4)")
                        .arg(Char(symbol))
                        .arg(tally.correct * 100 / tally.sent)
                        .arg(tally.correct)
                        .arg(tally.sent);
    }
    QStringList confused;
    for (const cwt::Confusion& confusion : score.confusions()) {
        if (confused.size() == kConfusionsShown) break;
        confused << QStringLiteral("%1→%2 %3번")
                        .arg(Char(confusion.sent), Char(confusion.copied))
                        .arg(confusion.count);
    }
    QString html = QStringLiteral("<p><b>글자별 정확도</b>: %1</p>").arg(accuracy.join(", "));
    html += QStringLiteral("<p><b>자주 헷갈린 글자</b>: %1</p>")
                .arg(confused.isEmpty() ? QStringLiteral("없음") : confused.join(", "));
    return html;
}
