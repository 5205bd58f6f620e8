// A row's value read out of its entry's bytes and written into them: the one place that
// knows how each kind of row shows its member, which values its rule takes, and the message
// for any other.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <string>

#include "json_writer.h"
#include "setting_row.h"

namespace rows {

// Writes the row's key and value as the row shows them from its entry's bytes (record);
// nothing for a row that shows no key for these bytes (TextChoice, SlotLevel).
void WriteShown(cgi::JsonWriter &writer, const Row &row, const unsigned char *record);

// Whether the row shows a key for these bytes.
bool ShowsKey(const Row &row, const unsigned char *record);

// Whether the row shows exactly value for these bytes.
bool ShowsAs(const Row &row, const unsigned char *record, json_object *value);

// Stores the asked value of a changeable row into record, a copy of its entry's bytes. A value
// the row shows already changes no byte (whatever its rule says: it is no change); any other
// must keep the rule. Empty when stored; else what is wrong, starting with the key, and record
// is as it was.
std::string Store(const Row &row, json_object *value, unsigned char *record);

// The values an item of a message list takes.
Rule ItemRule(const MessageTable &table);

// The message for a value the row's rule does not take (the describe reply's "Error").
std::string BadValue(const Row &row);

// Dotted IPv4 text ("192.168.1.10": four decimal octets, nothing else) into four words.
bool ParseDottedAddress(const char *text, std::size_t length, Ipv4Words &words);

}  // namespace rows
