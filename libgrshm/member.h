// One description of a record member: its name, where it lies in its record (offset and
// size, always from offsetof and sizeof of the record struct), what its bytes are, and for a
// nested record or an array the rows of its members. The library's entry tables, the channel
// rows of the programs, the setting rows and grshm all describe members with it.
#pragma once

#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>

namespace grshm {

enum class Kind : unsigned char {
    Bytes,     // anything else: shown in hex only
    Unsigned,  // little-endian unsigned integer of 1, 2 or 4 bytes
    Signed,    // little-endian signed integer (the message intervals, the mailbox state)
    Real,      // float or double
    Letter,    // one byte read as a one-letter text (hemisphere, unit)
    Text,      // a char array: zero-terminated text of at most its size
    Address,   // Ipv4Words: four words, one octet each, first octet in word 0
    Record,    // a nested record: its rows
    Array,     // count elements of its rows, stride bytes apart
};

struct Member;
using Layout = std::span<const Member>;

struct Member {
    const char *name = nullptr;  // as declared, in a record's rows; null where an entry or a row names it
    std::size_t offset = 0;
    std::size_t size = 0;
    Kind kind = Kind::Bytes;
    Layout rows{};           // Record: its members; Array: one element's members
    std::size_t count = 0;   // Array: the number of elements
    std::size_t stride = 0;  // Array: bytes from one element to the next; a member of an element
                             // may carry its own (arrays kept side by side, as in a GSV slot)
};

// What the bytes of a member of type T are, for a type that is not a record: the record
// types' own kinds come with their rows (record_layouts.h).
template <typename T>
constexpr Kind ScalarKindOf() {
    if constexpr (std::is_array_v<T>) {
        using Element = std::remove_cv_t<std::remove_extent_t<T>>;
        if constexpr (std::is_same_v<Element, char>) return Kind::Text;
        if constexpr (std::is_same_v<Element, unsigned int> && std::extent_v<T> == 4) return Kind::Address;
        return Kind::Bytes;
    } else if constexpr (std::is_floating_point_v<T>) {
        return Kind::Real;
    } else if constexpr (std::is_integral_v<T>) {
        if constexpr (std::is_unsigned<T>::value) return Kind::Unsigned;
        return Kind::Signed;
    } else {
        return Kind::Bytes;
    }
}

// Rows of a record's layout (record_layouts.h). Members are designators, not expressions.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define GRSHM_FIELD_AS(Type, member, name, kind)                 \
    ::grshm::Member {                                            \
        name, offsetof(Type, member), sizeof(Type::member), kind \
    }
#define GRSHM_FIELD(Type, member) GRSHM_FIELD_AS(Type, member, #member, ::grshm::ScalarKindOf<decltype(Type::member)>())
#define GRSHM_OBJECT(Type, member, name, rows)                                                           \
    ::grshm::Member {                                                                                    \
        name, offsetof(Type, member), sizeof(Type::member), ::grshm::Kind::Record, ::grshm::Layout(rows) \
    }
#define GRSHM_LIST(Type, member, rows)                                                                              \
    ::grshm::Member {                                                                                               \
#member, offsetof(Type, member), sizeof(Type::member), ::grshm::Kind::Array, ::grshm::Layout(rows),         \
            std::extent_v < decltype(Type::member)>, sizeof(Type::member) / std::extent_v < decltype(Type::member)> \
    }
// NOLINTEND(bugprone-macro-parentheses)

}  // namespace grshm
