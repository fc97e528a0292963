// What a screen reader reads from the program's own controls, and how they are reached and
// seen from the keyboard: captions behind fixed names, the sign button's press action, the
// grid's titles and shown cells, Tab and Space on the sign button, the focus frames.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "components/VelAccessible.h"
#include "components/VelEdit.h"
#include "components/VelLabel.h"
#include "components/VelSpeedButton.h"
#include "components/VelStringGrid.h"

using namespace cwt;

namespace {

QString TextOf(QAccessibleInterface* iface) {
    QAccessibleTextInterface* text = iface->textInterface();
    return text ? text->text(0, text->characterCount()) : QStringLiteral("<no text>");
}

// Number of pixels of `colour` on the outline of `rect`.
int OutlinePixels(const QImage& image, const QRect& rect, const QColor& colour) {
    int count = 0;
    for (int x = rect.left(); x <= rect.right(); ++x)
        count += (image.pixelColor(x, rect.top()) == colour) +
                 (image.pixelColor(x, rect.bottom()) == colour);
    for (int y = rect.top() + 1; y < rect.bottom(); ++y)
        count += (image.pixelColor(rect.left(), y) == colour) +
                 (image.pixelColor(rect.right(), y) == colour);
    return count;
}

void ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

}  // namespace

class VelAccessibleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallVelAccessibility(); }
    void labelsReadTheirCaptionBehindAFixedName();
    void labelKinds();
    void speedButtonIsAButtonPressedLater();
    void speedButtonTakesTabNotClickAndPressesWithSpace();
    void speedButtonAndEditDrawTheirFocus();
    void editButtonIsNamedAndPresses();
    void gridTitlesAndCellsAsShown();
};

void VelAccessibleTest::labelsReadTheirCaptionBehindAFixedName() {
    TVelLabel label("AR");
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&label);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::StaticText);
    QCOMPARE(iface->text(QAccessible::Name), QString("AR"));
    QCOMPARE(TextOf(iface), QString("AR"));

    // With a fixed name the caption is still there to read, and follows every change.
    label.setAccessibleName(QStringLiteral("송신 부호"));
    label.setText("KA");
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("송신 부호"));
    QCOMPARE(TextOf(iface), QString("KA"));
    QCOMPARE(iface->textInterface()->text(1, -1), QString("A"));
    label.setText(QString());
    QCOMPARE(iface->textInterface()->characterCount(), 0);

    // A plain QLabel set through SetLabelText behaves the same.
    QLabel plain;
    plain.setAccessibleName(QStringLiteral("송신 문자"));
    SetLabelText(&plain, QStringLiteral("가"));
    QAccessibleInterface* plainIface = QAccessible::queryAccessibleInterface(&plain);
    QCOMPARE(plainIface->text(QAccessible::Name), QStringLiteral("송신 문자"));
    QCOMPARE(TextOf(plainIface), QStringLiteral("가"));
}

void VelAccessibleTest::labelKinds() {
    // Rich text is read without its markup.
    QLabel rich(QStringLiteral("<b>진행부호수</b>: 3"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&rich);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("진행부호수: 3"));

    // A label that shows only a picture is a graphic.
    QLabel picture;
    QPixmap pixmap(81, 9);
    pixmap.fill(Qt::black);
    picture.setPixmap(pixmap);
    QCOMPARE(QAccessible::queryAccessibleInterface(&picture)->role(), QAccessible::Graphic);

    // A label with a buddy says whom it labels.
    QWidget window;
    auto* caption = new QLabel(QStringLiteral("음폭"), &window);
    auto* edit = new QLineEdit(&window);
    caption->setBuddy(edit);
    const auto relations =
        QAccessible::queryAccessibleInterface(caption)->relations(QAccessible::Labelled);
    QCOMPARE(relations.size(), 1);
    QCOMPARE(relations.first().first->object(), edit);
}

void VelAccessibleTest::speedButtonIsAButtonPressedLater() {
    TVelSpeedButton button;
    button.setText("KA");
    button.setToolTip(QStringLiteral("송신개시"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&button);
    QCOMPARE(iface->role(), QAccessible::Button);
    QCOMPARE(iface->text(QAccessible::Name), QString("KA"));
    QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("송신개시"));
    QAccessibleActionInterface* actions = iface->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));

    // The click comes from the event loop, after the caller has returned.
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(clicks.count(), 0);
    QTRY_COMPARE(clicks.count(), 1);

    // A disabled button offers no press.
    button.setEnabled(false);
    QVERIFY(!actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QTest::qWait(200);
    QCOMPARE(clicks.count(), 1);

    // Checkable: a toggle with its state.
    TVelSpeedButton toggle;
    toggle.setText("REC");
    toggle.setCheckable(true);
    QAccessibleInterface* toggleIface = QAccessible::queryAccessibleInterface(&toggle);
    QCOMPARE(toggleIface->role(), QAccessible::CheckBox);
    QVERIFY(!toggleIface->state().checked);
    toggleIface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_VERIFY(toggle.isChecked());
    QVERIFY(toggleIface->state().checked);
}

void VelAccessibleTest::speedButtonTakesTabNotClickAndPressesWithSpace() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* button = new TVelSpeedButton(&window);
    button->setText("AR");
    button->setFixedSize(32, 27);
    layout->addWidget(edit);
    layout->addWidget(button);
    ShowActive(window);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());

    // A click sends the sign but leaves the focus where the operator was typing.
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QVERIFY(edit->hasFocus());

    // Tab reaches it; Space presses it.
    QTest::keyClick(edit, Qt::Key_Tab);
    QTRY_VERIFY(button->hasFocus());
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicks.count(), 2);
}

void VelAccessibleTest::speedButtonAndEditDrawTheirFocus() {
    QWidget window;
    auto* button = new TVelSpeedButton(&window);
    button->setText("AR");
    button->setGeometry(0, 0, 32, 27);
    auto* edit = new TVelEdit(&window);
    edit->setGeometry(0, 40, 120, 21);
    auto* other = new QLineEdit(&window);
    other->setGeometry(0, 70, 120, 21);
    ShowActive(window);
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());

    // The sign button: a dotted frame on the edge of its caption area, in the caption's ink.
    const QColor ink = button->palette().color(QPalette::ButtonText);
    const QRect captionEdge = button->rect().adjusted(2, 2, -2, -2);
    const int inkBefore = OutlinePixels(button->grab().toImage(), captionEdge, ink);
    button->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(button->hasFocus());
    const int inkFocused = OutlinePixels(button->grab().toImage(), captionEdge, ink);
    QVERIFY2(inkFocused > inkBefore + 20,
             qPrintable(QString("%1 -> %2").arg(inkBefore).arg(inkFocused)));

    // The numeric edit: its border's inner line turns to the highlight colour, all round.
    const QColor highlight = edit->palette().color(QPalette::Highlight);
    const QRect innerLine = edit->rect().adjusted(1, 1, -1, -1);
    QCOMPARE(OutlinePixels(edit->grab().toImage(), innerLine, highlight), 0);
    edit->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(edit->hasFocus());
    const int outline = 2 * innerLine.width() + 2 * innerLine.height() - 4;
    QCOMPARE(OutlinePixels(edit->grab().toImage(), innerLine, highlight), outline);
    other->setFocus();
    QTRY_VERIFY(!edit->hasFocus());
    QCOMPARE(OutlinePixels(edit->grab().toImage(), innerLine, highlight), 0);
}

void VelAccessibleTest::editButtonIsNamedAndPresses() {
    TVelEdit edit;
    edit.setText("12");
    edit.setButtonVisible(true);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&edit);
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QCOMPARE(iface->text(QAccessible::Value), QString("12"));
    QAccessibleInterface* down = QAccessible::queryAccessibleInterface(edit.Button()->DownButton());
    QCOMPARE(down->role(), QAccessible::Button);
    QVERIFY(!down->text(QAccessible::Name).isEmpty());
    QSignalSpy downs(&edit, &TVelEdit::OnDownClick);
    down->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(downs.count(), 1);
}

void VelAccessibleTest::gridTitlesAndCellsAsShown() {
    TVelStringGrid grid;
    grid.setColCount(4);
    grid.setRowCount(3);
    grid.setFixedRowTitle({"", "Item", "Amount||won", "Rate"});
    grid.setCellTypesText("CLNF");
    grid.setFixedMergeCells({"2,0,3,0"});
    grid.setHeadings({"Figures"});
    grid.Loaded();
    grid.setCells(0, 1, "1");
    grid.setCells(1, 1, "Total||Sum");
    grid.setCells(2, 1, "1234567");
    grid.setCells(3, 1, "12.5");

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&grid);
    QAccessibleTableInterface* table = iface->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 3);  // the data columns; the fixed one is the row header
    QCOMPARE(table->rowCount(), 2);

    // Titles: the fixed row's texts, with the group heading over the merged columns. The
    // header cells are the table's own children (Qt hands out unowned copies otherwise).
    QStringList titles, rowTitles;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (child->role() == QAccessible::ColumnHeader) titles << child->text(QAccessible::Name);
        if (child->role() == QAccessible::RowHeader) rowTitles << child->text(QAccessible::Name);
    }
    QCOMPARE(titles, QStringList({"Item", "Figures Amount won", "Figures Rate"}));
    QCOMPARE(rowTitles, QStringList({"1", ""}));
    QCOMPARE(table->columnDescription(1), QString("Figures Amount won"));

    // Cells as drawn: two lines joined, numbers in their number display.
    QCOMPARE(table->cellAt(0, 0)->text(QAccessible::Name), QString("Total Sum"));
    QCOMPARE(table->cellAt(0, 1)->text(QAccessible::Name), QString("1,234,567"));
    QCOMPARE(table->cellAt(0, 2)->text(QAccessible::Name), QString("12.50"));

    // A cell written later reads the new text.
    grid.setCells(1, 2, "Next");
    QCOMPARE(table->cellAt(1, 0)->text(QAccessible::Name), QString("Next"));
}

QTEST_MAIN(VelAccessibleTest)
#include "tst_VelAccessible.moc"
