// A setting row: one description of a setting we show or change. The programs show and check
// values by it, the describe reply hands it to the pages and to the receiver's developers,
// and nothing else restates it.
//
// A row names its member by the one member description (offset, size, kind within its
// entry's record); the entry, its segment and the operation a change posts are the row's
// place, which a group of rows (a data channel, a page of settings) shares unless a row
// names its own.
#pragma once

#include <span>

#include "message_lists.h"
#include "record_layouts.h"
#include "sharememory.h"

namespace rows {

enum class Segment : unsigned char { Configuration, Monitor, Gnss };

// Where a row's member lives and what a change of it posts, with the enumerators' own names.
struct Place {
    Segment segment;
    unsigned char entry;
    const char *entry_name;
    OPERATE_ENTRY operation;
    const char *operation_name;
};
#define ROWS_PLACE(segment, entry, operation)                          \
    ::rows::Place {                                                    \
        ::rows::Segment::segment, entry, #entry, operation, #operation \
    }

// How a row shows its member.
enum class Shown : unsigned char {
    Constant,       // the row's number, no member
    Number,         // a whole number: a byte as it is, a word as its 32-bit pattern
    Decimal,        // a float; one that is not a number shows as 0
    Flag,           // true when the member is nonzero
    Text,           // the text up to its zero byte, or the whole field when it has none
    DottedAddress,  // "%d.%d.%d.%d" of the four words, cut to 23 characters
    Choice,         // a code: the member's value, or through shown_of; one of the choices
    TextChoice,     // the code of the first choice whose text the member holds; no key when none does
    FlagWords,      // the text of choice 1 when the member is nonzero, else of choice 0 (follows a flag)
    Messages,       // the stream's message lists
    SlotLevel,      // the level of the first of levels whose slot is set; no key when none is
};

// One value a choice may take, with the text a person reads; a TextChoice stores the
// stored text (several may show as one code: the first is stored).
struct Choice {
    int code;
    const char *text;
    const char *stored = nullptr;
};

// The characters a text may hold.
enum class Characters : unsigned char {
    PrintableAscii,  // 0x20 to 0x7E
    FileName,        // A-Z a-z 0-9 - _: a name any file system and a RINEX header take
};

// What a receiver can use, not what the bytes can hold.
struct Rule {
    double min = 0;  // Number, Decimal
    double max = 0;
    double step = 0;  // 0: any value within min to max (Decimal), 1 for a Number
    std::span<const Choice> choices{};
    unsigned short max_length = 0;  // Text: 0 for what the field holds with its terminator
    unsigned short min_length = 0;  // Text
    Characters characters = Characters::PrintableAscii;
};

struct Row {
    const char *key;  // the JSON key
    Shown shown;
    grshm::Member member{};  // within its entry's record
    Rule rule{};
    const char *label = "";                     // for people
    const char *unit = nullptr;                 // none
    bool secret = false;                        // a password: pages hide it
    const char *fixed = nullptr;                // why a request cannot set it (it follows other bytes), when so
    const Place *place = nullptr;               // its own place, when it is not its group's
    int constant = 0;                           // Constant
    std::span<const unsigned char> shown_of{};  // Choice: the code per stored value (past its end: element 0)
    std::span<const MessageList> messages{};    // Messages
    std::span<const SlotLevel> levels{};        // SlotLevel
    bool live = false;                          // written by the receiver (Live below)
    int scale = 0;                              // Decimal: 0 a float; else a signed word of 1/scale units
    const Place *choices_from = nullptr;        // Text: a list the receiver keeps of values to choose from
    const char *choices_in = nullptr;           // the key of the group's read that brings that list
};

// A group of rows that one request reads and changes together, in one entry (a data
// channel) unless rows name their own.
struct Group {
    const char *name;   // as a person says it in a sentence ("the NTRIP client")
    const char *title;  // as a heading shows it ("NTRIP client")
    Place place;
    std::size_t record_size;  // of the group's entry
    std::span<const Row> rows;
};

constexpr const Place &PlaceOf(const Group &group, const Row &row) {
    return row.place != nullptr ? *row.place : group.place;
}

// Whether a request may set the row: it stores its own member.
constexpr bool Changeable(const Row &row) {
    return row.fixed == nullptr && !row.live && row.shown != Shown::Constant && row.shown != Shown::FlagWords &&
           row.shown != Shown::SlotLevel;
}

// ---- Making rows ---------------------------------------------------------------------------

constexpr Row Constant(const char *key, int value, const char *label) {
    return {.key = key, .shown = Shown::Constant, .label = label, .constant = value};
}
constexpr Row Show(const char *key, Shown shown, const grshm::Member &member, const char *label,
                   const char *unit = nullptr) {
    // A row reads its member's bytes itself: the member's nested rows are not kept (each would be
    // one more pointer for the loader to relocate, in every program that links the rows).
    grshm::Member bytes = member;
    bytes.rows = {};
    return {.key = key, .shown = shown, .member = bytes, .label = label, .unit = unit};
}
constexpr Row Within(Row row, double min, double max, double step = 1) {
    row.rule.min = min;
    row.rule.max = max;
    row.rule.step = step;
    return row;
}
constexpr Row OneOf(Row row, std::span<const Choice> choices) {
    row.rule.choices = choices;
    return row;
}
constexpr Row Secret(Row row) {
    row.secret = true;
    return row;
}
// Shown, but set by other means (the reason says which).
constexpr Row Fixed(Row row, const char *reason) {
    row.fixed = reason;
    return row;
}

// A text of min_length to max_length characters of a kind.
constexpr Row Length(Row row, unsigned short min_length, unsigned short max_length,
                     Characters characters = Characters::PrintableAscii) {
    row.rule.min_length = min_length;
    row.rule.max_length = max_length;
    row.rule.characters = characters;
    return row;
}
// A Decimal kept as a signed 32-bit word of 1/scale units (a height in tenths of a millimetre
// shown in metres: scale 10000); its step is one unit.
constexpr Row Scaled(Row row, int scale, double min, double max) {
    row.scale = scale;
    row.rule.min = min;
    row.rule.max = max;
    row.rule.step = 1.0 / scale;
    return row;
}

// Written by the receiver, never by a request: its rule is the form the receiver writes it in
// (docs/receiver.md), and bytes outside that form show as {"Unknown": raw} (the number as
// stored, or a text's bytes in hex) instead of a value the form does not have.
constexpr Row Live(Row row) {
    row.live = true;
    return row;
}

}  // namespace rows
