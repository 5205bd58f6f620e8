// Reads of the segments for the stand-in. They go through the library one by one: a daemon
// lives on after a read that timed out, and every later read must see the segment again. A
// failed read gives nothing, and nothing is written on the strength of it.
#pragma once

#include <cstring>
#include <optional>

#include "sharememory.h"

namespace receiversim {

template <typename Record>
std::optional<Record> ReadEntry(int (*get)(unsigned char, void *), unsigned char entry) {
    Record record;
    std::memset(&record, 0, sizeof record);  // cppcheck-suppress memsetClassFloat ; all-zero bytes are 0.0
    if (get(entry, &record) != 0) return std::nullopt;
    return record;
}

template <typename Record>
std::optional<Record> ReadConfig(unsigned char entry) {
    return ReadEntry<Record>(GetReceiverConfigParaFromShareMemory, entry);
}

template <typename Record>
std::optional<Record> ReadMonitor(unsigned char entry) {
    return ReadEntry<Record>(GetMonitorParaFromShareMemory, entry);
}

inline void WriteMonitorByte(unsigned char entry, unsigned char value) {
    SetMonitorParaToShareMemory(entry, &value);
}

inline void WriteMonitorWord(unsigned char entry, unsigned int value) {
    SetMonitorParaToShareMemory(entry, &value);
}

}  // namespace receiversim
