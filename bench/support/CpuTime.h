#pragma once
// The CPU time this process has used [s], user and system together: a benchmark's cost is the
// difference across what it measures.

#include <sys/resource.h>

namespace cwt::bench {

inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace cwt::bench
