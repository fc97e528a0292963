#pragma once
// Time the host of a virtual machine ran something else on this machine's CPUs (steal time),
// summed over all CPUs, in milliseconds. While the host takes a CPU away no thread on it runs,
// real-time or not, so the timing tests only hold a thread to sub-millisecond edges when the
// host took nothing during the run.

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace cwt::test {

inline double StealMs() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    uint64_t field[8] = {};
    stat >> cpu;
    for (uint64_t& f : field) stat >> f;
    return field[7] * 1000.0 / sysconf(_SC_CLK_TCK);
}

}  // namespace cwt::test
