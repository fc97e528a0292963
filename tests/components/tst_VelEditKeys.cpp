// The numeric edit's keystroke filter, driven through real key events: what each DecimalCase
// lets in, what it refuses with a beep, and the keys that never reach the filter.
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include "components/VelEdit.h"

using namespace cwt;

namespace {

// QTest::keyClicks takes Latin-1 only; Hangul comes as a key event carrying its text.
void TypeKeys(QWidget* widget, const QString& keys) {
    for (QChar ch : keys) {
        if (ch.unicode() < 128)
            QTest::keyClick(widget, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

struct Typing {
    QString text;  // the edit's text afterwards
    int refused;   // beeps
};

// Puts `text` into an edit of `kind` (with `mask`), places the caret and types `keys`.
Typing Type(TDecimalCase kind, const QString& text, int caret, const QString& keys,
            const QString& mask = QStringLiteral("#,###")) {
    TVelEdit edit;
    edit.setDecimalCase(kind);
    edit.setMask(mask);
    edit.setText(text);
    edit.setCursorPosition(caret < 0 ? int(text.size()) : caret);
    QSignalSpy refusals(&edit, &TVelEdit::KeyRefused);
    TypeKeys(&edit, keys);
    return {edit.text(), int(refusals.count())};
}

}  // namespace

class VelEditKeysTest : public QObject {
    Q_OBJECT
private slots:
    void filter_data();
    void filter();
    void phoneNumberTypedFromTheStart();
    void businessNumberTypedFromTheStart();
    void normalRefusesControlCharactersButNotEditingKeys();
    void editingKeysPassInEveryKind();
    void readOnlyDropsSilentlyButStillCopies();
    void onKeyPressRunsBeforeTheFilter();
    void charCaseConvertsTypedLetters();
};

void VelEditKeysTest::filter_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");  // -1: at the end
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("accepted");

    const QString intMask = "#,###";
    const QString twoDecimals = "#,##0.00";
    auto row = [](const char* name, TDecimalCase kind, const QString& mask, const QString& text,
                  int caret, const QString& key, bool accepted) {
        QTest::newRow(name) << int(kind) << mask << text << caret << key << accepted;
    };
    // Decimal, no decimals allowed by the mask.
    row("dec fp0 point", etDecimal, intMask, "12", -1, ".", false);
    row("dec minus at 0", etDecimal, intMask, "12", 0, "-", true);
    row("dec plus at 0", etDecimal, intMask, "12", 0, "+", true);
    row("dec minus inside", etDecimal, intMask, "12", 1, "-", false);
    row("dec letter", etDecimal, intMask, "12", -1, "a", false);
    row("dec comma", etDecimal, intMask, "12", -1, ",", true);
    row("dec digit", etDecimal, intMask, "12", -1, "3", true);
    // Decimal with two places.
    row("dec fp2 point", etDecimal, twoDecimals, "12", -1, ".", true);
    row("dec fp2 second point", etDecimal, twoDecimals, "1.2", -1, ".", false);
    row("dec fp2 full fraction", etDecimal, twoDecimals, "1.23", -1, "4", false);
    row("dec fp2 before point", etDecimal, twoDecimals, "1.23", 1, "4", true);
    row("dec fp2 right after point", etDecimal, twoDecimals, "1.23", 2, "4", true);
    row("dec fp2 fraction not full", etDecimal, twoDecimals, "1.2", -1, "3", true);
    row("pct like dec", etPercent, twoDecimals, "1.23", -1, "4", false);
    row("pct letter", etPercent, twoDecimals, "", -1, "%", false);
    // Postal code.
    row("post minus at 0", etPost, intMask, "", 0, "-", false);
    row("post minus", etPost, intMask, "123", -1, "-", true);
    row("post second minus", etPost, intMask, "123-4", -1, "-", false);
    row("post letter", etPost, intMask, "123", -1, "x", false);
    // Telephone.
    row("phone open not at 0", etPhone, intMask, "0", -1, "(", false);
    row("phone close after (0 only", etPhone, intMask, "(0", -1, ")", false);
    row("phone close after (00", etPhone, intMask, "(00", -1, ")", false);
    row("phone second close", etPhone, intMask, "(02)1", -1, ")", false);
    row("phone minus after close", etPhone, intMask, "(02)", -1, "-", false);
    row("phone minus inside open", etPhone, intMask, "(02", -1, "-", false);
    row("phone minus without parens", etPhone, intMask, "02", -1, "-", true);
    row("phone minus after minus", etPhone, intMask, "02-", -1, "-", false);
    row("phone minus at 0", etPhone, intMask, "02", 0, "-", false);
    // Business number.
    row("saupja minus at 2", etSaupja, intMask, "12", -1, "-", false);
    row("saupja minus at 4", etSaupja, intMask, "123-", -1, "-", false);
    row("saupja minus before minus", etSaupja, intMask, "123-45", 3, "-", false);
    row("saupja minus two after minus", etSaupja, intMask, "1-3", -1, "-", false);
    // Plain digits.
    row("number minus", etNumber, intMask, "12", -1, "-", false);
    row("number point", etNumber, intMask, "12", -1, ".", false);
    row("number hangul", etNumber, intMask, "12", -1, QStringLiteral("한"), false);
    row("normal hangul", etNormal, intMask, "", -1, QStringLiteral("한"), true);
}

void VelEditKeysTest::filter() {
    QFETCH(int, kind);
    QFETCH(QString, mask);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(QString, key);
    QFETCH(bool, accepted);
    const Typing typed = Type(TDecimalCase(kind), text, caret, key, mask);
    QCOMPARE(typed.refused, accepted ? 0 : 1);
    QCOMPARE(typed.text.size(), text.size() + (accepted ? 1 : 0));
}

void VelEditKeysTest::phoneNumberTypedFromTheStart() {
    const Typing typed = Type(etPhone, "", 0, "(02)123-4567");
    QCOMPARE(typed.refused, 0);
    QCOMPARE(typed.text, QString("(02)123-4567"));
}

void VelEditKeysTest::businessNumberTypedFromTheStart() {
    const Typing typed = Type(etSaupja, "", 0, "123-45-67890");
    QCOMPARE(typed.refused, 0);
    QCOMPARE(typed.text, QString("123-45-67890"));
}

void VelEditKeysTest::normalRefusesControlCharactersButNotEditingKeys() {
    TVelEdit edit;
    edit.setText("abc");
    QSignalSpy refusals(&edit, &TVelEdit::KeyRefused);
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Escape);
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);  // would select all
    QCOMPARE(refusals.count(), 3);
    QVERIFY(!edit.hasSelectedText());
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QString("ab"));
    // Keys that type no character go straight to the edit.
    QTest::keyClick(&edit, Qt::Key_Left);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QString("a"));
    QCOMPARE(refusals.count(), 3);
}

void VelEditKeysTest::editingKeysPassInEveryKind() {
    TVelEdit edit;
    edit.setDecimalCase(etNumber);
    edit.setText("123");
    QSignalSpy refusals(&edit, &TVelEdit::KeyRefused);
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit.text(), QString());
    QCOMPARE(QApplication::clipboard()->text(), QString("123"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QString("12"));
    QCOMPARE(refusals.count(), 0);
}

void VelEditKeysTest::readOnlyDropsSilentlyButStillCopies() {
    TVelEdit edit;
    edit.setDecimalCase(etNumber);
    edit.setText("42");
    edit.setReadOnly(true);
    QSignalSpy refusals(&edit, &TVelEdit::KeyRefused);
    QTest::keyClicks(&edit, "7x-");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QString("42"));
    QCOMPARE(refusals.count(), 0);
    QApplication::clipboard()->clear();
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), QString("42"));
}

void VelEditKeysTest::onKeyPressRunsBeforeTheFilter() {
    TVelEdit edit;
    edit.setDecimalCase(etNumber);
    connect(&edit, &TVelEdit::OnKeyPress, &edit, [](TVelEdit*, QChar& key) {
        if (key == QChar('o')) key = QChar('0');  // a typist's o for a zero
        if (key == QChar('9')) key = QChar();     // swallowed without a beep
    });
    QSignalSpy refusals(&edit, &TVelEdit::KeyRefused);
    QTest::keyClicks(&edit, "1o9x");
    QCOMPARE(edit.text(), QString("10"));
    QCOMPARE(refusals.count(), 1);  // only the x
}

void VelEditKeysTest::charCaseConvertsTypedLetters() {
    TVelEdit edit;
    edit.setCharCase(ecUpperCase);
    QTest::keyClicks(&edit, "ab1c");
    QCOMPARE(edit.text(), QString("AB1C"));
}

QTEST_MAIN(VelEditKeysTest)
#include "tst_VelEditKeys.moc"
