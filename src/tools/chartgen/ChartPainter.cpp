#include "ChartPainter.h"

#include <QPainter>
#include <QString>
#include <string_view>
#include <vector>

#include "engine/morse/HanGulCtrlUnit.h"
#include "engine/morse/MorseTable.h"

namespace {

struct Row {
    QString first;   // bold, the key the operator looks for
    QString second;  // the letter it goes with (may be empty)
    std::string_view code;
};

struct Group {
    QString heading;
    std::vector<Row> rows;
};

constexpr int kTitleHeightPx = 34;
constexpr int kHeadingHeightPx = 20;
constexpr int kRowHeightPx = 17;
constexpr int kRowsTopPx = kTitleHeightPx + kHeadingHeightPx;
constexpr int kGroupWidthPx = kChartWidthPx / 3;  // 143
constexpr int kFirstColumnPx = 7;
constexpr int kSecondColumnPx = 27;
constexpr int kCodeColumnPx = 54;
constexpr double kDotPx = 7.0;
constexpr double kDashPx = 8.0;  // the square is a little larger, so the two never blur
constexpr double kElementGapPx = 4.0;

const QColor kInk(0x10, 0x20, 0x60);
const QColor kAccent(0xB0, 0x20, 0x30);
const QColor kHeadingBack(0x1F, 0x3A, 0x8A);
const QColor kStripe(0xEA, 0xF1, 0xFF);
const QColor kRule(0xB8, 0xC4, 0xE0);

QString Jamo(char16_t unit) { return QString(QChar(unit)); }

// The fonts draw a lone jamo much smaller than a Latin capital; enlarge it to match.
QFont LetterFont(const QString& text, int pixelSize, bool bold) {
    const bool jamo =
        text.size() == 1 && text[0].unicode() >= 0x3131 && text[0].unicode() <= 0x318E;
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(jamo ? pixelSize + 3 : pixelSize);
    font.setBold(bold);
    return font;
}

std::string_view CodeOfLetter(char letter) {
    return cwt::MorseCodes[cwt::MorseIndex(static_cast<uint8_t>(letter))];
}

Group LatinGroup() {
    Group group{QStringLiteral("영문  한글   부호"), {}};
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        group.rows.push_back({QString(QChar::fromLatin1(letter)), Jamo(cwt::JamoOfLetter(letter)),
                              CodeOfLetter(letter)});
    return group;
}

Group DigitGroup() {
    Group group{QStringLiteral("숫자 · 기호   부호"), {}};
    for (char ch : std::string_view("1234567890.,?/=;:'\"()+-"))
        group.rows.push_back({QString(QChar::fromLatin1(ch)), {}, CodeOfLetter(ch)});
    // The two syllables the table sends as whole vowels.
    group.rows.push_back({QString::fromStdString(std::string(cwt::MorseChars[cwt::kYeRow])),
                          {},
                          cwt::MorseCodes[cwt::kYeRow]});
    group.rows.push_back({QString::fromStdString(std::string(cwt::MorseChars[cwt::kYaeRow])),
                          {},
                          cwt::MorseCodes[cwt::kYaeRow]});
    return group;
}

Group HangulGroup() {
    Group group{QStringLiteral("한글  영문   부호"), {}};
    // Consonants ㄱ … ㅎ, then the vowels in the order of the Korean syllabary.
    for (char letter : std::string_view("LFBVMWGKPCXZOJEITSANHRDUQY"))
        group.rows.push_back({Jamo(cwt::JamoOfLetter(letter)), QString(QChar::fromLatin1(letter)),
                              CodeOfLetter(letter)});
    return group;
}

void PaintCode(QPainter& painter, double x, double centreY, std::string_view code) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    for (char element : code) {
        if (element == 'S') {
            painter.drawEllipse(QRectF(x, centreY - kDotPx / 2, kDotPx, kDotPx));
            x += kDotPx + kElementGapPx;
        } else if (element == 'L') {
            painter.drawRect(QRectF(x, centreY - kDashPx / 2, kDashPx, kDashPx));
            x += kDashPx + kElementGapPx;
        } else {  // a blank separates the two letters of a row
            x += kDotPx + kElementGapPx;
        }
    }
}

void PaintTitle(QPainter& painter) {
    painter.fillRect(0, 0, kChartWidthPx, kTitleHeightPx, Qt::white);
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(19);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(kHeadingBack);
    painter.drawText(QRect(0, 0, kChartWidthPx, kTitleHeightPx), Qt::AlignCenter,
                     QStringLiteral("모스 코드표  MORSE CODE"));
}

void PaintGroup(QPainter& painter, const Group& group, int left) {
    QFont headingFont(QStringLiteral("NanumGothic"));
    headingFont.setPixelSize(12);
    headingFont.setBold(true);
    painter.fillRect(left, kTitleHeightPx, kGroupWidthPx, kHeadingHeightPx, kHeadingBack);
    painter.setFont(headingFont);
    painter.setPen(Qt::white);
    painter.drawText(
        QRect(left + kFirstColumnPx - 2, kTitleHeightPx, kGroupWidthPx, kHeadingHeightPx),
        Qt::AlignLeft | Qt::AlignVCenter, group.heading);

    for (size_t i = 0; i < group.rows.size(); ++i) {
        const Row& row = group.rows[i];
        const int top = kRowsTopPx + static_cast<int>(i) * kRowHeightPx;
        if (i % 2 == 1) painter.fillRect(left, top, kGroupWidthPx, kRowHeightPx, kStripe);
        const QRect first(left + kFirstColumnPx, top, kSecondColumnPx - kFirstColumnPx,
                          kRowHeightPx);
        painter.setFont(LetterFont(row.first, 14, true));
        painter.setPen(kInk);
        painter.drawText(first, Qt::AlignHCenter | Qt::AlignVCenter, row.first);
        painter.setFont(LetterFont(row.second, 13, true));
        painter.setPen(kAccent);
        painter.drawText(
            QRect(left + kSecondColumnPx, top, kCodeColumnPx - kSecondColumnPx, kRowHeightPx),
            Qt::AlignHCenter | Qt::AlignVCenter, row.second);
        PaintCode(painter, left + kCodeColumnPx, top + kRowHeightPx / 2.0, row.code);
    }
}

void PaintLegend(QPainter& painter, int top) {
    const double centreY = top + 11;
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setBrush(kInk);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(40, centreY - kDotPx / 2, kDotPx, kDotPx));
    painter.drawRect(QRectF(190, centreY - kDashPx / 2, kDashPx, kDashPx));
    painter.setPen(kInk);
    painter.drawText(QRectF(52, top, 130, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("단음 (짧게, 1)"));
    painter.drawText(QRectF(203, top, 200, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("장음 (길게, 단음의 3배)"));
}

}  // namespace

QImage PaintChart() {
    QImage chart(kChartWidthPx, kChartHeightPx, QImage::Format_RGB32);
    chart.fill(Qt::white);
    QPainter painter(&chart);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintTitle(painter);

    const Group groups[] = {LatinGroup(), DigitGroup(), HangulGroup()};
    size_t mostRows = 0;
    for (int g = 0; g < 3; ++g) {
        PaintGroup(painter, groups[g], g * kGroupWidthPx);
        mostRows = std::max(mostRows, groups[g].rows.size());
    }
    const int rowsBottom = kRowsTopPx + static_cast<int>(mostRows) * kRowHeightPx;
    painter.setPen(QPen(kRule, 1));
    for (int g = 1; g < 3; ++g)
        painter.drawLine(QPointF(g * kGroupWidthPx + 0.5, kTitleHeightPx),
                         QPointF(g * kGroupWidthPx + 0.5, rowsBottom));
    painter.drawLine(QPointF(0, rowsBottom + 0.5), QPointF(kChartWidthPx, rowsBottom + 0.5));
    PaintLegend(painter, rowsBottom + 4);
    painter.end();
    return chart;
}
