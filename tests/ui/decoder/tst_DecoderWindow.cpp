// The decoding window as an operator and a screen reader meet it: the text saved and copied
// as shown, every control named and reached by Tab, new text announced as it comes (and the
// syllable still being composed not), the pitch picked on the waterfall by mouse and keys, the
// pass band kept sane, the window's choices kept, and an input that goes away told in words.

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "components/VelAccessible.h"
#include "tests/ui/decoder/support/GeneratedInput.h"
#include "ui/decoder/DecodedTextView.h"
#include "ui/decoder/DecoderWindow.h"
#include "ui/decoder/WaterfallView.h"

namespace {

using cwt::ReceivedChar;

ReceivedChar Char(const char* text, double confidence = 0.95, bool wordSpace = false,
                  double startMs = 0) {
    ReceivedChar character;
    character.text = text;
    character.confidence = confidence;
    character.wordSpaceBefore = wordSpace;
    character.startMs = startMs;
    return character;
}

ReceivedChar WordSpaceBefore(double startMs) {
    ReceivedChar correction;
    correction.startMs = startMs;
    correction.wordSpaceBefore = true;
    correction.wordSpaceCorrection = true;
    return correction;
}

}  // namespace

class DecoderWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid());
        // The window keeps its choices in the practice history, here a file of the test's own.
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        cwt::InstallVelAccessibility();
    }

    void theTextIsSavedAsShownOrNotAtAll() {
        DecoderWindow window(nullptr);
        window.TextView->appendCharacters({Char("C"), Char("Q"), Char("[AR]", 0.9, true)});
        window.TextView->endLine();
        window.TextView->appendCharacters({Char("안"), Char("녕", 0.3)});
        window.TextView->setPreedit(Char("하", 0.9, false));
        const QString shown = QStringLiteral("CQ [AR]\n안녕하");
        QCOMPARE(window.text(), shown);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("copy.txt"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older copy, longer than the new one\n");
        old.close();
        QString error;
        QVERIFY(window.saveTextTo(path, &error));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), shown + '\n');
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"copy.txt"});

        QVERIFY(!window.saveTextTo(QStringLiteral("/proc/cwt-decoded.txt"), &error));
        QVERIFY2(error.contains(QStringLiteral("/proc/cwt-decoded.txt")) &&
                     error.contains(QStringLiteral("수 없습니다")),
                 qPrintable(error));
    }

    void copyGivesTheTextAsShown() {
        DecoderWindow window(nullptr);
        window.TextView->appendCharacters({Char("7"), Char("3"), Char("감", 0.9, true)});
        window.TextView->setPreedit(Char("사", 0.9));
        QTest::mouseClick(window.CopyButton, Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("73 감사"));
        QTest::mouseClick(window.ClearButton, Qt::LeftButton);
        QCOMPARE(window.text(), QString());
    }

    // Unsure characters stand out; a code that is no character is set apart again.
    void confidenceShowsInTheColour() {
        DecodedTextView view;
        const QColor sure = view.colourOf(Char("A", 0.95));
        const QColor doubtful = view.colourOf(Char("A", 0.6));
        const QColor unsure = view.colourOf(Char("A", 0.2));
        ReceivedChar unknown = Char("<.-.-..>", 0.9);
        unknown.known = false;
        const QSet<QRgb> colours = {sure.rgb(), doubtful.rgb(), unsure.rgb(),
                                    view.colourOf(unknown).rgb()};
        QCOMPARE(colours.size(), 4);
        view.appendCharacters({Char("A", 0.95), Char("B", 0.2)});
        QTextCursor cursor(view.document());
        cursor.setPosition(2);
        QCOMPARE(cursor.charFormat().foreground().color(), unsure);
    }

    void everyControlIsNamedAndTabGoesRoundThemInOrder() {
        DecoderWindow window(nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList nameless;
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
            if (!iface || !widget->isVisibleTo(&window) || widget->focusPolicy() == Qt::NoFocus)
                continue;
            // A spin box's line edit belongs to the spin box, which is named.
            if (qobject_cast<QAbstractSpinBox*>(widget->parentWidget())) continue;
            if (iface->text(QAccessible::Name).trimmed().isEmpty())
                nameless << widget->metaObject()->className();
        }
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(", ")));
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&window);
        QCOMPARE(frame->role(), QAccessible::Window);
        QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("수신 해독"));
        for (QLabel* label :
             {window.PitchLabel, window.SpeedLabel, window.SnrLabel, window.StatusLabel}) {
            QVERIFY(
                !QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name).isEmpty());
        }
        // From the source list, Tab reaches the controls the operator uses, in reading order
        // (the stop button and the pitch box are off while idle and automatic).
        window.activateWindow();
        window.SourceBox->setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() == window.SourceBox) break;
            visited << QAccessible::queryAccessibleInterface(QApplication::focusWidget())
                           ->text(QAccessible::Name);
        }
        QCOMPARE(visited, (QStringList{"입력 장치 목록 새로 고침", "해독 시작", "WAV 파일 열기",
                                       "영문", "통과 대역 하한", "통과 대역 상한", "음높이 자동",
                                       "스펙트럼", "해독한 글", "해독한 글 복사", "해독한 글 저장",
                                       "해독한 글 지우기"}));
    }

    // What a screen reader reads of the text is what is final: the syllable still being
    // composed is drawn after it, but is no part of the document until later letters can no
    // longer change it. (That each insertion reaches the screen reader as a text-inserted
    // event is shown through AT-SPI by the end-to-end test: offscreen, Qt raises none.)
    void theSyllableInProgressIsShownButNotYetInTheText() {
        DecoderWindow window(nullptr);
        window.TextView->appendCharacters({Char("C"), Char("Q")});
        window.TextView->setPreedit(Char("하"));
        window.TextView->setPreedit(Char("한", 0.9, true));
        QAccessibleTextInterface* text =
            QAccessible::queryAccessibleInterface(window.TextView)->textInterface();
        QVERIFY(text);
        QCOMPARE(text->text(0, text->characterCount()), QStringLiteral("CQ"));
        QCOMPARE(window.text(), QStringLiteral("CQ 한"));
        window.TextView->appendCharacters({Char("한", 0.9, true)});
        window.TextView->setPreedit(std::nullopt);
        QCOMPARE(text->text(0, text->characterCount()), QStringLiteral("CQ 한"));
        QCOMPARE(window.text(), QStringLiteral("CQ 한"));
    }

    // The decoder finds the first word gap of "[AR] 73 TU" only once later gaps show what a
    // word gap is: the blank goes in before the 7, on screen and for the screen reader, and
    // what comes after it stays where it was.
    void aWordSpaceFoundLateIsInsertedWhereItBelongs() {
        DecoderWindow window(nullptr);
        window.TextView->appendCharacters({Char("K", 0.95, false, 100)});
        window.TextView->endLine();
        window.TextView->appendCharacters(
            {Char("[AR]", 0.95, false, 100), Char("7", 0.95, false, 900), Char("3")});
        window.TextView->appendCharacters(
            {Char("T", 0.95, true, 3000), WordSpaceBefore(900), Char("U", 0.95, false, 3500)});
        QCOMPARE(window.text(), QStringLiteral("K\n[AR] 73 TU"));
        QAccessibleTextInterface* text =
            QAccessible::queryAccessibleInterface(window.TextView)->textInterface();
        QVERIFY(text);
        QCOMPARE(text->text(0, text->characterCount()), QStringLiteral("K\n[AR] 73 TU"));
        // Given twice, naming a character of an earlier line (times start again with each
        // decoder), or naming none: nothing more changes.
        window.TextView->appendCharacters({WordSpaceBefore(900), WordSpaceBefore(100),
                                           WordSpaceBefore(12345), Char("K", 0.95, true, 4000)});
        QCOMPARE(window.text(), QStringLiteral("K\n[AR] 73 TU K"));
    }

    void thePitchIsPickedOnTheWaterfallAndGivenBack() {
        DecoderWindow window(nullptr);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        WaterfallView* waterfall = window.Waterfall;
        const int x = waterfall->xOf(800);
        QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(x, waterfall->height() / 2));
        QVERIFY(!window.AutoPitchBox->isChecked());
        QVERIFY(window.PitchBox->isEnabled());
        QVERIFY(qAbs(window.PitchBox->value() - 800) <= 2);
        QCOMPARE(waterfall->pitchHz().value_or(0), window.PitchBox->value());
        waterfall->setFocus();
        QTest::keyClick(waterfall, Qt::Key_Right);
        QTest::keyClick(waterfall, Qt::Key_Right, Qt::ShiftModifier);
        QVERIFY(qAbs(window.PitchBox->value() - 811) <= 2);
        QTest::keyClick(waterfall, Qt::Key_Home);
        QVERIFY(window.AutoPitchBox->isChecked());
        QVERIFY(!window.PitchBox->isEnabled());
        QVERIFY(!waterfall->pitchHz().has_value());
        QTest::mouseClick(waterfall, Qt::LeftButton, {}, QPoint(x, 5));
        QTest::mouseClick(waterfall, Qt::RightButton, {}, QPoint(x, 5));
        QVERIFY(window.AutoPitchBox->isChecked());
    }

    // The band stays at least 100 Hz wide whichever edge moves, and the language and band
    // chosen come back in the next window.
    void theBandStaysSaneAndTheChoicesAreKept() {
        {
            DecoderWindow window(nullptr);
            window.show();
            window.HighBox->setValue(350);
            QCOMPARE(window.LowBox->value(), 250);
            window.LowBox->setValue(500);
            QCOMPARE(window.HighBox->value(), 600);
            window.HighBox->setValue(1500);
            window.KoreanButton->setChecked(true);
            QCOMPARE(window.Waterfall->lowHz(), 500.0);
            QCOMPARE(window.Waterfall->highHz(), 1500.0);
            window.close();
        }
        DecoderWindow window(nullptr);
        QVERIFY(window.korean());
        QCOMPARE(window.LowBox->value(), 500);
        QCOMPARE(window.HighBox->value(), 1500);
        window.EnglishButton->setChecked(true);
        window.LowBox->setValue(300);
        window.HighBox->setValue(1200);
        window.close();
    }

    // A receiver's sound card unplugged, or the server gone: decoding ends and the window
    // says why; Start works again.
    void anInputThatGoesAwayIsToldInWords() {
        using State = cwt::SampleInput::State;
        const std::pair<State, QString> cases[] = {
            {State::SourceLost, QStringLiteral("사라져")},
            {State::ServerLost, QStringLiteral("사운드 서버와의 연결이 끊겨")}};
        for (const auto& [state, words] : cases) {
            DecoderWindow window(nullptr);
            auto input = std::make_unique<cwt::test::GeneratedInput>(std::vector<float>(8000, 0.0f),
                                                                     8000, true);
            cwt::test::GeneratedInput* generated = input.get();
            window.startInput(std::move(input));
            QVERIFY(window.decoding());
            QVERIFY(!window.StartButton->isEnabled());
            generated->setState(state);
            QTRY_VERIFY(!window.decoding());
            QVERIFY2(window.statusText().contains(words), qPrintable(window.statusText()));
            QVERIFY(window.StartButton->isEnabled());
            QVERIFY(!window.StopButton->isEnabled());
        }
    }

    // A server that stops sending (frozen) is told, and the window goes on listening.
    void anInputThatFallsSilentIsTold() {
        DecoderWindow window(nullptr);
        window.startInput(
            std::make_unique<cwt::test::GeneratedInput>(std::vector<float>(), 8000, true));
        QTRY_VERIFY_WITH_TIMEOUT(window.statusText().contains(QStringLiteral("소리가 오지")), 5000);
        QVERIFY(window.decoding());
    }

private:
    QTemporaryDir m_data;
};

QTEST_MAIN(DecoderWindowTest)
#include "tst_DecoderWindow.moc"
