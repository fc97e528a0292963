// The five windows for screen readers and the keyboard: the names the operator hears, no
// nameless control, the order Tab follows in the main window, the macro editor and the mixer
// dialog, focus that shows, and the keys on the radio groups, the big letter, the link and
// the sign buttons, with the macro keys keeping their meaning.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

#include "components/VelAccessible.h"
#include "components/VelEdit.h"
#include "components/VelLabel.h"
#include "components/VelSpeedButton.h"
#include "components/VelStringGrid.h"
#include "tests/ui/support/MainWindowHarness.h"
#include "ui/chart/MorseCodeShowUnit.h"
#include "ui/common/ProgramInfo.h"
#include "ui/common/RadioGroup.h"
#include "ui/keying/KeyingDialog.h"
#include "ui/macros/EditMacrosUnit.h"
#include "ui/memo/WaveDispUnit.h"
#include "ui/mixer/VolumeCtrlUnit.h"
#include "ui/practice/CopyPracticeWindow.h"

namespace {

QAccessibleInterface* Iface(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

QString NameOf(QObject* object) { return Iface(object)->text(QAccessible::Name); }

// Roles an operator acts on or reads a value from: none may be nameless.
bool MustBeNamed(QAccessible::Role role) {
    switch (role) {
        case QAccessible::Button:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::Slider:
        case QAccessible::SpinBox:
        case QAccessible::EditableText:
        case QAccessible::ComboBox:
        case QAccessible::Table:
        case QAccessible::Link:
        case QAccessible::StatusBar:
        case QAccessible::Grouping:
        case QAccessible::Graphic:
        case QAccessible::Separator:
            return true;
        default:
            return false;
    }
}

QStringList NamelessControlsOf(QWidget* window) {
    QStringList nameless;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        QAccessibleInterface* iface = Iface(widget);
        if (!iface || !MustBeNamed(iface->role()) || !widget->isVisibleTo(widget->window()))
            continue;
        // Scroll bars belong to their text box; the table's corner button to the table.
        if (qobject_cast<QScrollBar*>(widget) || widget->inherits("QTableCornerButton")) continue;
        if (iface->text(QAccessible::Name).trimmed().isEmpty())
            nameless << QStringLiteral("%1 (%2)").arg(widget->metaObject()->className(),
                                                      widget->objectName());
    }
    return nameless;
}

QWidget* PressTab() {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget();
}

// The focus stops Tab makes from `from` until it comes back there.
QList<QWidget*> TabCycle(QWidget* from, int limit = 80) {
    from->setFocus(Qt::TabFocusReason);
    QList<QWidget*> stops;
    for (int i = 0; i < limit; ++i) {
        QWidget* now = PressTab();
        if (now == from) return stops;
        stops << now;
    }
    return stops;
}

QStringList Names(const QList<QWidget*>& widgets) {
    QStringList names;
    for (QWidget* widget : widgets) names << NameOf(widget);
    return names;
}

QRadioButton* ItemOf(RadioGroup* group, int index) {
    return group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly).value(index);
}

void ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Before any window, as the program does.
        cwt::InstallVelAccessibility();
        InitMainWindowTests();
    }
    void theNamesTheOperatorHears();
    void noVisibleControlIsNameless();
    void everyWindowIsAnnouncedAsAWindowWithItsTitle();
    void tabGoesRoundTheMainWindowInReadingOrder();
    void tabGoesRoundTheMacroEditorAndTheMixer();
    void focusAlwaysShows();
    void arrowsChooseInARadioGroupAndKeepTheFocus();
    void keysOnTheBigLetterTheLinkAndTheSignButtons();
    void macroKeysKeepTheirMeaningOnEveryStop();
    void volumeReadsTheWayItLooks();
};

void AccessibilityTest::theNamesTheOperatorHears() {
    MainWindowHarness h;
    TForm1* f = h.form();
    struct Expected {
        QWidget* widget;
        QString name;
        QAccessible::Role role;
    };
    const std::vector<Expected> expected = {
        {f->BeepFreq, "소리 주파수", QAccessible::Slider},
        {f->BeepFreqCut, "소리주파수 컷", QAccessible::Slider},
        {f->TrackBar1, "기울기", QAccessible::Slider},
        {f->SpinEdit1, "음폭", QAccessible::SpinBox},
        {f->SpinEdit4, "음색", QAccessible::SpinBox},
        {f->WaveVolume, "마스타볼륨", QAccessible::Slider},
        {f->Memo1, "송신 문장", QAccessible::EditableText},
        {f->DispMemo, "송신 표시", QAccessible::EditableText},
        {f->Edit1, "실시간 입력", QAccessible::EditableText},
        {f->Label5, "송신 문자", QAccessible::StaticText},
        {f->Label2, "송신 부호", QAccessible::StaticText},
        {f->AutoStartButton, "시작", QAccessible::Button},
        {f->PauseButton, "일시정지", QAccessible::CheckBox},
        {f->RecordButton, "사운드녹음", QAccessible::CheckBox},
        {f->Label10, cwt::ProgramHomepageShown(), QAccessible::Link},
        {f->FuncButton[11], "I I", QAccessible::Button},
        {f->StatusBar1, "상태 표시줄", QAccessible::StatusBar},
        {h.windows().EditMacrosForm->macroTable(), "매크로 목록", QAccessible::Table},
        {h.windows().VolumeForm->tbWaveVolume, "웨이브 볼륨", QAccessible::Slider},
        {h.windows().Form2->Memo1, "해독 메모", QAccessible::EditableText},
        {h.windows().MorseCodeForm->Image1, "모스 코드표", QAccessible::Graphic},
    };
    for (const auto& [widget, name, role] : expected) {
        QCOMPARE(NameOf(widget), name);
        QCOMPARE(Iface(widget)->role(), role);
    }

    // The letter and sign displays read what they show behind their fixed names, and the
    // status panels by their texts.
    h.setText("TE [AR]");
    h.clickStart();
    QAccessibleTextInterface* letter = Iface(f->Label5)->textInterface();
    QCOMPARE(letter->text(0, letter->characterCount()), QString("R"));
    QAccessibleTextInterface* sign = Iface(f->Label2)->textInterface();
    QCOMPARE(sign->text(0, sign->characterCount()), QString("AR"));
    bool found = false;
    for (QLabel* panel : f->StatusBar1->findChildren<QLabel*>())
        found = found || NameOf(panel) == QStringLiteral("진행부호수: 3");
    QVERIFY(found);
    // A value of each kind: slider and spin-box positions, check states.
    QCOMPARE(Iface(f->BeepFreq)->valueInterface()->currentValue().toInt(), f->BeepFreq->value());
    QCOMPARE(Iface(f->SpinEdit1)->valueInterface()->currentValue().toInt(), 4);
    f->CheckBox1->setChecked(true);
    QVERIFY(Iface(f->CheckBox1)->state().checked);
}

void AccessibilityTest::everyWindowIsAnnouncedAsAWindowWithItsTitle() {
    MainWindowHarness h;
    TForm1* f = h.form();
    f->CopyPracticeMenu->trigger();
    f->KeyingSetup->trigger();
    const ProgramWindows& w = h.windows();
    const std::vector<std::pair<QWidget*, QString>> windows = {
        {f, "CW Tamarik - 타마릭"},
        {w.MorseCodeForm, "모스 코드표"},
        {w.Form2, "해독 메모"},
        {w.VolumeForm, "Volume Control"},
        {w.EditMacrosForm, "매크로 정의"},
        {f->copyPractice(), "수신 연습"},
        {f->findChild<KeyingDialog*>(), "키잉 설정"},
    };
    for (const auto& [window, title] : windows) {
        QVERIFY(window);
        QCOMPARE(NameOf(window), title);
        const QAccessible::Role role = Iface(window)->role();
        QVERIFY2(role == QAccessible::Window || role == QAccessible::Dialog,
                 qPrintable(title + " has the role " + QString::number(role)));
    }
    // A plain widget inside a window stays a client area, as Qt presents it.
    QCOMPARE(Iface(f->CenterPanel)->role(), QAccessible::Client);
}

void AccessibilityTest::noVisibleControlIsNameless() {
    MainWindowHarness h;
    const ProgramWindows& w = h.windows();
    for (QWidget* window : std::initializer_list<QWidget*>{
             w.Form1.get(), w.EditMacrosForm, w.VolumeForm, w.Form2, w.MorseCodeForm}) {
        const QStringList nameless = NamelessControlsOf(window);
        QVERIFY2(nameless.isEmpty(), qPrintable(window->objectName() + ": " + nameless.join(", ")));
    }
}

void AccessibilityTest::tabGoesRoundTheMainWindowInReadingOrder() {
    MainWindowHarness h;
    TForm1* f = h.form();
    h.showActive();
    // From the editor, Tab alone reaches Start in two steps.
    const QList<QWidget*> cycle = TabCycle(f->Memo1);
    QList<QWidget*> expected = {f->Edit1, f->AutoStartButton, f->DispMemo};
    for (TVelSpeedButton* button : f->FuncButton)
        if (button->isVisible()) expected << button;
    expected << f->BeepFreq << f->BeepFreqCut << f->TrackBar1 << f->SpinEdit1 << f->SpinEdit4
             << ItemOf(f->SoundControlType, 0) << ItemOf(f->RadioGroup1, 4) << f->RecordButton
             << ItemOf(f->RadioGroup2, 2) << f->RandomSoundButton << f->Label5 << f->CheckBox1;
    if (f->WaveVolume->isEnabled()) expected << f->WaveVolume;  // only with a volume to set
    expected << f->Label10;
    QCOMPARE(Names(cycle).join(" | "), Names(expected).join(" | "));

    // Shift+Tab goes the same way back.
    f->Memo1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f->Memo1, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), f->Label10);
}

void AccessibilityTest::tabGoesRoundTheMacroEditorAndTheMixer() {
    MainWindowHarness h;
    TEditMacrosForm* macros = h.windows().EditMacrosForm;
    ShowActive(macros);
    QCOMPARE(TabCycle(macros->macroTable()),
             (QList<QWidget*>{macros->SaveButton, macros->CloseButton}));
    // Tab leaves the cell editor too: first for the grid, then for the buttons.
    QVERIFY(QMetaObject::invokeMethod(macros, [macros] {
        macros->macroTable()->setCol(TEditMacrosForm::kDefinitionCol);
        macros->macroTable()->setRow(1);
    }));
    macros->macroTable()->setEditorMode(true);
    QLineEdit* editor = macros->macroTable()->InplaceEditor();
    QVERIFY(editor);
    QCOMPARE(NameOf(editor), QStringLiteral("매크로 정의"));
    editor->setFocus(Qt::TabFocusReason);
    QCOMPARE(PressTab(), macros->macroTable());  // the editor closes; the grid keeps the keys
    QCOMPARE(PressTab(), macros->SaveButton);

    // Space presses the focused button (Close undoes the edits and closes the window).
    macros->CloseButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(macros->CloseButton, Qt::Key_Space);
    QTRY_VERIFY(!macros->isVisible());

    TVolumeForm* mixer = h.windows().VolumeForm;
    ShowActive(mixer);
    QList<QWidget*> expected;
    for (QWidget* w : std::initializer_list<QWidget*>{
             mixer->tbLeftVolume, mixer->tbRightVolume, mixer->tbVolume, mixer->tbPan,
             mixer->AudioCheck, mixer->tbWaveVolume, mixer->WaveCheck, mixer->Memo1, mixer->Button1,
             mixer->Edit1, mixer->Edit2, mixer->Edit3, mixer->Edit4})
        if (w->isEnabled()) expected << w;  // a control the mixer lacks is disabled
    QCOMPARE(Names(TabCycle(mixer->MixerNames)), Names(expected));
}

void AccessibilityTest::focusAlwaysShows() {
    MainWindowHarness h;
    h.showActive();
    ShowActive(h.windows().EditMacrosForm);
    ShowActive(h.windows().VolumeForm);
    for (QWidget* first :
         std::initializer_list<QWidget*>{h.form()->Memo1, h.windows().EditMacrosForm->macroTable(),
                                         h.windows().VolumeForm->MixerNames}) {
        first->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(first->window()));
        QTest::qWait(50);
        const QList<QWidget*> stops = QList<QWidget*>{first} << TabCycle(first);
        for (qsizetype i = 0; i < stops.size(); ++i) {
            // Each stop, grabbed while another has the focus, then after Tab brought it there.
            QWidget* stop = stops[i];
            QWidget* before = stops[(i + stops.size() - 1) % stops.size()];
            before->setFocus(Qt::TabFocusReason);
            QTest::qWait(20);
            const QImage unfocused = stop->grab().toImage();
            PressTab();
            QCOMPARE(QApplication::focusWidget(), stop);
            QTest::qWait(20);
            const QImage focused = stop->grab().toImage();
            QVERIFY2(focused != unfocused, qPrintable(NameOf(stop) + " shows no focus"));
        }
    }
}

void AccessibilityTest::arrowsChooseInARadioGroupAndKeepTheFocus() {
    MainWindowHarness h;
    TForm1* f = h.form();
    h.showActive();
    const int dotLength = f->DotLength();
    // The arrows move by position: x5 ends the first row, x4 is to its left.
    QRadioButton* x5 = ItemOf(f->RadioGroup1, 4);
    x5->setFocus(Qt::TabFocusReason);
    QTest::keyClick(x5, Qt::Key_Left);
    QRadioButton* x4 = ItemOf(f->RadioGroup1, 3);
    QVERIFY(x4->isChecked());
    QCOMPARE(QApplication::focusWidget(), x4);
    QVERIFY(f->DotLength() != dotLength);  // the multiplier's handler ran
    QCOMPARE(f->RadioGroup1->toolTip(), QString("x4"));
    // Space on the chosen item leaves the focus there too.
    QTest::keyClick(x4, Qt::Key_Space);
    QCOMPARE(QApplication::focusWidget(), x4);

    QRadioButton* m1 = ItemOf(f->SoundControlType, 0);
    m1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(m1, Qt::Key_Right);
    QVERIFY(ItemOf(f->SoundControlType, 1)->isChecked());
    QCOMPARE(QApplication::focusWidget(), ItemOf(f->SoundControlType, 1));

    // A click still hands the keys back to the editor.
    QTest::mouseClick(ItemOf(f->RadioGroup1, 2), Qt::LeftButton);
    QVERIFY(ItemOf(f->RadioGroup1, 2)->isChecked());
    QCOMPARE(QApplication::focusWidget(), f->Memo1);

    // Tab comes into a group at its chosen item.
    f->RecordButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f->RecordButton, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), ItemOf(f->RadioGroup1, 2));

    // A screen reader's toggle on a radio button chooses it, and the handler runs.
    Iface(ItemOf(f->RadioGroup1, 0))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_COMPARE(f->RadioGroup1->toolTip(), QString("x1"));
}

void AccessibilityTest::keysOnTheBigLetterTheLinkAndTheSignButtons() {
    MainWindowHarness h;
    TForm1* f = h.form();
    h.showActive();

    // The big letter: Space and "." key a dot, Enter and "-" a dash, as the mouse buttons do.
    f->Label5->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f->Label5, Qt::Key_Period);
    QTest::keyClick(f->Label5, Qt::Key_Minus);
    QTest::keyClick(f->Label5, Qt::Key_Space);
    QTest::keyClick(f->Label5, Qt::Key_Return);
    QCOMPARE(h.played(), h.renderedCodes({"S", "L", "S", "L"}));

    // The link opens the address, from the keyboard and through its accessible action.
    QStringList opened;
    f->openUrl = [&opened](const QString& url) { opened << url; };
    f->Label10->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f->Label10, Qt::Key_Space);
    QCOMPARE(opened.size(), 1);
    Iface(f->Label10)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(opened.size(), 2);

    // Space on a sign button sends its sign and leaves the focus there.
    const size_t before = h.played().size();
    f->FuncButton[1]->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f->FuncButton[1], Qt::Key_Space);
    QTRY_VERIFY(h.played().size() > before);
    QCOMPARE(QApplication::focusWidget(), f->FuncButton[1]);
    QCOMPARE(f->Label2->text(), QString("AR"));

    // Space on the record toggle through a screen reader's action runs its handler, which
    // asks for a file name first.
    int asked = 0;
    f->chooseSaveFile = [&asked] {
        ++asked;
        return QString();  // the operator cancels
    };
    Iface(f->RecordButton)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_COMPARE(asked, 1);
}

void AccessibilityTest::macroKeysKeepTheirMeaningOnEveryStop() {
    MainWindowHarness h;
    TForm1* f = h.form();
    f->macroAutoStart->setChecked(false);  // append only
    h.showActive();
    // F1 is "34567" in the first-run table; from every kind of focus stop it appends its line.
    int appended = 0;
    for (QWidget* stop : std::initializer_list<QWidget*>{f->FuncButton[0], f->Label5, f->Label10,
                                                         ItemOf(f->RadioGroup1, 4), f->BeepFreq,
                                                         f->DispMemo, f->RecordButton}) {
        stop->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), stop);
        QTest::keyClick(stop, Qt::Key_F1);
        ++appended;
        QCOMPARE(f->Memo1->toPlainText().count(QStringLiteral("34567")), appended);
    }
}

void AccessibilityTest::volumeReadsTheWayItLooks() {
    // The volume bars have their minimum position at the top; a screen reader hears higher
    // as louder, and setting a value through it sets that loudness.
    QSlider bar(Qt::Vertical);
    bar.setRange(0, 65535);
    bar.setInvertedAppearance(true);
    bar.setValue(0);  // top: full volume
    QAccessibleValueInterface* value = Iface(&bar)->valueInterface();
    QCOMPARE(value->currentValue().toInt(), 65535);
    value->setCurrentValue(65535 - 1000);
    QCOMPARE(bar.value(), 1000);
    QSlider plain(Qt::Horizontal);
    plain.setRange(10, 22000);
    plain.setValue(897);
    QCOMPARE(Iface(&plain)->valueInterface()->currentValue().toInt(), 897);
}

QTEST_MAIN(AccessibilityTest)
#include "tst_Accessibility.moc"
