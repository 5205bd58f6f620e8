// Reading and writing entries: records are zero-filled as a whole, padding included, before
// every read, so that a reply never shows stale or uninitialised bytes.
//
// A read can fail (the segment's lock was not to be had within its bound). The record then
// holds zeros, which are not the receiver's state: the first such failure is kept, and a
// program answers "Failed" instead of a reply built from it (ReadFailure).
#pragma once

#include <cstring>
#include <string>

#include "sharememory.h"

namespace cgi {

// Where a read or write went: the segment's name as the messages say it.
inline constexpr const char *kConfigSegment = "configuration";
inline constexpr const char *kMonitorSegment = "monitor";
inline constexpr const char *kGnssSegment = "GNSS";

struct EntryFailure {
    const char *segment = nullptr;  // null while nothing has failed
    unsigned char entry = 0;
};

// The first read of this process that failed.
inline EntryFailure &FirstReadFailure() {
    static EntryFailure failure;
    return failure;
}

// Once a read has failed the reply is "Failed" whatever follows: later reads are skipped
// rather than each waiting out its lock's bound again.
inline bool AnyReadFailed() {
    return FirstReadFailure().segment != nullptr;
}

// Keeps the first failed read; true when the read succeeded.
inline bool NoteRead(int result, const char *segment, unsigned char entry) {
    if (result == 0) return true;
    if (FirstReadFailure().segment == nullptr) FirstReadFailure() = {segment, entry};
    return false;
}

// "could not read configuration entry 46" for the first failed read, or empty.
inline std::string ReadFailure() {
    const EntryFailure &failure = FirstReadFailure();
    if (failure.segment == nullptr) return {};
    return std::string("could not read ") + failure.segment + " entry " + std::to_string(failure.entry);
}

template <typename Record>
Record ZeroRecord() {
    Record record;
    std::memset(&record, 0, sizeof record);  // cppcheck-suppress memsetClassFloat ; all-zero bytes are 0.0
    return record;
}

// An entry of the configuration segment into size bytes at record, which are zero-filled first.
inline void ReadConfigRecord(unsigned char entry, void *record, std::size_t size) {
    std::memset(record, 0, size);
    if (!AnyReadFailed()) NoteRead(GetReceiverConfigParaFromShareMemory(entry, record), kConfigSegment, entry);
}

// An entry of the monitor segment into size bytes at record, which are zero-filled first.
inline void ReadMonitorRecord(unsigned char entry, void *record, std::size_t size) {
    std::memset(record, 0, size);
    if (!AnyReadFailed()) NoteRead(GetMonitorParaFromShareMemory(entry, record), kMonitorSegment, entry);
}

template <typename Record>
Record ReadConfigEntry(unsigned char entry) {
    Record record = ZeroRecord<Record>();
    if (!AnyReadFailed()) NoteRead(GetReceiverConfigParaFromShareMemory(entry, &record), kConfigSegment, entry);
    return record;
}

template <typename Record>
Record ReadMonitorEntry(unsigned char entry) {
    Record record = ZeroRecord<Record>();
    if (!AnyReadFailed()) NoteRead(GetMonitorParaFromShareMemory(entry, &record), kMonitorSegment, entry);
    return record;
}

template <typename Record>
Record ReadGnssEntry(unsigned char entry) {
    Record record = ZeroRecord<Record>();
    if (!AnyReadFailed()) NoteRead(GetGNSSInfoFromShareMemory(entry, &record), kGnssSegment, entry);
    return record;
}

// One-byte entries: the work mode and switches, the station state and number.
inline unsigned char ReadConfigByte(unsigned char entry) {
    return ReadConfigEntry<unsigned char>(entry);
}

inline unsigned char ReadMonitorByte(unsigned char entry) {
    return ReadMonitorEntry<unsigned char>(entry);
}

// Returns whether the entry was stored.
inline bool WriteMonitorByte(unsigned char entry, unsigned char value) {
    return SetMonitorParaToShareMemory(entry, &value) == 0;
}

}  // namespace cgi
