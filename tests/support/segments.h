// Raw views of the attached segments, for checking what the library wrote byte by byte.
#pragma once

#include <sys/sem.h>

#include <cstring>
#include <vector>

#include "sharememory.h"

namespace testsupport {

// Where an entry lives in its segment, as the receiver's processes expect it.
struct Placement {
    unsigned char entry;
    std::size_t offset;
    std::size_t size;
};

inline unsigned char *RawConfig() {
    return static_cast<unsigned char *>(OstrelConfig.base_addr);
}
inline unsigned char *RawMonitor() {
    return static_cast<unsigned char *>(OstrelMonitor.base_addr);
}
inline unsigned char *RawGnss() {
    return static_cast<unsigned char *>(OstrelGNSS.base_addr);
}

inline std::vector<unsigned char> Snapshot(const unsigned char *base, std::size_t size) {
    return std::vector<unsigned char>(base, base + size);
}
inline std::vector<unsigned char> ConfigBytes() {
    return Snapshot(RawConfig(), sizeof(ReceiverConfigPara));
}
inline std::vector<unsigned char> MonitorBytes() {
    return Snapshot(RawMonitor(), sizeof(MonitorPara));
}
inline std::vector<unsigned char> GnssBytes() {
    return Snapshot(RawGnss(), sizeof(GNSSInfo));
}

// A pattern that differs from entry to entry and from byte to byte, never zero.
inline std::vector<unsigned char> Pattern(std::size_t size, unsigned seed) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(1 + (seed * 31 + i * 7) % 255);
    return bytes;
}

inline int SemaphoreValue(int sem_id) {
    return semctl(sem_id, 0, GETVAL);
}

}  // namespace testsupport
