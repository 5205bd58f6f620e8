#include "segment.h"

namespace grshm {

int GetTableEntry(const ShareMemoryHandle &handle, const EntryTable &table, unsigned char entry, void *data) {
    if (data == nullptr) return -1;
    const EntrySpan span = table[entry];
    return WithLock(handle, [&](unsigned char *base) {
        if (span.access == Access::None) return;
        std::size_t size = span.size;
        if (span.access == Access::BinaryLog) size -= 1;  // the trailing zero stays inside
        CopyEntryBytes(data, base + span.offset, size);
    });
}

int SetTableEntry(const ShareMemoryHandle &handle, const EntryTable &table, unsigned char entry, const void *data) {
    if (data == nullptr) return -1;
    const EntrySpan span = table[entry];
    return WithLock(handle, [&](unsigned char *base) {
        unsigned char *field = base + span.offset;
        switch (span.access) {
            case Access::None:
            case Access::GetOnly:
                return;
            case Access::Both:
                CopyEntryBytes(field, data, span.size);
                return;
            case Access::Text: {
                // A text as long as the area or longer fills it without a terminator.
                const std::size_t length = strnlen(static_cast<const char *>(data), span.size);
                std::memset(field, 0, span.size);
                std::memcpy(field, data, length);
                return;
            }
            case Access::BinaryLog:
                std::memset(field, 0, span.size);
                std::memcpy(field, data, span.size - 1u);
                return;
        }
    });
}

}  // namespace grshm
