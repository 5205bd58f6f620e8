// Internal helpers shared by the entry access of the three segments: the lock bracket and
// the entry tables, whose offsets and sizes always come from the segment's record struct.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

#include "record_layouts.h"
#include "sharememory.h"

namespace grshm {

inline unsigned char *SegmentBase(const ShareMemoryHandle &handle) {
    return static_cast<unsigned char *>(handle.base_addr);
}

// Runs fn(base) while holding the segment's lock. A segment is never touched without its
// lock: when the lock cannot be taken the result is -1 and fn does not run; when it cannot
// be given back the result is -1 as well.
template <typename Fn>
int WithLock(const ShareMemoryHandle &handle, Fn &&fn) {
    if (semaphore_p(handle.sem_id) != 0) return -1;
    fn(SegmentBase(handle));
    return semaphore_v(handle.sem_id) == 0 ? 0 : -1;
}

enum class Access : unsigned char {
    None,       // no bytes in the segment: Get and Set copy nothing
    Both,       // Get and Set copy the span
    GetOnly,    // Get copies the span, Set copies nothing
    Text,       // Set stores a zero-terminated string cut at the span's size
    BinaryLog,  // Set clears the span and copies all but its last byte; Get copies that much
};

// The bytes an entry reaches in its segment, and how Get and Set copy them.
struct EntrySpan {
    unsigned short offset = 0;
    unsigned short size = 0;
    Access access = Access::None;
};

// An entry as its table lists it: number, the enumerator's own name, and the record member it
// reaches (whose kind and rows the tools show; the library itself copies only the span).
struct EntryRow {
    unsigned char entry;
    const char *name;
    Access access;
    Member member;

    constexpr EntrySpan Span() const {
        return {static_cast<unsigned short>(member.offset), static_cast<unsigned short>(member.size), access};
    }
};

using EntryTable = std::array<EntrySpan, 256>;

template <std::size_t N>
constexpr EntryTable MakeEntryTable(const EntryRow (&rows)[N]) {
    EntryTable table{};
    for (const EntryRow &row : rows) table[row.entry] = row.Span();
    return table;
}

// Copies an entry; the scalar widths go as one load and one store.
inline void CopyEntryBytes(void *dst, const void *src, std::size_t size) {
    switch (size) {
        case 1:
            std::memcpy(dst, src, 1);
            break;
        case 2:
            std::memcpy(dst, src, 2);
            break;
        case 4:
            std::memcpy(dst, src, 4);
            break;
        default:
            std::memcpy(dst, src, size);
            break;
    }
}

// Get and Set of one entry of a table under the segment's lock.
int GetTableEntry(const ShareMemoryHandle &handle, const EntryTable &table, unsigned char entry, void *data);
int SetTableEntry(const ShareMemoryHandle &handle, const EntryTable &table, unsigned char entry, const void *data);

}  // namespace grshm
