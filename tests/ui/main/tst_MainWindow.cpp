// The main window as a whole: start-up, menus and options, file open, the Function box,
// resizing, random groups and closing.

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include "components/VelEdit.h"
#include "components/VelLabel.h"
#include "engine/morse/Cp949Text.h"
#include "engine/morse/MorseTable.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/chart/MorseCodeShowUnit.h"
#include "ui/common/RadioGroup.h"
#include "ui/common/SystemRoot.h"
#include "ui/macros/EditMacrosUnit.h"
#include "ui/memo/WaveDispUnit.h"
#include "ui/mixer/VolumeCtrlUnit.h"

namespace {

// A machine whose sound system offers no output.
class NoOutputDevice : public cwt::SimulatedWaveDevice {
public:
    int outputCount() override { return 0; }
};

// The homepage the AppStream file names.
QString HomepageOfMetainfo() {
    QFile file(qEnvironmentVariable("CWT_SOURCE_DIR") +
               "/resources/io.github.cwtamarik.CwTamarik.metainfo.xml");
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QRegularExpression url(R"(<url type="homepage">([^<]+)</url>)");
    return url.match(QString::fromUtf8(file.readAll())).captured(1);
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitMainWindowTests(); }

    void startUpChoosesTheMenusAndTimingOfTheStartUpSteps() {
        MainWindowHarness h;
        TForm1* f = h.form();
        // The layout marks " 6.400 kHz" and "5:1"; start-up chooses these.
        for (QAction* item : f->SPS) QCOMPARE(item->isChecked(), item->text() == "11.025 kHz");
        for (QAction* item : f->Multiple) QCOMPARE(item->isChecked(), item->text() == "4:1");
        QVERIFY(f->BPS8->isChecked() && !f->BPS16->isChecked());
        QVERIFY(f->Channel_Mono->isChecked() && !f->Channel_Stereo->isChecked());
        QCOMPARE(f->BeepFreqCut->maximum(), 124);
        QCOMPARE(f->SynthRate, 11025);
        QCOMPARE(f->LongShortRatio(), 4);
        QCOMPARE(f->DotLength(), 150);
        QCOMPARE(f->DashLength(), 600);
        QCOMPARE(f->SmallEdit->text(), QString("15"));
        QCOMPARE(f->LargeEdit->text(), QString("60"));
        QCOMPARE(f->CharDelayEdit->text(), QString("60"));
        QCOMPARE(f->RadioGroup1->toolTip(), QString("x5"));
        // The window is not yet active: the labels keep the layout's captions.
        QCOMPARE(f->BeepFreqLabel->text(), QString("소리 주파수: 1,400"));
        QCOMPARE(f->BeepFreqCutLabel->text(), QString("소리주파수 컷: 100"));
        QCOMPARE(f->Label2->text(), QString());
        QCOMPARE(f->GapUnit(), 2147483647);
        QVERIFY(!f->CheckBox1->isChecked());
        QVERIFY(f->OpenSpaceTrimCheck->isChecked() && f->DoubleSpaceTrimCheck->isChecked());
        QVERIFY(!f->StartEndMarkCheck->isChecked() && f->SentenceEndMark->isChecked());
        QVERIFY(f->macroAutoStart->isChecked() && f->Function1->isChecked());
        QCOMPARE(f->Panel3->height(), TForm1::kPanel3DockedHeight);

        MainWindowHarness noOutput(std::make_unique<NoOutputDevice>());
        QVERIFY(noOutput.form()->CheckBox1->isChecked());
    }

    void colouredButtonsStillLookDisabled() {
        // The red Stop button of an idle window must not read as pressable.
        MainWindowHarness h;
        h.showActive();
        QPushButton* stop = h.form()->AutoStopButton;
        auto reddest = [](QWidget* w) {
            const QImage image = w->grab().toImage();
            int best = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    best = std::max(best, c.red() - std::max(c.green(), c.blue()));
                }
            return best;
        };
        QVERIFY(!stop->isEnabled());
        const int disabledRed = reddest(stop);
        stop->setEnabled(true);
        const int enabledRed = reddest(stop);
        QVERIFY2(enabledRed > disabledRed + 60,
                 qPrintable(QString("enabled %1, disabled %2").arg(enabledRed).arg(disabledRed)));
        stop->setEnabled(false);

        // The random-group button, disabled during a text send, looks the same before and
        // after a run of random groups (whose red caption it wears meanwhile).
        TForm1* f = h.form();
        QImage beforeRun, afterRun;
        auto grabDuringSend = [&](QImage& picture) {
            h.onDone = [&, first = h.doneCount + 1](int done) {
                if (done == first) picture = f->RandomSoundButton->grab().toImage();
            };
            h.setText("EE");
            h.clickStart();
        };
        grabDuringSend(beforeRun);
        h.onDone = [&, stopAt = h.doneCount + 2](int done) {
            if (done == stopAt) QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);
        };
        QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);
        QVERIFY(!f->RandomSoundButton->isChecked());
        grabDuringSend(afterRun);
        QVERIFY(!beforeRun.isNull());
        QCOMPARE(afterRun, beforeRun);
    }

    void panelsSitSunkWithTheirFaceRaised() {
        // A lowered outer and a raised inner bevel: dark then light along the top and left
        // edges, light then dark (from the outside in) along the bottom and right ones.
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        for (QWidget* panel : std::initializer_list<QWidget*>{f->Panel1, f->Panel2, f->DispPanel}) {
            const QImage image = panel->grab().toImage();
            const int w = image.width();
            const int h2 = image.height();
            auto light = [&](int x, int y) { return qGray(image.pixel(x, y)); };
            QVERIFY2(light(w / 2, 0) < light(w / 2, 1), qPrintable(panel->objectName()));
            QVERIFY(light(0, h2 / 2) < light(1, h2 / 2));
            QVERIFY(light(w / 2, h2 - 1) > light(w / 2, h2 - 2));
            QVERIFY(light(w - 1, h2 / 2) > light(w - 2, h2 / 2));
        }
    }

    void radioItemsAndGroupsEachHaveTheirOwnRoom() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        const QRect band = f->Panel2->contentsRect();
        const QList<QWidget*> siblings =
            f->Panel2->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (RadioGroup* group : {f->SoundControlType, f->RadioGroup1, f->RadioGroup2}) {
            const QString name = group->title();
            QVERIFY2(band.contains(group->geometry()), qPrintable(name));
            for (QWidget* other : siblings)
                if (other != group && other->isVisible() && !qobject_cast<QLabel*>(other))
                    QVERIFY2(!group->geometry().intersects(other->geometry()),
                             qPrintable(name + " / " + other->objectName()));
            const QList<QRadioButton*> items = group->findChildren<QRadioButton*>();
            QCOMPARE(items.size(), group->count());
            for (QRadioButton* item : items) {
                QVERIFY2(group->contentsRect().contains(item->geometry()),
                         qPrintable(item->text()));
                QVERIFY(item->width() >= item->sizeHint().width());
                for (QRadioButton* next : items) {
                    if (next == item) continue;
                    // The text of an item ends well before the circle of the item after it.
                    if (next->y() == item->y() && next->x() > item->x())
                        QVERIFY2(item->x() + item->sizeHint().width() + 4 <= next->x(),
                                 qPrintable(item->text() + " / " + next->text()));
                    if (next->x() == item->x() && next->y() > item->y())
                        QVERIFY2(item->y() + item->sizeHint().height() <= next->y(),
                                 qPrintable(item->text() + " / " + next->text()));
                }
            }
        }
    }

    void aboutIsAPlainItemThatOpensTheAboutBox() {
        MainWindowHarness h;
        h.showActive();
        QString opened;
        h.form()->openUrl = [&](const QString& url) { opened = url; };
        QMenuBar* bar = h.form()->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(h.form()->About1).center());
        QVERIFY(!QApplication::activePopupWidget());
        auto* box = h.form()->findChild<QMessageBox*>("AboutBox");
        QVERIFY(box && box->isVisible());
        QVERIFY(!box->isModal());  // a send goes on while it is open
        const QString homepage = HomepageOfMetainfo();
        QVERIFY(box->text().contains(QString("href=\"%1\"").arg(homepage)));
        QVERIFY(box->text().contains("CW Tamarik"));
        QVERIFY(!box->text().contains("karl", Qt::CaseInsensitive));
        // Its link goes where the window's link label goes.
        for (QLabel* label : box->findChildren<QLabel*>())
            if (label->text().contains("<a ")) emit label->linkActivated(homepage);
        QCOMPARE(opened, homepage);
    }

    void fiveWindowsExistAndOnlyTheMainWindowIsShown() {
        MainWindowHarness h;
        const ProgramWindows& w = h.windows();
        QVERIFY(w.MorseCodeForm && w.Form2 && w.VolumeForm && w.EditMacrosForm);
        h.showActive();
        QVERIFY(!w.MorseCodeForm->isVisible() && !w.Form2->isVisible());
        QVERIFY(!w.VolumeForm->isVisible() && !w.EditMacrosForm->isVisible());
        h.form()->N2->trigger();
        QVERIFY(w.MorseCodeForm->isVisible());
        h.form()->vuswlq1->trigger();
        QVERIFY(w.EditMacrosForm->isVisible());
        h.form()->TranscriptMenu->trigger();
        QVERIFY(w.Form2->isVisible());
        h.form()->VolumeMenu->trigger();
        QVERIFY(w.VolumeForm->isVisible());
        // The show step hands the wave component its temporary folder.
        QCOMPARE(h.form()->VelWaveCtrl1->TempDir(), TempDirOf(ReadSystemRoot()));
    }

    void masterVolumeFollowsTheProgramStream() {
        auto device = std::make_unique<cwt::SimulatedWaveDevice>();
        device->setVolume({0x4000, 0x4000});
        MainWindowHarness h(std::move(device));
        QSlider* bar = h.form()->WaveVolume;
        QVERIFY(bar->isEnabled());
        QCOMPARE(bar->value(), 65535 - 0x4000);  // the top is full volume
        bar->setValue(0);
        QCOMPARE(h.device().volume(), (cwt::WaveVolume{0xFFFF, 0xFFFF}));
        bar->setValue(65535);
        QCOMPARE(h.device().volume(), (cwt::WaveVolume{0, 0}));
    }

    void macroKeysReachTheWindowBeforeItsControls() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        // Without a macro file the table holds F1 = "34567".
        h.setText("AB");
        f->Memo1->setFocus();
        QTest::keyClick(f->Memo1, Qt::Key_F1);
        QCOMPARE(f->Memo1->toPlainText(), QString("AB\n34567"));
        QCOMPARE(f->MacroStartPos, 4);
        QCOMPARE(h.played(), h.plannedSend("34567"));
        QCOMPARE(f->DispMemo->toPlainText(), QString("\n|3|4|5|6|7"));

        // Ctrl with a letter never reaches the editor (here: no undo of the appended line).
        QTest::keyClick(f->Memo1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f->Memo1->toPlainText(), QString("AB\n34567"));

        // While a text is sent no key runs a macro.
        h.device().clearPlayed();
        h.setText("E");
        h.onDone = [&](int) { QTest::keyClick(f->Memo1, Qt::Key_F1); };
        h.clickStart();
        QCOMPARE(f->Memo1->toPlainText(), QString("E"));
        QCOMPARE(h.played(), h.plannedSend("E"));

        // In the live box a macro replaces the text, and the whole box is sent.
        h.onDone = nullptr;
        h.device().clearPlayed();
        f->Edit1->setFocus();
        QTest::keyClick(f->Edit1, Qt::Key_F1);
        QCOMPARE(f->Edit1->text(), QString("34567"));
        QCOMPARE(h.played(), h.plannedSend("34567"));
    }

    void labelsFollowTheTrackBarsOnceTheWindowIsActive() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->BeepFreq->setValue(1400);
        QCOMPARE(f->BeepFreqLabel->text(), QString("소리 주파수: 1,400"));
        f->BeepFreq->setValue(22000);
        QCOMPARE(f->BeepFreqLabel->text(), QString("소리 주파수: 22,000"));
        f->BeepFreq->setValue(897);
        QCOMPARE(f->BeepFreqLabel->text(), QString("소리 주파수: 897"));
        f->TrackBar1->setValue(6);
        QCOMPARE(f->Label1->text(), QString("6"));

        // "16bit" lets the cut go up to 32760; back at "8bit" a larger cut is clamped to 124.
        f->BPS16->trigger();
        QCOMPARE(f->SampleBits, 16);
        f->BeepFreqCut->setValue(3000);
        f->BPS8->trigger();
        QCOMPARE(f->BeepFreqCut->value(), 124);
        QCOMPARE(f->BeepFreqCutLabel->text(), QString("소리주파수 컷: 124"));

        f->SPS[4]->trigger();
        QCOMPARE(f->SynthRate, 44100);
        QVERIFY(f->SPS[4]->isChecked() && !f->SPS[2]->isChecked());
        f->Multiple[5]->trigger();
        QCOMPARE(f->LongShortRatio(), 8);
        QCOMPARE(f->DotLength(), 150);  // the ratio changes no length
        QCOMPARE(f->LargeEdit->text(), QString("120"));
    }

    void multiplierScalesTheUnit() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->RadioGroup1->setItemIndex(9);
        emit f->RadioGroup1->itemClicked(9);
        QCOMPARE(f->DotLength(), 300);
        QCOMPARE(f->SmallEdit->text(), QString("30"));
        QCOMPARE(f->RadioGroup1->toolTip(), QString("x10"));
        // A code of one dot lasts two units: (width 4 + 1) × 300 samples each.
        h.setText("E");
        f->StartEndMarkCheck->setChecked(false);
        h.device().clearPlayed();
        f->Edit1->clearFocus();
        f->Memo1->setFocus();
        h.clickStart();
        QCOMPARE(static_cast<int>(h.played().size()), 8 * 5 * 300);
    }

    void optionItemsToggleTheirChecks() {
        MainWindowHarness h;
        TForm1* f = h.form();
        f->DoubleSpaceTrimCheck->trigger();
        QVERIFY(!f->DoubleSpaceTrimCheck->isChecked());
        QVERIFY(f->OpenSpaceTrimCheck->isChecked());  // unchecking leaves it
        f->OpenSpaceTrimCheck->trigger();
        QVERIFY(!f->OpenSpaceTrimCheck->isChecked());
        f->DoubleSpaceTrimCheck->trigger();
        QVERIFY(f->DoubleSpaceTrimCheck->isChecked());
        QVERIFY(f->OpenSpaceTrimCheck->isChecked());  // checking it checks both
        f->SentenceEndMark->trigger();
        QVERIFY(!f->SentenceEndMark->isChecked());
        f->SentenceEndMark->trigger();
        QVERIFY(f->SentenceEndMark->isChecked());
    }

    void fileOpenTrimsAsTheOptionsSay_data() {
        QTest::addColumn<bool>("openTrim");
        QTest::addColumn<bool>("collapse");
        QTest::addColumn<QString>("expected");
        const QString read = "\n\n  A     B  \n\n";
        QTest::newRow("collapse") << true << true << QString(" A B ");
        QTest::newRow("trim") << true << false << QString("A     B");
        QTest::newRow("as read") << false << true << read;
    }
    void fileOpenTrimsAsTheOptionsSay() {
        QFETCH(bool, openTrim);
        QFETCH(bool, collapse);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = WriteFile(dir, "text.txt", "\r\n\r\n  A     B  \r\n\r\n");
        MainWindowHarness h;
        TForm1* f = h.form();
        f->OpenSpaceTrimCheck->setChecked(openTrim);
        f->DoubleSpaceTrimCheck->setChecked(collapse);
        f->chooseOpenFile = [&] { return path; };
        f->N6->trigger();
        QCOMPARE(f->Memo1->toPlainText(), expected);
        QVERIFY(h.warnings.empty());
    }

    void fileOpenReadsCp949AndKeepsTheTextWhenTheFileCannotBeRead() {
        QTemporaryDir dir;
        MainWindowHarness h;
        TForm1* f = h.form();
        const std::string hangul = cwt::Cp949Text::FromEditor(u"한글 CQ").bytes();
        const QString cp949 = WriteFile(dir, "cp949.txt", QByteArray::fromStdString(hangul));
        f->chooseOpenFile = [&] { return cp949; };
        f->N6->trigger();
        QCOMPARE(f->Memo1->toPlainText(), QString("한글 CQ"));
        // Notepad's "Unicode": UTF-16 with its byte-order mark, in either byte order.
        for (const auto order : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
            QStringEncoder encode(order, QStringConverter::Flag::WriteBom);
            const QString utf16 = WriteFile(dir, "utf16.txt", encode(QString("한글\r\nDE 73")));
            f->chooseOpenFile = [&] { return utf16; };
            f->N6->trigger();
            QCOMPARE(f->Memo1->toPlainText(), QString("한글\nDE 73"));
        }
        QVERIFY(h.warnings.empty());

        h.setText("operator's text");
        const QString missing = dir.filePath("missing.txt");
        f->chooseOpenFile = [&] { return missing; };
        f->N6->trigger();
        QCOMPARE(f->Memo1->toPlainText(), QString("operator's text"));
        QCOMPARE(h.warnings.size(), size_t{1});
        QVERIFY(h.warnings[0].contains(missing));

        // Cancelling the dialog changes nothing.
        f->chooseOpenFile = [] { return QString(); };
        f->N6->trigger();
        QCOMPARE(f->Memo1->toPlainText(), QString("operator's text"));
        QCOMPARE(h.warnings.size(), size_t{1});
    }

    void functionBoxHidesFloatsAndDocksBack() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        f->Function1->trigger();
        QCOMPARE(f->Panel3->height(), TForm1::kPanel3EmptyHeight);
        QVERIFY(!f->FunctionDock->isVisible());
        f->Function1->trigger();
        QCOMPARE(f->Panel3->height(), TForm1::kPanel3DockedHeight);
        QVERIFY(f->FunctionDock->isVisible());

        // Dragged by its grip, the box floats; let go over the band, it docks again.
        QWidget* grip = f->FunctionDock->titleBarWidget();
        auto send = [grip](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
            QMouseEvent event(type, grip->mapFromGlobal(QPointF(global)), QPointF(global),
                              Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(grip, &event);
        };
        const QPoint start = grip->mapToGlobal(QPoint(5, 20));
        send(QEvent::MouseButtonPress, start, Qt::LeftButton);
        send(QEvent::MouseMove, start + QPoint(0, 150), Qt::LeftButton);
        QVERIFY(f->FunctionDock->isFloating());
        QCOMPARE(f->Panel3->height(), TForm1::kPanel3EmptyHeight);
        QCOMPARE(f->FunctionDock->font().family(), f->font().family());
        const QPoint band = f->Panel3->mapToGlobal(QPoint(100, 0));
        send(QEvent::MouseMove, band, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, band, Qt::NoButton);
        QVERIFY(!f->FunctionDock->isFloating());
        QCOMPARE(f->Panel3->height(), TForm1::kPanel3DockedHeight);
        // A double click on the grip floats it and docks it back.
        QTest::mouseDClick(grip, Qt::LeftButton);
        QVERIFY(f->FunctionDock->isFloating());
        QTest::mouseDClick(f->FunctionDock->titleBarWidget(), Qt::LeftButton);
        QVERIFY(!f->FunctionDock->isFloating());
    }

    void resizingKeepsThePlayDisplayUnderTheSendingButtons() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        for (int height : {540, 700, 420}) {
            f->resize(f->width(), height);
            QTest::qWait(20);
            QCOMPARE(f->DispMemo->height(), f->DispPanel->height() - TForm1::kDispMemoTopStrip);
            QCOMPARE(f->DispMemo->geometry().bottom(), f->DispPanel->height() - 3);
        }
    }

    void linkLabelOpensItsAddress() {
        MainWindowHarness h;
        h.showActive();
        QString opened;
        h.form()->openUrl = [&](const QString& url) { opened = url; };
        QTest::mouseClick(h.form()->Label10, Qt::RightButton);
        QTest::mouseClick(h.form()->Label10, Qt::MiddleButton);
        QVERIFY(opened.isEmpty());  // only a left click opens it
        QTest::mouseClick(h.form()->Label10, Qt::LeftButton);
        // The program's own homepage, the one its AppStream file names, and a hint naming it.
        const QString homepage = HomepageOfMetainfo();
        QVERIFY(homepage.startsWith("https://"));
        QCOMPARE(opened, homepage);
        QCOMPARE("https://" + h.form()->Label10->text().remove('\n'), homepage);
        QCOMPARE("https://" + h.form()->Label10->accessibleName(), homepage);
        // All of it is seen: it fits the column, line by line.
        QVERIFY(h.form()->Label10->sizeHint().width() <= h.form()->Label10->width());
        QVERIFY(h.form()->Label10->toolTip().contains("CW Tamarik"));
    }

    void randomGroupsWriteTenALineAndStopMidGroup() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        h.setText("X");
        f->RadioGroup2->setItemIndex(0);
        // Each group: five letters and the word gap. Stop while the 3rd letter of group 22 plays.
        constexpr int kPerGroup = 6;
        const int stopAt = 21 * kPerGroup + 3;
        bool sendingState = false;
        h.onDone = [&](int done) {
            if (done == 1)
                sendingState = !f->AutoStartButton->isEnabled() &&
                               !f->AutoStopButton->isEnabled() && !f->PauseButton->isEnabled() &&
                               f->Memo1->isReadOnly();
            if (done == stopAt) QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);
        };
        QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);

        QVERIFY(sendingState);
        const QStringList lines = f->Memo1->toPlainText().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("X"));
        QCOMPARE(lines[0].mid(1).split(' ').size(), 10);
        QCOMPARE(lines[1].split(' ').size(), 10);
        QCOMPARE(lines[2].split(' ').size(), 2);  // the stopped group is written whole
        const QString all = lines.join(' ').mid(1);
        for (QChar ch : all)
            if (ch != ' ') QVERIFY2(ch >= 'A' && ch <= 'Y', qPrintable(QString(ch)));

        // Played: 21 groups with their word gaps, then 3 letters, no word gap.
        QStringList groups = all.split(' ');
        std::vector<std::string> codes;
        for (int g = 0; g < 22; ++g)
            for (int i = 0; i < (g < 21 ? 5 : 3); ++i) {
                codes.push_back(std::string(cwt::CodeOfChar(groups[g][i].toLatin1())) + "!");
                if (g < 21 && i == 4) codes.push_back("!");
            }
        QCOMPARE(h.played(), h.renderedCodes(codes));
        QCOMPARE(f->RandomSoundButton->text(), QString("무작위 5문자 생성"));
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(!f->Memo1->isReadOnly());
    }

    void randomGroupCharacterSets() {
        MainWindowHarness h;
        TForm1* f = h.form();
        const QString letters = f->RandomGroup(5, 400, 0);
        QCOMPARE(letters.size(), 400 * 6 - 1);
        QVERIFY(!letters.contains('Z'));
        for (char c = 'A'; c <= 'Y'; ++c) QVERIFY(letters.contains(QChar(c)));
        const QString digits = f->RandomGroup(5, 200, 1);
        for (char c = '0'; c <= '9'; ++c) QVERIFY(digits.contains(QChar(c)));
        const QString mixed = f->RandomGroup(5, 1000, 2);
        QVERIFY(mixed.contains('+') && mixed.contains('-') && mixed.contains('Z'));
        for (QChar ch : mixed) QVERIFY(ch == ' ' || cwt::MorseIndex(ch.toLatin1()) >= 0);
        QVERIFY(f->RandomGroup(5, 0, 2).isEmpty());
    }

    void recordingAndRandomGroupsAreAnExclusivePair() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        QTemporaryDir dir;
        f->chooseSaveFile = [&] { return dir.filePath("take.wav"); };
        QTest::mouseClick(f->RecordButton, Qt::LeftButton);
        QVERIFY(f->RecordButton->isChecked());
        QCOMPARE(f->RecordButton->text(), QString("녹음중"));
        QVERIFY(f->VelWaveCtrl1->Recording());
        h.setText("E");
        h.clickStart();
        // The end of the send ends the recording and releases the button.
        QVERIFY(!f->RecordButton->isChecked());
        QCOMPARE(f->RecordButton->text(), QString("사운드녹음"));
        QVERIFY(QFile::exists(dir.filePath("take.wav")));

        // Pressing the random button down releases the other one; both may be up.
        h.onDone = [&](int done) {
            if (done == 2) QTest::mouseClick(f->RecordButton, Qt::LeftButton);
        };
        f->chooseSaveFile = [] { return QString(); };  // cancelled: the button comes up again
        QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);
        QVERIFY(!f->RandomSoundButton->isChecked());
        QVERIFY(!f->RecordButton->isChecked());
        QCOMPARE(f->RandomSoundButton->text(), QString("무작위 5문자 생성"));
    }

    void closingDuringRandomGroupsEndsThem() {
        MainWindowHarness h;
        h.showActive();
        TForm1* f = h.form();
        bool closed = false;
        connect(f, &TForm1::closed, this, [&] { closed = true; });
        h.onDone = [&](int done) {
            if (done == 8) f->close();
        };
        QTest::mouseClick(f->RandomSoundButton, Qt::LeftButton);
        QVERIFY(closed);
        QVERIFY(!f->isVisible());
        QVERIFY(!f->RandomSoundButton->isChecked());
        QVERIFY(f->AutoStartButton->isEnabled());
        QVERIFY(!f->VelWaveCtrl1->Playing());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_MainWindow.moc"
