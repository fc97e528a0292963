// The transcript memo window: decoded characters land one per line, whether the window is
// shown or not, and a long session costs no more per character than a short one.

#include <QElapsedTimer>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>

#include "ui/common/WindowFrame.h"
#include "ui/memo/WaveDispUnit.h"

namespace {

void SaveScreen(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("CWT_SCREEN_DIR");
    if (!dir.isEmpty()) widget->grab().save(dir + '/' + name);
}

void AppendAll(TForm2& form, const char* text) {
    for (const char* p = text; *p != 0; ++p) form.appendTranscriptChar(*p);
}

}  // namespace

class MemoWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // What the program does at start-up for the layouts' Korean font names.
        QFont::insertSubstitution(QStringLiteral("바탕체"), QStringLiteral("NanumGothicCoding"));
    }

    void createdHiddenWithItsLayout() {
        TForm2 form;
        QVERIFY(!form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("해독 메모"));
        // 425 x 228 is the outer size, frame and title bar included.
        QCOMPARE(form.size(), QSize(425 - kLayoutFrameWidth, 228 - kLayoutFrameHeight));
        QCOMPARE(form.pos(), QPoint(232, 259));
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("Memo1"));
        QCOMPARE(form.Memo1->font().pixelSize(), 13);
        QCOMPARE(QFontInfo(form.Memo1->font()).family(), QStringLiteral("NanumGothicCoding"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.Memo1->geometry(), form.rect());
    }

    // The memo's text becomes "its lines, each followed by a line break, plus the
    // character": a text that already ends with a line break gets no empty line, an empty
    // memo gets no leading one.
    void eachCharacterBecomesTheNewLastLine_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("initial text") << "Memo1"
                                      << "Memo1\nK\n \nA";
        QTest::newRow("empty memo") << ""
                                    << "K\n \nA";
        QTest::newRow("ends with a line break") << "x\n"
                                                << "x\nK\n \nA";
        QTest::newRow("ends with an empty line") << "x\n\n"
                                                 << "x\n\nK\n \nA";
        QTest::newRow("Korean text kept") << "모스\n부호"
                                          << "모스\n부호\nK\n \nA";
    }

    void eachCharacterBecomesTheNewLastLine() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        TForm2 form;
        form.Memo1->setPlainText(before);
        AppendAll(form, "K A");
        QCOMPARE(form.Memo1->toPlainText(), after);
    }

    void growsWhileHiddenAndShowsItAllLater() {
        TForm2 form;
        AppendAll(form, "CQ CQ DE HL1ABC K");
        QVERIFY(!form.isVisible());
        form.bringToFront();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QStringList lines = form.Memo1->toPlainText().split('\n');
        QCOMPARE(lines.size(), 1 + 17);
        QCOMPARE(lines.first(), QStringLiteral("Memo1"));
        QCOMPARE(lines.mid(1).join(QString()), QStringLiteral("CQ CQ DE HL1ABC K"));

        // The newest characters are in view, the way a running transcript is read.
        QScrollBar* scroll = form.Memo1->verticalScrollBar();
        QTRY_VERIFY(scroll->maximum() > 0);
        QCOMPARE(scroll->value(), scroll->maximum());
        SaveScreen(&form, QStringLiteral("memo.png"));

        // Appending while shown keeps following the end, and nothing is left to undo that
        // would take the transcript apart.
        form.appendTranscriptChar('R');
        QTRY_COMPARE(scroll->value(), scroll->maximum());
        QVERIFY(!form.Memo1->document()->isUndoAvailable());
    }

    void operatorScrolledBackStaysPut() {
        TForm2 form;
        form.bringToFront();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        AppendAll(form, "THE QUICK BROWN FOX");
        QScrollBar* scroll = form.Memo1->verticalScrollBar();
        QTRY_VERIFY(scroll->maximum() > 2);
        scroll->setValue(1);
        form.appendTranscriptChar('E');
        QCOMPARE(scroll->value(), 1);
    }

    // Rewriting the whole text per character would make a long session quadratic: the
    // last thousand characters of 60,000 must cost about what the first thousand did.
    void longSessionStaysLinear() {
        TForm2 form;
        form.bringToFront();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const auto timeThousand = [&form] {
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < 1000; ++i)
                form.appendTranscriptChar(static_cast<char>('A' + i % 26));
            return timer.nsecsElapsed();
        };
        timeThousand();  // warm-up
        const qint64 first = timeThousand();
        QElapsedTimer session;
        session.start();
        for (int i = 0; i < 57; ++i) {
            timeThousand();
            // A rewrite of the whole text per character would take hours from here.
            QVERIFY2(session.elapsed() < 60'000, "appending slows down as the memo grows");
        }
        const qint64 last = timeThousand();
        QCOMPARE(form.Memo1->document()->blockCount(), 1 + 60000);
        qInfo("first 1000: %.2f ms, last 1000: %.2f ms", first / 1e6, last / 1e6);
        QVERIFY2(last < 4 * first + 20'000'000, "appending slows down as the memo grows");
    }
};

QTEST_MAIN(MemoWindowTest)
#include "tst_MemoWindow.moc"
