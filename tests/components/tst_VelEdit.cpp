// The numeric edit: what choosing a kind does to its text, the unfocused picture display and
// where it is drawn, the button's geometry and glyph, and the button's auto-repeat rhythm.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "components/VelEdit.h"

using namespace cwt;

namespace {

bool IsInk(QRgb pixel) { return qGray(pixel) < 100; }

// Leftmost and rightmost columns holding text ink inside `area` (-1 when there is none).
std::pair<int, int> InkColumns(const QImage& image, const QRect& area) {
    int first = -1, last = -1;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (IsInk(image.pixel(x, y))) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

// The client area less one more pixel all round (the text never touches it).
QRect TextArea(const TVelEdit& edit) { return edit.ClientRect().adjusted(1, 1, -1, -1); }

}  // namespace

class VelEditTest : public QObject {
    Q_OBJECT
private slots:
    void choosingAKindReformatsOrReplacesTheText();
    void maskAndKindSetFixedPoint();
    void layoutOrderKeepsTheTextAsLoaded();
    void unfocusedRightAlignedShowsThePictureFlushRight();
    void focusedShowsTheTextAsTyped();
    void centredAndZeroDisplay();
    void buttonIsNeverNarrowerThan15AndTheTextKeepsClear();
    void spinDownGlyph();
    void glyphImagesFollowTheButtonState();
    void buttonClickFiresOnDownClickWithTheEdit();
    void holdingTheButtonRepeatsAt400ThenEvery100Ms();
    void draggingOffTheButtonStopsTheRepeats();
};

void VelEditTest::choosingAKindReformatsOrReplacesTheText() {
    TVelEdit edit;
    edit.setObjectName("SmallEdit");
    edit.setText("1234");
    edit.setDecimalCase(etDecimal);
    QCOMPARE(edit.text(), QString("1,234"));
    QCOMPARE(edit.Alignment(), taRightJustify);

    // "1,234" is no longer a signed integer: a numeric kind clears it.
    edit.setDecimalCase(etPost);
    QCOMPARE(edit.text(), QString());
    QCOMPARE(edit.Alignment(), taLeftJustify);

    edit.setText("-0");
    edit.setDecimalCase(etNumber);
    QCOMPARE(edit.text(), QString());  // zero shows as nothing with "#,###"

    edit.setDecimalCase(etNormal);
    QCOMPARE(edit.text(), QString("SmallEdit"));
    edit.setText("typed");
    edit.setDecimalCase(etNormal);  // unchanged: nothing happens
    QCOMPARE(edit.text(), QString("typed"));
}

void VelEditTest::maskAndKindSetFixedPoint() {
    TVelEdit edit;
    edit.setMask("#,##0.00");
    QCOMPARE(edit.FixedPoint(), 0);  // etNormal takes no decimals from the mask
    edit.setDecimalCase(etPercent);
    QCOMPARE(edit.FixedPoint(), 2);
    edit.setMask("0.000");
    QCOMPARE(edit.FixedPoint(), 3);
    edit.setFixedPoint(-4);
    QCOMPARE(edit.FixedPoint(), 0);
    edit.setDecimalCase(etDecimal);
    QCOMPARE(edit.FixedPoint(), 3);
    edit.setDecimalCase(etNumber);
    QCOMPARE(edit.FixedPoint(), 0);
}

void VelEditTest::layoutOrderKeepsTheTextAsLoaded() {
    // The main window's hidden timing edits: kind first, then mask and text.
    TVelEdit edit;
    QSignalSpy changes(&edit, &TVelEdit::OnChange);
    edit.setDecimalCase(etDecimal);
    edit.setMask("#,###");
    edit.setText("10");
    QCOMPARE(edit.text(), QString("10"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().first().value<TVelEdit*>(), &edit);
    edit.setText("10");
    QCOMPARE(changes.count(), 1);
}

void VelEditTest::unfocusedRightAlignedShowsThePictureFlushRight() {
    TVelEdit edit;
    edit.resize(120, 21);
    edit.setDecimalCase(etDecimal);
    edit.setText("1234567");
    QCOMPARE(edit.DisplayText(), QString("1,234,567"));
    QCOMPARE(edit.text(), QString("1234567"));

    // The text ends 1 pixel plus the margin (3-D edge 1 + edit margin 2) before the client
    // area's right edge: client x 116 - 3 - 1 = 112, widget x 114 exclusive.
    const int textWidth = edit.fontMetrics().horizontalAdvance("1,234,567");
    const int textRight = edit.ClientRect().left() + edit.ClientRect().width() - 4;
    auto [first, last] = InkColumns(edit.grab().toImage(), TextArea(edit));
    QVERIFY2(last < textRight && last >= textRight - 3, qPrintable(QString::number(last)));
    QVERIFY(first >= textRight - textWidth - 1);

    // With the button the text moves left by the button's width.
    edit.setButtonVisible(true);
    QRect area = TextArea(edit);
    area.setRight(edit.Button()->x() - 1);
    std::tie(first, last) = InkColumns(edit.grab().toImage(), area);
    const int shifted = textRight - edit.Button()->width();
    QVERIFY2(last < shifted && last >= shifted - 3, qPrintable(QString::number(last)));
}

void VelEditTest::focusedShowsTheTextAsTyped() {
    QWidget window;
    auto* edit = new TVelEdit(&window);
    auto* other = new TVelEdit(&window);  // somewhere for the focus to go
    other->setGeometry(0, 30, 120, 21);
    edit->setGeometry(0, 0, 120, 21);
    edit->setDecimalCase(etDecimal);
    edit->setText("1234567");
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    edit->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(edit->hasFocus());
    QVERIFY(!edit->hasSelectedText());  // the classic edit selects nothing on entry

    // Left-aligned raw text: narrower than the picture and starting at the left.
    const auto [first, last] = InkColumns(edit->grab().toImage(), TextArea(*edit));
    QVERIFY2(first >= 2 && first < 8, qPrintable(QString::number(first)));
    QVERIFY(last - first < edit->fontMetrics().horizontalAdvance("1,234,567") - 4);

    QSignalSpy exits(edit, &TVelEdit::OnExit);
    other->setFocus();
    QTRY_COMPARE(exits.count(), 1);
    const int leftWhenUnfocused = InkColumns(edit->grab().toImage(), TextArea(*edit)).first;
    QVERIFY(leftWhenUnfocused > 40);
}

void VelEditTest::centredAndZeroDisplay() {
    TVelEdit edit;
    edit.resize(120, 21);
    edit.setDecimalCase(etDecimal);
    edit.setAlignment(taCenter);
    edit.setText("42");
    auto [first, last] = InkColumns(edit.grab().toImage(), TextArea(edit));
    const int middle = edit.ClientRect().left() + edit.ClientRect().width() / 2;
    QVERIFY2(qAbs((first + last) / 2 - middle) <= 2, qPrintable(QString::number(first)));

    edit.setText("0");
    QCOMPARE(InkColumns(edit.grab().toImage(), TextArea(edit)).first, -1);
    edit.setText("12x");  // unreadable: shown as the picture of 0, kept as typed
    QCOMPARE(InkColumns(edit.grab().toImage(), TextArea(edit)).first, -1);
    QCOMPARE(edit.text(), QString("12x"));
}

void VelEditTest::buttonIsNeverNarrowerThan15AndTheTextKeepsClear() {
    TVelEdit edit;
    edit.resize(120, 21);
    edit.setButtonVisible(true);
    edit.setButtonWidth(10);
    QCOMPARE(edit.ButtonWidth(), 10);
    QCOMPARE(edit.Button()->width(), 15);
    QCOMPARE(edit.Button()->DownButton()->geometry(), QRect(0, 0, 15, 17));
    // Bounds from the requested width: client x = 120 - 10 - 4, inside the 2-pixel edge.
    QCOMPARE(edit.Button()->geometry(), QRect(108, 2, 15, 17));
    // The formatting rectangle uses the actual width: 116 - 15 - 2.
    QCOMPARE(edit.FormattingRect(), QRect(0, 0, 99, 18));

    edit.setButtonWidth(20);
    QCOMPARE(edit.Button()->geometry(), QRect(98, 2, 20, 17));
    QCOMPARE(edit.FormattingRect().width(), 116 - 20 - 2);
    edit.setButtonVisible(false);
    QCOMPARE(edit.FormattingRect().width(), 116 - 1);

    edit.setCtl3D(false);  // flat 1-pixel border: x = 120 - 20 + 1, y = 1 + 1, height 18
    QCOMPARE(edit.Button()->geometry(), QRect(101, 2, 20, 18));
}

void VelEditTest::spinDownGlyph() {
    const QImage glyph = SpinDownBitmap();
    QCOMPARE(glyph.size(), QSize(9, 6));
    const QRgb olive = qRgb(128, 128, 0);
    QCOMPARE(glyph.pixel(0, 5), olive);
    const int widths[6] = {0, 7, 5, 3, 1, 0};
    for (int y = 0; y < 6; ++y) {
        int black = 0;
        for (int x = 0; x < 9; ++x) {
            const bool isBlack = glyph.pixel(x, y) == qRgb(0, 0, 0);
            if (isBlack) {
                ++black;
                QVERIFY(qAbs(x - 4) <= widths[y] / 2);
            } else {
                QCOMPARE(glyph.pixel(x, y), olive);
            }
        }
        QCOMPARE(black, widths[y]);
    }

    // On the button the olive background is transparent and the triangle shows.
    TVelEdit edit;
    edit.setButtonVisible(true);
    const QImage face = edit.Button()->grab().toImage();
    int blackPixels = 0;
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x) {
            QVERIFY(face.pixel(x, y) != olive);
            if (face.pixel(x, y) == qRgb(0, 0, 0)) ++blackPixels;
        }
    QVERIFY(blackPixels >= 16);

    edit.setDownGlyph(QPixmap());  // no bitmap: the SpinDown one again
    QCOMPARE(edit.DownGlyph().size(), QSize(9, 6));
}

void VelEditTest::glyphImagesFollowTheButtonState() {
    // Three 8 × 8 images side by side on olive: up red, disabled green, down blue.
    QImage strip(24, 8, QImage::Format_RGB32);
    strip.fill(qRgb(128, 128, 0));
    const QRgb colours[3] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < 3; ++i)
        for (int y = 2; y < 6; ++y)
            for (int x = 2; x < 6; ++x) strip.setPixel(8 * i + x, y, colours[i]);
    TVelEdit edit;
    edit.setButtonVisible(true);
    edit.setDownGlyph(QPixmap::fromImage(strip));
    edit.setDownNumGlyphs(3);
    TTimerSpeedButton* button = edit.Button()->DownButton();
    const auto shows = [button](QRgb colour) {
        const QImage face = button->grab().toImage();
        int count = 0;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x) count += face.pixel(x, y) == colour ? 1 : 0;
        return count == 16;
    };
    QVERIFY(shows(colours[0]));
    button->setDown(true);
    QVERIFY(shows(colours[2]));
    button->setDown(false);
    edit.Button()->setEnabled(false);
    QVERIFY(shows(colours[1]));
}

void VelEditTest::buttonClickFiresOnDownClickWithTheEdit() {
    TVelEdit edit;
    edit.setButtonVisible(true);
    QSignalSpy clicks(&edit, &TVelEdit::OnDownClick);
    QTest::mouseClick(edit.Button()->DownButton(), Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.first().first().value<TVelEdit*>(), &edit);
    QCOMPARE(edit.Button()->DownButton()->focusPolicy(), Qt::NoFocus);
}

void VelEditTest::holdingTheButtonRepeatsAt400ThenEvery100Ms() {
    TVelEdit edit;
    edit.setButtonVisible(true);
    edit.show();
    QElapsedTimer clock;
    QList<qint64> clicksMs;
    connect(&edit, &TVelEdit::OnDownClick, &edit, [&] { clicksMs << clock.elapsed(); });
    TTimerSpeedButton* button = edit.Button()->DownButton();
    clock.start();
    QTest::mousePress(button, Qt::LeftButton);
    // A plain event loop: QTest::qWait sleeps in 10 ms slices and would delay the ticks.
    QEventLoop held;
    QTimer::singleShot(1050, Qt::PreciseTimer, &held, &QEventLoop::quit);
    held.exec();
    const qint64 releaseMs = clock.elapsed();
    QTest::mouseRelease(button, Qt::LeftButton);

    // About 400, 500, ..., 1000 ms after the press, then one more on release.
    QVERIFY2(clicksMs.size() >= 7 && clicksMs.size() <= 8,
             qPrintable(QString::number(clicksMs.size())));
    QVERIFY2(clicksMs[0] >= 395 && clicksMs[0] < 450, qPrintable(QString::number(clicksMs[0])));
    // The repeats keep a 100 ms rhythm from the first: a tick may come late, never early.
    for (int i = 1; i + 1 < clicksMs.size(); ++i) {
        const qint64 sinceFirst = clicksMs[i] - clicksMs[0];
        QVERIFY2(sinceFirst >= 100 * i - 3 && sinceFirst < 100 * i + 50,
                 qPrintable(QString("repeat %1 at %2 ms").arg(i).arg(clicksMs[i])));
    }
    QVERIFY(clicksMs.last() >= releaseMs);
    QVERIFY(!button->RepeatTimer()->isActive());
}

void VelEditTest::draggingOffTheButtonStopsTheRepeats() {
    TVelEdit edit;
    edit.resize(120, 21);
    edit.setButtonVisible(true);
    edit.show();
    QSignalSpy clicks(&edit, &TVelEdit::OnDownClick);
    TTimerSpeedButton* button = edit.Button()->DownButton();
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseMove(button, QPoint(-30, 5));  // still held, now outside: drawn up
    QVERIFY(!button->isDown());
    QTest::qWait(650);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-30, 5));
    QCOMPARE(clicks.count(), 0);
}

QTEST_MAIN(VelEditTest)
#include "tst_VelEdit.moc"
