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

inline void ClearTimeWords(grshmtool::Layout rows, std::size_t base, std::vector<unsigned char> &bytes) {
    for (const grshmtool::Field &field : rows) {
        if (field.kind == grshmtool::FieldKind::Object) ClearTimeWords(field.rows, base + field.offset, bytes);
        if (field.kind != grshmtool::FieldKind::List) continue;
        for (std::size_t i = 0; i < field.count; ++i) {
            const std::size_t element = base + field.offset + i * field.stride;
            if (field.rows.data() != grshmtool::MessageSlotRows().data()) {
                ClearTimeWords(field.rows, element, bytes);
                continue;
            }
            for (const grshmtool::Field &slot : field.rows)
                if (std::strcmp(slot.name, "time") == 0) std::memset(&bytes[element + slot.offset], 0, slot.size);
        }
    }
}

// The configuration segment's bytes with every message time word cleared.
inline std::vector<unsigned char> ConfigBytesBesideTimeWords() {
    std::vector<unsigned char> bytes = ConfigBytes();
    for (const grshm::EntrySpan &span : grshm::kConfigTable) {
        if (span.shape == grshm::Shape::MessageList) {  // a bare list of slots
            const grshmtool::Field list{"",
                                        0,
                                        span.size,
                                        grshmtool::FieldKind::List,
                                        grshmtool::MessageSlotRows(),
                                        span.size / sizeof(MsgCfgPara),
                                        sizeof(MsgCfgPara)};
            ClearTimeWords({&list, 1}, span.offset, bytes);
        } else {
            ClearTimeWords(grshmtool::RecordRows(span.shape), span.offset, bytes);
        }
    }
    return bytes;
}

}  // namespace testsupport
