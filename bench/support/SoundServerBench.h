#pragma once
// What the benchmarks that sound through the real server share (the null sink of
// scripts/pulse-null-sink.sh, PulseAudio or PipeWire): the application their Qt objects need,
// a pause that lets its events run, and whether a server answers, and which.

#include <benchmark/benchmark.h>

class QCoreApplication;

namespace cwt::bench {

// Made on first use and kept for the run, named after the benchmark's executable.
QCoreApplication* App();

// Handles events for `ms`, waking at least every 5 ms.
void Pause(int ms);

// Whether a sound server answers (`pactl info`), and whether it is PipeWire's pulse server.
bool ServerAnswers();
bool OnPipeWire();

// The application made and a server answering; otherwise false, and the benchmark is skipped
// with the reason.
bool ServerReady(benchmark::State& state);

}  // namespace cwt::bench
