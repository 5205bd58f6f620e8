// What grshm knows about the segments: their entries by name and number, with spans taken
// from the library's own entry tables, and how each entry is shown and parsed.
#pragma once

#include <string>
#include <vector>

#include "entry_tables.h"

namespace grshmtool {

// How an entry's bytes are shown and, for plain values, parsed.
enum class Form {
    Bytes,       // hex only
    Text,        // zero-terminated text
    Byte,        // unsigned 8-bit
    Word16,      // unsigned 16-bit
    Word32,      // unsigned 32-bit
    SignedByte,  // the mailbox state
    Ipv4,        // four words, one octet each
    Coordinates,
    SmartBase,
    Recording,
    SerialPort,
    NetworkChannel,  // TCP and UDP share a layout
    NtripClient,
    NtripServerCtrl,
    NtripServer,
    Radio,
    Caster,
    MessageList,  // the Bluetooth message slots
    Gga,
    GsvSlot,
};

struct Segment;

struct Entry {
    const Segment *segment;
    unsigned char number;
    std::string name;
    grshm::EntrySpan span;
    Form form;
    bool readable;
    bool writable;
};

struct Segment {
    const char *name;  // "config", "monitor", "gnss"
    int shm_key;
    int sem_key;
    std::size_t size;
    const ShareMemoryHandle *handle;
    int (*get)(unsigned char, void *);
    int (*set)(unsigned char, const void *);
};

const std::vector<Segment> &Segments();
const Segment *FindSegment(const std::string &name);

// All entries of a segment that have bytes (or, for ENTRY_GSV, can be written), in
// offset order.
std::vector<Entry> Entries(const Segment &segment);

// An entry by its name (ENTRY_WORK_MODE) or number; null when the segment has no such entry.
const Entry *FindEntry(const std::vector<Entry> &entries, const std::string &name_or_number);

// Operation codes and mailbox states by name.
const char *OperationName(int code);
int OperationCode(const std::string &name_or_number);  // -1 when unknown
const char *StateName(int state);

}  // namespace grshmtool
