// The message time words of the configuration segment, found through grshm's field tables:
// the receiver rewrites them with every sample, so a check that "nothing else changed" while
// it runs compares everything but them.
#pragma once

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
        for (std::size_t i = 0; i < field.count; ++i) {
            const std::size_t element = base + field.offset + i * field.stride;
            if (field.rows.data() != grshmtool::MessageSlotRows().data()) {
                CollectTimeWords(field.rows, element, offsets);
                continue;
            }
            for (const grshmtool::Field &slot : field.rows)
                if (std::strcmp(slot.name, "time") == 0) offsets.push_back(element + slot.offset);
        }
    }
}

// Where every message time word of the configuration segment lies (each 4 bytes).
inline const std::vector<std::size_t> &TimeWordOffsets() {
    static const std::vector<std::size_t> offsets = [] {
        std::vector<std::size_t> found;
        for (const grshm::EntrySpan &span : grshm::kConfigTable) {
            if (span.shape == grshm::Shape::MessageList) {  // a bare list of slots
                const grshmtool::Field list{"",
                                            0,
                                            span.size,
                                            grshmtool::FieldKind::List,
                                            grshmtool::MessageSlotRows(),
                                            span.size / sizeof(MsgCfgPara),
                                            sizeof(MsgCfgPara)};
                CollectTimeWords({&list, 1}, span.offset, found);
            } else {
                CollectTimeWords(grshmtool::RecordRows(span.shape), span.offset, found);
            }
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
