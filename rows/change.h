// A change drawn on copies of the entries a group of rows shows, and what of them it changed:
// a key sent with the value it shows already changes no byte, so a request that changes no
// shown value writes nothing and posts nothing.
#pragma once

#include <json-c/json.h>

#include <span>
#include <string>
#include <vector>

#include "setting_row.h"

namespace rows {

// One entry of a group as it was read and as the change will store it.
struct EntryCopy {
    const Place *place;
    const unsigned char *stored;
    unsigned char *draft;  // starts as a copy of stored
    std::size_t size;
};

// Draws the request's keys (all but those named in skip) on the drafts. Refused, with what is
// wrong, when a key is no row of the group or one it does not show for these bytes, when a
// value is not taken, or when a key that cannot be set is sent with another value than it
// will show. Empty when drawn.
std::string Draw(const Group &group, json_object *request, std::span<const char *const> skip,
                 std::span<EntryCopy> copies);

// Where a draft differs from what was read, as writes of its entry: none when the change left
// the entry's bytes as they were.
std::vector<ConfigByteRange> ChangedRanges(const EntryCopy &copy);

}  // namespace rows
