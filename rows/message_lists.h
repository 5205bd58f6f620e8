// A stream's message lists as a setting shows them: each list an item per row of a name
// table ("ID", "Name", "Interval"), the item's value one byte of its message slots.
#pragma once

#include <span>

#include "member.h"

namespace rows {

// Which byte of a message slot an item shows.
enum class ValueByte : unsigned char {
    Interval,   // the signed interval byte, sign-extended
    Available,  // the unsigned available byte; a row over several slots shows 1 if any is set
};

struct MessageRow {
    int id;
    const char *name;
    unsigned char first_index;  // slot of the message array
    unsigned char last_index;   // equal to first_index unless the item stands for several slots
};

struct MessageTable {
    ValueByte byte;
    std::span<const MessageRow> rows;
};

// One list of a stream's "Messages".
enum class ListShape : unsigned char {
    Items,            // an item per row of the table, its value from the slots
    Empty,            // [ ]
    TwoEmptyObjects,  // [ { }, { } ]
};
struct MessageList {
    ListShape shape;
    const MessageTable *table = nullptr;
    grshm::Member slots{};  // within the stream
    const char *name = "";  // as a person reads it ("RTCM 3.2"); empty for a list without items
};
// (The items read their slots' bytes themselves: the slots' own rows are not kept, which
// spares every program a pointer for the loader to relocate per list.)
constexpr MessageList Items(const char *name, const MessageTable &table, grshm::Member slots) {
    slots.rows = {};
    return {ListShape::Items, &table, slots, name};
}
inline constexpr MessageList kEmptyList{ListShape::Empty};

// A level shown from a message array: the first rule whose slot's available byte is set
// decides (an NTRIP server's MSM level).
struct SlotLevel {
    unsigned char index;
    int level;
};

}  // namespace rows
