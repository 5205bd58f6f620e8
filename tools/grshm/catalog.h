// What grshm knows about the segments: their entries by name and number, with spans taken
// from the library's own entry tables, and how each entry is shown and parsed.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "entry_tables.h"

namespace grshmtool {

struct Segment;

struct Entry {
    const Segment *segment;
    unsigned char number;
    std::string name;
    grshm::EntrySpan span;
    grshm::Member member;  // how its bytes are shown and, for plain values, parsed
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
    std::span<const grshm::EntryRow> rows;  // the library's entry table of the segment
    // Entries the table does not list by row (the SmartBase list, ENTRY_GSV); may be null.
    void (*add_entries)(const Segment &segment, std::vector<Entry> *entries);
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
