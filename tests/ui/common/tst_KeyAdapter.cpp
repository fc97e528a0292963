// Keyboard paddle adapters in a window: the keys told apart by their native scan codes (both
// Ctrl keys are one key to Qt), the fall-backs where a platform gives none, two keys on one
// lever, auto-repeat, keys kept from controls and shortcuts, every lever released when the
// window loses the keyboard, the operator's straight key, the mapping as a setting, and the
// event times taken from the server's clock.

#include <QLineEdit>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtTest>
#include <chrono>

#include "ui/common/KeyAdapterFilter.h"

using cwt::KeyAdapterFilter;
using cwt::KeyAdapterMapping;
using cwt::KeyboardKey;
using cwt::keyer::Lever;
using cwt::keyer::LeverEvent;
namespace keys = cwt::keys;

namespace {

constexpr int64_t kMs = 1'000'000;

int64_t NowNs() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

// Sends a key event for `key` to `target` as the platform would, with its native codes.
void Key(QWidget* target, QEvent::Type type, const KeyboardKey& key, bool repeat = false,
         quint64 serverMs = 0) {
    QKeyEvent event(type, key.qtKey, Qt::NoModifier, key.scanCode, key.keySym, 0, QString(),
                    repeat);
    event.setTimestamp(serverMs);
    QApplication::sendEvent(target, &event);
}

void Press(QWidget* target, const KeyboardKey& key) { Key(target, QEvent::KeyPress, key); }
void Release(QWidget* target, const KeyboardKey& key) { Key(target, QEvent::KeyRelease, key); }

struct Window {
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    KeyAdapterFilter* filter = nullptr;
    std::vector<LeverEvent> events;

    explicit Window(KeyAdapterMapping mapping = KeyAdapterMapping::defaults()) {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        filter = new KeyAdapterFilter(&window, std::move(mapping));
        QObject::connect(filter, &KeyAdapterFilter::leverChanged,
                         [this](const LeverEvent& event) { events.push_back(event); });
        window.show();
        window.activateWindow();
        edit->setFocus();
    }
    // The events as "dit+", "dah-" …
    QStringList seen() const {
        QStringList words;
        for (const LeverEvent& e : events)
            words << QStringLiteral("%1%2")
                         .arg(e.lever == Lever::Dit   ? "dit"
                              : e.lever == Lever::Dah ? "dah"
                                                      : "straight")
                         .arg(e.closed ? '+' : '-');
        return words;
    }
};

}  // namespace

class TestKeyAdapter : public QObject {
    Q_OBJECT

private slots:
    void bothCtrlKeysAndTheBracketsAreToldApartByScanCode() {
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        // A squeeze on the Vail adapter: both arrive as Qt::Key_Control.
        Press(w.edit, keys::kLeftCtrl);
        Press(w.edit, keys::kRightCtrl);
        Release(w.edit, keys::kLeftCtrl);
        Release(w.edit, keys::kRightCtrl);
        // VBand's brackets, on a layout that puts Ü on the `[` key: the key counts, not the
        // character.
        Press(w.edit, {34, 0xfc, Qt::Key_Udiaeresis});
        Release(w.edit, {34, 0xfc, Qt::Key_Udiaeresis});
        Press(w.edit, keys::kRightBracket);
        Release(w.edit, keys::kRightBracket);
        QCOMPARE(w.seen(),
                 QStringList({"dit+", "dah+", "dit-", "dah-", "dit+", "dit-", "dah+", "dah-"}));
        QVERIFY(w.edit->text().isEmpty());
    }

    // Without a scan code the key symbol tells the Ctrl keys apart; with neither, Qt's key is
    // all there is, and a Ctrl that may be either lever keys nothing.
    void withoutScanCodesTheKeySymbolAndThenQtsKeyCount() {
        Window w;
        Press(w.edit, {0, 0xffe4, Qt::Key_Control});
        Press(w.edit, {0, 0, Qt::Key_Control});
        Press(w.edit, {0, 0, Qt::Key_BracketLeft});
        QCOMPARE(w.seen(), QStringList({"dah+", "dit+"}));
    }

    void aLeverStaysClosedWhileAnyOfItsKeysIsHeld() {
        Window w;
        Press(w.edit, keys::kLeftCtrl);
        Press(w.edit, keys::kLeftBracket);
        Release(w.edit, keys::kLeftCtrl);
        QCOMPARE(w.seen(), QStringList({"dit+"}));
        Release(w.edit, keys::kLeftBracket);
        QCOMPARE(w.seen(), QStringList({"dit+", "dit-"}));
    }

    void autoRepeatIsIgnoredAndTheKeysReachNoControlNorShortcut() {
        Window w;
        int shortcuts = 0;
        auto* shortcut = new QShortcut(QKeySequence(Qt::Key_BracketRight), &w.window);
        connect(shortcut, &QShortcut::activated, [&] { ++shortcuts; });
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        Press(w.edit, keys::kLeftBracket);
        for (int i = 0; i < 5; ++i) {
            Key(w.edit, QEvent::KeyRelease, keys::kLeftBracket, true);
            Key(w.edit, QEvent::KeyPress, keys::kLeftBracket, true);
        }
        Release(w.edit, keys::kLeftBracket);
        QCOMPARE(w.seen(), QStringList({"dit+", "dit-"}));
        QTest::keyClick(w.edit, Qt::Key_BracketRight);
        QCOMPARE(shortcuts, 0);
        QVERIFY(w.edit->text().isEmpty());
        // Other keys are the controls' as ever.
        QTest::keyClicks(w.edit, "cq");
        QCOMPARE(w.edit->text(), QStringLiteral("cq"));
        // Disabled, the keys are typed again.
        w.filter->setEnabled(false);
        QTest::keyClick(w.edit, Qt::Key_BracketLeft);
        QCOMPARE(w.edit->text(), QStringLiteral("cq["));
    }

    // No key may stay down when the window no longer gets the keyboard.
    void everyLeverIsReleasedWhenTheWindowLosesTheKeyboard() {
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        Press(w.edit, keys::kLeftCtrl);
        Press(w.edit, keys::kRightBracket);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_COMPARE(w.seen(), QStringList({"dit+", "dah+", "dit-", "dah-"}));
        // A press aimed at another window is not the paddle's; a release of a held key is,
        // wherever it arrives.
        Press(&other, keys::kLeftCtrl);
        QCOMPARE(w.events.size(), size_t(4));

        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        Press(w.edit, keys::kLeftCtrl);
        Release(&other, keys::kLeftCtrl);
        QCOMPARE(w.events.size(), size_t(6));

        for (auto release :
             {+[](Window& x) { x.window.hide(); }, +[](Window& x) { x.window.close(); },
              +[](Window& x) { x.filter->setEnabled(false); },
              +[](Window& x) { x.filter->setMapping(KeyAdapterMapping::defaults()); }}) {
            w.window.show();
            w.filter->setEnabled(true);
            Press(w.edit, keys::kRightCtrl);
            const size_t before = w.events.size();
            release(w);
            QTRY_COMPARE(w.events.size(), before + 1);
            QVERIFY(!w.events.back().closed);
        }
    }

    void theOperatorsStraightKey() {
        KeyAdapterMapping mapping = KeyAdapterMapping::defaults();
        const KeyboardKey space{65, 0x20, Qt::Key_Space};
        mapping.setStraightKey(space);
        Window w(mapping);
        Press(w.edit, space);
        Release(w.edit, space);
        QCOMPARE(w.seen(), QStringList({"straight+", "straight-"}));
        // Left Ctrl as the straight key is no longer a dit.
        mapping.setStraightKey(keys::kLeftCtrl);
        QCOMPARE(*mapping.straightKey(), keys::kLeftCtrl);
        QCOMPARE(mapping.bindingOf(keys::kLeftCtrl)->lever, Lever::Straight);
        QVERIFY(!mapping.bindingOf(space));
        QCOMPARE(mapping.bindingOf(keys::kLeftBracket)->lever, Lever::Dit);
        QCOMPARE(keys::kLeftCtrl.name(), QStringLiteral("왼쪽 Ctrl"));
    }

    void theMappingIsKeptAsASetting() {
        KeyAdapterMapping mapping = KeyAdapterMapping::defaults();
        mapping.setStraightKey(KeyboardKey{65, 0x20, Qt::Key_Space});
        const std::optional<KeyAdapterMapping> back =
            KeyAdapterMapping::fromSetting(mapping.toSetting());
        QVERIFY(back);
        QVERIFY(*back == mapping);
        QVERIFY(KeyAdapterMapping::fromSetting(QString())->bindings().empty());
        for (const char* bad : {"dit:37", "tap:37:0:0", "dit:x:0:0", "dah:0:0:0"})
            QVERIFY2(!KeyAdapterMapping::fromSetting(QString::fromLatin1(bad)), bad);
    }

    // The server's time of each key, on the monotonic clock: a GUI thread held up between two
    // keys changes neither key's time.
    void eventTimesComeFromTheServersClock() {
        Window w;
        const quint64 serverMs = 5'000'000;
        Key(w.edit, QEvent::KeyPress, keys::kLeftCtrl, false, serverMs);
        const int64_t firstArrival = NowNs();
        QTest::qSleep(
            40);  // the GUI thread is busy; the key was released 10 ms after it was pressed
        Key(w.edit, QEvent::KeyRelease, keys::kLeftCtrl, false, serverMs + 10);
        QCOMPARE(w.events.size(), size_t(2));
        QCOMPARE(w.events[1].time - w.events[0].time, std::chrono::milliseconds(10));
        QVERIFY(w.events[0].time.count() <= firstArrival);
        QVERIFY(w.filter->lastDelayNs() >= 30 * kMs);
    }

    void theServerClockOffsetIsMeasuredAfreshWhenItJumps() {
        cwt::KeyEventClock clock;
        QCOMPARE(clock.timeOf(0, 123), int64_t(123));  // no server time: the arrival
        // Server time s ms arrives at s ms + kOffset + its delivery delay.
        const int64_t kOffset = 777'000 * kMs;
        auto arrival = [&](int64_t serverMs, int64_t delayMs) {
            return serverMs * kMs + kOffset + delayMs * kMs;
        };
        const int64_t s = 10'000'000;
        QCOMPARE(clock.timeOf(s, arrival(s, 2)), arrival(s, 2));
        QCOMPARE(clock.timeOf(s + 50, arrival(s + 50, 5)), arrival(s + 50, 2));  // 3 ms late
        QCOMPARE(clock.lastDelayNs(), 3 * kMs);
        QCOMPARE(clock.timeOf(s + 60, arrival(s + 60, 1)), arrival(s + 60, 1));  // quicker
        // The server's clock goes back a minute: its events seem a minute late. The first keep
        // their arrival; from the third on the offset is the new one.
        const int64_t back = s - 60'000;
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(clock.timeOf(back + 100 * i, arrival(s + 100 * i, 1)),
                     arrival(s + 100 * i, 1));
        QCOMPARE(clock.timeOf(back + 400, arrival(s + 400, 4)), arrival(s + 400, 1));
        QCOMPARE(clock.lastDelayNs(), 3 * kMs);
    }
};

QTEST_MAIN(TestKeyAdapter)
#include "tst_KeyAdapter.moc"
