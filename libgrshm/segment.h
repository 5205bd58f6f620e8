// Internal helpers shared by the entry access of the three segments: the lock bracket and
// the entry tables, whose offsets and sizes always come from the segment's record struct.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

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

// What an entry's bytes hold, for the tools that show them; taken from the record member's
// type (ShapeOf), so it cannot drift from the records. The library itself never reads it.
enum class Shape : unsigned char {
    Bytes,       // anything else: hex only
    Text,        // a char array: zero-terminated text
    Byte,        // unsigned 8-bit
    SignedByte,  // the mailbox state
    Word16,      // unsigned 16-bit
    Word32,      // unsigned 32-bit
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
    MessageList,  // an array of message slots
    Gga,
    GsvSlot,
};

template <typename T>
constexpr Shape ShapeOf() {
    using std::is_same_v;
    if constexpr (std::is_array_v<T>) {
        using Element = std::remove_cv_t<std::remove_extent_t<T>>;
        if constexpr (is_same_v<Element, char>) return Shape::Text;
        if constexpr (is_same_v<Element, MsgCfgPara>) return Shape::MessageList;
        if constexpr (is_same_v<T, Ipv4Words>) return Shape::Ipv4;
        return Shape::Bytes;
    } else {
        if constexpr (is_same_v<T, unsigned char>) return Shape::Byte;
        if constexpr (is_same_v<T, signed char>) return Shape::SignedByte;
        if constexpr (is_same_v<T, unsigned short>) return Shape::Word16;
        if constexpr (is_same_v<T, unsigned int>) return Shape::Word32;
        if constexpr (is_same_v<T, Coordinates>) return Shape::Coordinates;
        if constexpr (is_same_v<T, SmartBaseInfo>) return Shape::SmartBase;
        if constexpr (is_same_v<T, RecConfig>) return Shape::Recording;
        if constexpr (is_same_v<T, SerialPortConfig>) return Shape::SerialPort;
        if constexpr (is_same_v<T, EthTCPConfig> || is_same_v<T, UDPConfig>) return Shape::NetworkChannel;
        if constexpr (is_same_v<T, NtripClientConfig>) return Shape::NtripClient;
        if constexpr (is_same_v<T, NtripServerCtrl>) return Shape::NtripServerCtrl;
        if constexpr (is_same_v<T, NtripServerConfig>) return Shape::NtripServer;
        if constexpr (is_same_v<T, RadioConfig>) return Shape::Radio;
        if constexpr (is_same_v<T, NtripCasterConfig>) return Shape::Caster;
        if constexpr (is_same_v<T, GGAInfo>) return Shape::Gga;
        if constexpr (is_same_v<T, GSVSlot>) return Shape::GsvSlot;
        return Shape::Bytes;
    }
}

struct EntrySpan {
    unsigned short offset = 0;
    unsigned short size = 0;
    Access access = Access::None;
    Shape shape = Shape::Bytes;
};

struct EntryRow {
    unsigned char entry;
    const char *name;  // the enumerator's own name
    EntrySpan span;
};

using EntryTable = std::array<EntrySpan, 256>;

template <std::size_t N>
constexpr EntryTable MakeEntryTable(const EntryRow (&rows)[N]) {
    EntryTable table{};
    for (const EntryRow &row : rows) table[row.entry] = row.span;
    return table;
}

// Span of a record member, e.g. GRSHM_SPAN(ReceiverConfigPara, TCP1, Access::Both), with the
// shape of the member's type; GRSHM_SPAN_AS names another shape (text kept in unsigned
// bytes). The member is a designator (REC1.FolderName), so it cannot be parenthesised.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define GRSHM_SPAN_AS(Record, member, access, shape)                                            \
    ::grshm::EntrySpan {                                                                        \
        static_cast<unsigned short>(offsetof(Record, member)),                                  \
            static_cast<unsigned short>(sizeof(std::declval<Record &>().member)), access, shape \
    }
#define GRSHM_SPAN(Record, member, access) \
    GRSHM_SPAN_AS(Record, member, access,  \
                  ::grshm::ShapeOf<std::remove_cvref_t<decltype(std::declval<Record &>().member)>>())
// NOLINTEND(bugprone-macro-parentheses)

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
