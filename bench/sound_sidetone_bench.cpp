// The sidetone through the real server (the null sink of scripts/pulse-null-sink.sh; run once
// with CWT_SOUND_SERVER=pulseaudio and once with =pipewire): key edges with known monotonic
// times, handed in from a thread of their own as a key input's watcher thread would (each at
// its time) or as a keyer would (both edges of an element when it starts), against the tone
// edges in the null sink's monitor, recorded with the time each chunk arrived. Figures: key to
// sound (median, min, max), each element's sounding length minus its keyed length, the loudest
// sample outside the tones, and the CPU that an open, idle sidetone and a keying one cost this
// process and the server. On PipeWire both ways are measured: PipeWire's own stream at several
// graph cycles, and libpulse through the pulse server.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <chrono>
#include <cmath>
#include <random>

#include "bench/support/CpuTime.h"
#include "bench/support/SoundServerBench.h"
#include "sound/sidetone/MonitorTimeline.h"
#include "sound/sidetone/Sidetone.h"
#include "sound/sidetone/SidetoneMeter.h"

namespace {

using cwt::bench::App;
using cwt::bench::Pause;

int64_t NowNs() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

// The ways measured: 0 libpulse, otherwise PipeWire's own stream at that graph cycle.
cwt::SidetoneOptions OptionsOf(const benchmark::State& state) {
    cwt::SidetoneOptions options;
    const auto quantum = static_cast<int>(state.range(0));
    options.path = quantum == 0 ? cwt::SidetonePath::Pulse : cwt::SidetonePath::PipeWire;
    if (quantum > 0) options.pipewireQuantum = quantum;
    if (state.range(2) > 0) options.pulseTargetUs = static_cast<int>(state.range(2)) * 1000;
    return options;
}

// An open, ready sidetone on the way the benchmark asks for; false (and the benchmark skipped)
// when it cannot be had here.
bool OpenReady(benchmark::State& state, cwt::Sidetone& sidetone) {
    if (!cwt::bench::ServerReady(state)) return false;
    const cwt::SidetoneOptions options = OptionsOf(state);
    if (options.path == cwt::SidetonePath::PipeWire && !cwt::bench::OnPipeWire()) {
        state.SkipWithError("PipeWire's own stream needs a PipeWire server");
        return false;
    }
    if (!sidetone.open(cwt::ToneSettings{}, options)) {
        state.SkipWithError(sidetone.errorText().toStdString().c_str());
        return false;
    }
    QElapsedTimer wait;
    wait.start();
    while (!sidetone.isReady() && sidetone.isOpen() && wait.elapsed() < 5000) Pause(10);
    if (!sidetone.isReady()) {
        state.SkipWithError("the sidetone did not become ready");
        return false;
    }
    return true;
}

// About twelve seconds of keying: the dits, dahs and spaces of 25 WPM and of a straight key
// whose every element and gap has a length of its own (none a whole number of anything).
std::vector<double> Lengths() {
    std::vector<double> lengths;
    const double dit = 48;
    for (int i = 0; i < 40; ++i) {
        lengths.push_back(i % 3 == 1 ? 3 * dit : dit);
        lengths.push_back(i % 5 == 4 ? 3 * dit : dit);
    }
    std::mt19937 random(20);
    std::lognormal_distribution<double> element(std::log(70.0), 0.5);
    std::lognormal_distribution<double> gap(std::log(90.0), 0.6);
    for (int i = 0; i < 60; ++i) {
        lengths.push_back(std::clamp(element(random), 15.0, 400.0));
        lengths.push_back(std::clamp(gap(random), 15.0, 600.0));
    }
    return lengths;
}

// CPU time of this process and of the server's processes [ms].
double OwnCpuMs() { return cwt::bench::CpuSeconds() * 1e3; }

double ServerCpuMs() {
    const QDir dir(qEnvironmentVariable("CWT_PULSE_DIR"));
    double ms = 0;
    QList<int> seen;
    for (const QString& name : dir.entryList({QStringLiteral("*pid")}, QDir::Files)) {
        if (name == QLatin1String("dbus.pid")) continue;
        QFile pidFile(dir.filePath(name));
        if (!pidFile.open(QIODevice::ReadOnly)) continue;
        const int pid = pidFile.readAll().trimmed().toInt();
        if (pid <= 0 || seen.contains(pid)) continue;
        seen << pid;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 13)
            ms += (fields[11].toDouble() + fields[12].toDouble()) * 1000 / sysconf(_SC_CLK_TCK);
    }
    return ms;
}

struct CpuShare {
    double ownPercent = 0;
    double serverPercent = 0;
};

CpuShare CpuOver(int ms) {
    const double own = OwnCpuMs();
    const double server = ServerCpuMs();
    Pause(ms);
    return {(OwnCpuMs() - own) * 100 / ms, (ServerCpuMs() - server) * 100 / ms};
}

// Keys the rhythm into an open sidetone while the monitor is recorded; the edges are handed in
// at their times, or `aheadMs` before each element.
void BM_KeyToSidetone(benchmark::State& state) {
    App();
    cwt::Sidetone sidetone;
    if (!OpenReady(state, sidetone)) return;
    const int64_t aheadNs = state.range(1) * 1'000'000;
    cwt::SidetoneMatch match;
    CpuShare keyingCpu;
    for (auto _ : state) {
        cwt::MonitorTimeline monitor;
        if (!monitor.waitRunning()) {
            state.SkipWithError("the monitor could not be recorded");
            return;
        }
        Pause(500);
        const int64_t fromNs = NowNs();
        const auto elements = cwt::RhythmFrom(fromNs + 300'000'000, Lengths());
        const double keyingMs = (elements.back().upNs - fromNs) / 1e6 + 300;
        cwt::EdgePlayer player(
            elements, [&sidetone](const cwt::keyer::KeyEdge& edge) { sidetone.edge(edge); },
            aheadNs);
        keyingCpu = CpuOver(static_cast<int>(keyingMs));
        const cwt::MonitorTimeline::Recording recording = monitor.recording();
        match = cwt::MatchSidetone(player.keyed(), recording, cwt::LevelOf(recording.samples),
                                   fromNs, sidetone.dropouts());
        state.counters["monitor_chunk_ms"] = recording.typicalChunk * 1000.0 / 48000;
        state.counters["sink_breaks"] = recording.breaks;
    }
    const cwt::SidetoneFigures figures = sidetone.figures();
    state.counters["elements"] = static_cast<double>(match.keyed);
    state.counters["tones"] = static_cast<double>(match.heard);
    state.counters["missing"] = static_cast<double>(match.missing);
    state.counters["extra"] = static_cast<double>(match.extra);
    state.counters["broken_tones"] = static_cast<double>(match.brokenTones);
    state.counters["near_dropouts"] = static_cast<double>(match.nearDropouts);
    state.counters["handed_late"] = static_cast<double>(match.handedLate);
    state.counters["dropouts"] = figures.dropouts;
    state.counters["latency_chosen_ms"] = figures.latencyNs / 1e6;
    state.counters["key_to_sound_median_ms"] = match.medianLatencyMs;
    state.counters["key_to_sound_min_ms"] = match.minLatencyMs;
    state.counters["key_to_sound_max_ms"] = match.maxLatencyMs;
    state.counters["key_to_sound_spread_ms"] = match.latencySpreadMs;
    state.counters["length_err_max_ms"] = match.maxLengthErrorMs;
    state.counters["length_err_spread_ms"] = match.lengthSpreadMs;
    state.counters["elements_across_breaks"] = static_cast<double>(match.acrossBreaks);
    state.counters["loudest_outside"] = match.loudestOutside;
    state.counters["late_edges"] = figures.lateEdges;
    state.counters["clock_jumps"] = figures.clockJumps;
    state.counters["underflows"] = sidetone.underflows();
    state.counters["cpu_keying_pct"] = keyingCpu.ownPercent;
    state.counters["server_cpu_keying_pct"] = keyingCpu.serverPercent;
}
BENCHMARK(BM_KeyToSidetone)
    ->ArgNames({"pw_quantum", "ahead_ms", "pulse_target_ms"})
    ->Args({0, 0, 6})
    ->Args({0, 40, 6})
    ->Args({0, 0, 12})
    ->Args({0, 0, 15})
    ->Args({64, 0, 0})
    ->Args({128, 0, 0})
    ->Args({128, 40, 0})
    ->Args({256, 0, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// CPU while the sidetone is open and idle, against the same time with it closed.
void BM_IdleOpenCpu(benchmark::State& state) {
    App();
    CpuShare closed;
    CpuShare open;
    for (auto _ : state) {
        closed = CpuOver(3000);
        App();
        cwt::Sidetone sidetone;
        if (!OpenReady(state, sidetone)) return;
        open = CpuOver(5000);
    }
    state.counters["cpu_closed_pct"] = closed.ownPercent;
    state.counters["server_cpu_closed_pct"] = closed.serverPercent;
    state.counters["cpu_idle_open_pct"] = open.ownPercent;
    state.counters["server_cpu_idle_open_pct"] = open.serverPercent;
}
BENCHMARK(BM_IdleOpenCpu)
    ->ArgNames({"pw_quantum", "unused", "pulse_target_ms"})
    ->Args({0, 0, 6})
    ->Args({128, 0, 0})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
