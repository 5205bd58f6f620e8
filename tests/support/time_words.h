// The message time words of the configuration segment, found through the records' rows:
// the receiver rewrites them with every sample, so a check that "nothing else changed" while
// it runs compares everything but them.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "entry_tables.h"
#include "segments.h"

namespace testsupport {

inline void CollectTimeWords(grshm::Layout rows, std::size_t base, std::vector<std::size_t> &offsets) {
    for (const grshm::Member &member : rows) {
        if (member.kind == grshm::Kind::Record) CollectTimeWords(member.rows, base + member.offset, offsets);
        if (member.kind != grshm::Kind::Array) continue;
        const bool slots = member.rows.data() == grshm::RowsOf<MsgCfgPara>().data();
        for (std::size_t i = 0; i < member.count; ++i) {
            const std::size_t element = base + member.offset + i * member.stride;
            if (slots)
                offsets.push_back(element + offsetof(MsgCfgPara, time));
            else
                CollectTimeWords(member.rows, element, offsets);
        }
    }
}

// Where every message time word of the configuration segment lies (each 4 bytes).
inline const std::vector<std::size_t> &TimeWordOffsets() {
    static const std::vector<std::size_t> offsets = [] {
        std::vector<std::size_t> found;
        for (const grshm::EntryRow &row : grshm::kConfigRows) CollectTimeWords(grshm::Layout(&row.member, 1), 0, found);
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
