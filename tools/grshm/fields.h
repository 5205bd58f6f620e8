// The records of the segments as rows of fields: name, offset and size (from offsetof and
// sizeof of the record struct), and how the field is shown. Decoding any record is one walk
// over its rows; nothing here lists a record's fields a second time.
#pragma once

#include <cstddef>
#include <span>
#include <type_traits>

#include "segment.h"

namespace grshmtool {

enum class FieldKind : unsigned char {
    Unsigned,  // little-endian unsigned integer of 1, 2 or 4 bytes
    Signed,    // signed integer
    Real,      // float or double
    Letter,    // one byte shown as a one-letter text (hemisphere, unit)
    Text,      // zero-terminated text of at most the field's size
    Address,   // Ipv4Words: four words, one octet each
    Hex,       // bytes, shown in hex
    Object,    // a nested record: its own rows
    List,      // an array: count elements of its own rows
};

struct Field;
using Layout = std::span<const Field>;

struct Field {
    const char *name;
    std::size_t offset;
    std::size_t size;
    FieldKind kind;
    Layout rows{};           // Object: the nested record's rows; List: one element's rows
    std::size_t count = 0;   // List: the number of elements
    std::size_t stride = 0;  // List: bytes from one element to the next; an element row may
                             // carry its own (arrays kept side by side, as in a GSV slot)
};

// How a member of type T is shown when its row does not say.
template <typename T>
constexpr FieldKind KindOf() {
    if constexpr (std::is_array_v<T>) {
        if constexpr (std::is_same_v<T, Ipv4Words>) return FieldKind::Address;
        if constexpr (std::is_same_v<std::remove_extent_t<T>, char>) return FieldKind::Text;
        return FieldKind::Hex;
    } else if constexpr (std::is_floating_point_v<T>) {
        return FieldKind::Real;
    } else if constexpr (std::is_unsigned_v<T>) {
        return FieldKind::Unsigned;
    } else {
        static_assert(std::is_signed_v<T>, "a nested record needs its rows");
        return FieldKind::Signed;
    }
}

// NOLINTBEGIN(bugprone-macro-parentheses): members are designators, not expressions
#define GRSHM_FIELD_AS(Record, member, name, kind)                   \
    ::grshmtool::Field {                                             \
        name, offsetof(Record, member), sizeof(Record::member), kind \
    }
#define GRSHM_FIELD(Record, member) \
    GRSHM_FIELD_AS(Record, member, #member, ::grshmtool::KindOf<decltype(Record::member)>())
#define GRSHM_OBJECT(Record, member, name, rows)                                                \
    ::grshmtool::Field {                                                                        \
        name, offsetof(Record, member), sizeof(Record::member), ::grshmtool::FieldKind::Object, \
            ::grshmtool::Layout(rows)                                                           \
    }
#define GRSHM_LIST(Record, member, rows)                                                         \
    ::grshmtool::Field {                                                                         \
#member, offsetof(Record, member), sizeof(Record::member), ::grshmtool::FieldKind::List, \
            ::grshmtool::Layout(rows), std::extent_v < decltype(Record::member)>,                \
            sizeof(Record::member) / std::extent_v < decltype(Record::member)>                   \
    }
// NOLINTEND(bugprone-macro-parentheses)

// The rows of one message slot (MsgCfgPara), an element of the message lists.
Layout MessageSlotRows();

// The rows of a record shape, or an empty span for shapes that are not records.
Layout RecordRows(grshm::Shape shape);

}  // namespace grshmtool
