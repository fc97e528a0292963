// A keyboard paddle adapter on a real display server: xdotool presses and releases Left and
// Right Ctrl and the brackets in a window with the key adapter installed. Prints the native
// scan codes and key symbols the keys arrive with, and how late each key event reaches the GUI
// thread after the server's time of it: on an idle GUI thread, on one held up by work (as a
// repaint holds it), and with every core busy besides. The lever events carry the server's time
// (KeyEventClock), so that lateness is what they no longer carry.
//
// Run on an X display: xvfb-run -a build/bench/ui_key_adapter_bench

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "ui/common/KeyAdapterFilter.h"

namespace {

// Spins on every core at ordinary priority while it lives.
class Spin {
public:
    Spin() {
        for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
            m_threads.emplace_back([this] {
                while (!m_stop.load(std::memory_order_relaxed)) {
                }
            });
    }
    ~Spin() {
        m_stop = true;
        for (auto& t : m_threads) t.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

int64_t NowNs() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

struct Arrival {
    int64_t arrivalNs;
    quint64 serverMs;
    quint32 scanCode;
    quint32 keySym;
};

// Sees each key event before the adapter does (filters installed later are asked first).
class Probe : public QObject {
public:
    std::vector<Arrival> arrivals;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
            watched->isWidgetType()) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                arrivals.push_back(
                    {NowNs(), key->timestamp(), key->nativeScanCode(), key->nativeVirtualKey()});
        }
        return false;
    }
};

struct Run {
    std::vector<double> arrivalAfterEventMs;   // arrival − the lever event's time
    std::vector<double> arrivalAfterServerMs;  // arrival − server time, both monotonic here
    size_t levers = 0;
};

// xdotool keys `rounds` squeezes and taps, while the GUI thread is held up for `busyMs` at
// random moments (0: idle).
Run Measure(QWidget& window, int rounds, int busyMaxMs) {
    auto* probe = new Probe;
    std::vector<cwt::keyer::LeverEvent> levers;
    auto* filter = new cwt::KeyAdapterFilter(&window, cwt::KeyAdapterMapping::defaults());
    qApp->installEventFilter(probe);
    QObject::connect(filter, &cwt::KeyAdapterFilter::leverChanged,
                     [&](const cwt::keyer::LeverEvent& e) { levers.push_back(e); });
    QStringList script;
    for (int i = 0; i < rounds; ++i)
        script << "keydown"
               << "Control_L"
               << "sleep"
               << "0.03"
               << "keydown"
               << "Control_R"
               << "sleep"
               << "0.02"
               << "keyup"
               << "Control_L"
               << "sleep"
               << "0.04"
               << "keyup"
               << "Control_R"
               << "sleep"
               << "0.03"
               << "key"
               << "--delay"
               << "20"
               << "bracketleft"
               << "sleep"
               << "0.03"
               << "key"
               << "--delay"
               << "20"
               << "bracketright"
               << "sleep"
               << "0.05";
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), script);
    std::mt19937 random(3);
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [&] {
        const int ms = static_cast<int>(random() % (busyMaxMs + 1));
        QElapsedTimer spin;
        spin.start();
        while (spin.elapsed() < ms) {
        }
    });
    if (busyMaxMs > 0) busy.start(25);
    while (xdotool.state() != QProcess::NotRunning) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        xdotool.waitForFinished(0);
    }
    busy.stop();
    QApplication::processEvents();
    Run run;
    run.levers = levers.size();
    // Each lever event follows the arrival of its key event, in order.
    const size_t n = std::min(levers.size(), probe->arrivals.size());
    for (size_t i = 0; i < n; ++i) {
        run.arrivalAfterEventMs.push_back((probe->arrivals[i].arrivalNs - levers[i].time.count()) /
                                          1e6);
        run.arrivalAfterServerMs.push_back(
            (probe->arrivals[i].arrivalNs - int64_t(probe->arrivals[i].serverMs) * 1'000'000) /
            1e6);
    }
    static bool codesShown = false;
    if (!codesShown) {
        codesShown = true;
        std::map<std::pair<quint32, quint32>, int> codes;
        for (const Arrival& a : probe->arrivals) ++codes[{a.scanCode, a.keySym}];
        for (const auto& [code, count] : codes)
            std::printf("  key arrives with scan code %u, key symbol 0x%x (%d times)\n", code.first,
                        code.second, count);
    }
    qApp->removeEventFilter(probe);
    delete probe;
    delete filter;
    return run;
}

void Print(const char* name, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%-52s no events\n", name);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-52s %3zu  min %6.2f  median %6.2f  p90 %6.2f  max %6.2f ms\n", name,
                values.size(), values.front(), values[values.size() / 2],
                values[values.size() * 9 / 10], values.back());
}

void Report(const char* name, const Run& run) {
    std::printf("%s: %zu lever events\n", name, run.levers);
    Print("  arrival after the lever event's time", run.arrivalAfterEventMs);
    Print("  arrival after the server's time (same clock here)", run.arrivalAfterServerMs);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    QElapsedTimer wait;
    wait.start();
    while (!window.isActiveWindow() && wait.elapsed() < 3000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("platform %s, window active: %s\n", qPrintable(QGuiApplication::platformName()),
                window.isActiveWindow() ? "yes" : "no");
    Report("idle GUI thread", Measure(window, 10, 0));
    Report("GUI thread busy 0-15 ms every 25 ms", Measure(window, 10, 15));
    {
        Spin load;
        Report("busy GUI thread, every core busy", Measure(window, 10, 15));
    }
    return 0;
}
