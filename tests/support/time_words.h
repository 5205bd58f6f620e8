// The message time words of the configuration segment, found through grshm's field tables:
// the receiver rewrites them with every sample, so a check that "nothing else changed" while
// it runs compares everything but them.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "entry_tables.h"
#include "fields.h"
#include "segments.h"

namespace testsupport {

inline void CollectTimeWords(grshmtool::Layout rows, std::size_t base, std::vector<std::size_t> &offsets) {
    for (const grshmtool::Field &field : rows) {
        if (field.kind == grshmtool::FieldKind::Object) CollectTimeWords(field.rows, base + field.offset, offsets);
        if (field.kind != grshmtool::FieldKind::List) continue;
        const bool slots = field.rows.data() == grshmtool::MessageSlotRows().data();
        for (std::size_t i = 0; i < field.count; ++i) {
            const std::size_t element = base + field.offset + i * field.stride;
            if (slots)
                offsets.push_back(element + offsetof(MsgCfgPara, time));
            else
                CollectTimeWords(field.rows, element, offsets);
        }
    }
}

// Where every message time word of the configuration segment lies (each 4 bytes).
inline const std::vector<std::size_t> &TimeWordOffsets() {
    static const std::vector<std::size_t> offsets = [] {
        std::vector<std::size_t> found;
        for (const grshm::EntrySpan &span : grshm::kConfigTable) {
            if (span.shape != grshm::Shape::MessageList)
                CollectTimeWords(grshmtool::RecordRows(span.shape), span.offset, found);
            else  // a bare list of slots
                for (std::size_t at = 0; at + sizeof(MsgCfgPara) <= span.size; at += sizeof(MsgCfgPara))
                    found.push_back(span.offset + at + offsetof(MsgCfgPara, time));
        }
        return found;
    }();
    return offsets;
}

// The configuration segment's bytes with every message time word cleared.
inline std::vector<unsigned char> ConfigBytesBesideTimeWords() {
    std::vector<unsigned char> bytes = ConfigBytes();
    for (const std::size_t offset : TimeWordOffsets()) std::memset(&bytes[offset], 0, 4);
    return bytes;
}

}  // namespace testsupport
