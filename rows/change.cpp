#include "change.h"

#include <algorithm>
#include <cstring>

#include "describe.h"
#include "values.h"

namespace rows {
namespace {

const Row *FindRow(const Group &group, const char *key) {
    for (const Row &row : group.rows)
        if (std::strcmp(row.key, key) == 0) return &row;
    return nullptr;
}

bool Skipped(std::span<const char *const> skip, const char *key) {
    return std::any_of(skip.begin(), skip.end(), [key](const char *name) { return std::strcmp(name, key) == 0; });
}

EntryCopy *CopyOf(std::span<EntryCopy> copies, const Place &place) {
    for (EntryCopy &copy : copies)
        if (copy.place->segment == place.segment && copy.place->entry == place.entry) return &copy;
    return nullptr;
}

}  // namespace

std::string Draw(const Group &group, json_object *request, std::span<const char *const> skip,
                 std::span<EntryCopy> copies) {
    // The keys that store their members first, then those that follow from them: those may be
    // sent only with the value they will show once the change is stored (a page sends back
    // what it read).
    for (const bool changeable : {true, false}) {
        json_object_object_foreach(request, key, value) {
            if (Skipped(skip, key)) continue;
            const Row *row = FindRow(group, key);
            if (row == nullptr) return std::string("unknown key ") + key + " for " + group.name;
            if (Changeable(*row) != changeable) continue;
            const EntryCopy *copy = CopyOf(copies, PlaceOf(group, *row));
            if (copy == nullptr) return std::string(key) + " is not read with " + group.name;
            if (!ShowsKey(*row, copy->stored))
                return std::string(key) + " is not shown for " + group.name + " and cannot be set";
            if (!changeable) {
                if (!ShowsAs(*row, copy->draft, value)) return FixedReason(group, *row);
                continue;
            }
            if (std::string failed = Store(*row, value, copy->draft); !failed.empty()) return failed;
        }
    }
    return {};
}

std::vector<ConfigByteRange> ChangedRanges(const EntryCopy &copy) {
    std::vector<ConfigByteRange> ranges;
    for (std::size_t at = 0; at < copy.size;) {
        if (copy.stored[at] == copy.draft[at]) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < copy.size && copy.stored[end] != copy.draft[end]) ++end;
        ranges.push_back({copy.place->entry, static_cast<unsigned short>(at), static_cast<unsigned short>(end - at)});
        at = end;
    }
    return ranges;
}

}  // namespace rows
