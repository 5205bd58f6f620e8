// The monotonic clock and pauses, one helper for the library, the programs and the tools.
#pragma once

#include <ctime>

namespace grshm {

inline long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

inline long long MonotonicMs() {
    return MonotonicNs() / 1000000;
}

// Sleeps ns nanoseconds. A signal cuts the pause short (so that a stop request is seen at
// once), unless whole is set: then the pause resumes for the time left.
inline void SleepNs(long long ns, bool whole = false) {
    timespec pause{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
    while (nanosleep(&pause, &pause) == -1 && whole) {
    }
}

inline void SleepMs(long long ms, bool whole = false) {
    SleepNs(ms * 1000000LL, whole);
}

}  // namespace grshm
