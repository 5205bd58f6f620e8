// Reading and writing entries: records are zero-filled as a whole, padding included, before
// every read, so that a reply never shows stale or uninitialised bytes.
#pragma once

#include <cstring>

#include "sharememory.h"

namespace cgi {

template <typename Record>
Record ZeroRecord() {
    Record record;
    std::memset(&record, 0, sizeof record);  // cppcheck-suppress memsetClassFloat ; all-zero bytes are 0.0
    return record;
}

template <typename Record>
Record ReadConfigEntry(unsigned char entry) {
    Record record = ZeroRecord<Record>();
    GetReceiverConfigParaFromShareMemory(entry, &record);
    return record;
}

// One-byte entries: the work mode and switches, the station state and number.
inline unsigned char ReadConfigByte(unsigned char entry) {
    unsigned char value = 0;
    GetReceiverConfigParaFromShareMemory(entry, &value);
    return value;
}

inline void WriteConfigByte(unsigned char entry, unsigned char value) {
    SetReceiverConfigParaToShareMemory(entry, &value);
}

inline unsigned char ReadMonitorByte(unsigned char entry) {
    unsigned char value = 0;
    GetMonitorParaFromShareMemory(entry, &value);
    return value;
}

inline void WriteMonitorByte(unsigned char entry, unsigned char value) {
    SetMonitorParaToShareMemory(entry, &value);
}

}  // namespace cgi
