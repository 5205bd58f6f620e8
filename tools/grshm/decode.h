// Showing entry bytes decoded, and reading plain values back into bytes.
#pragma once

#include <json-c/json.h>

#include <string>
#include <vector>

#include "catalog.h"

namespace grshmtool {

using Bytes = std::vector<unsigned char>;

// The entry's value decoded by its form (a JSON value; records become objects).
json_object *Decode(const Entry &entry, const Bytes &bytes);

// The whole entry as one JSON object: names, place, decoded value and raw bytes in hex.
json_object *Describe(const Entry &entry, const Bytes &bytes);

// Lines "name: value" for people; message slots that are all zero are summarised.
std::string DecodedText(const Entry &entry, const Bytes &bytes);

std::string Hex(const Bytes &bytes);

// Bytes for a plain value (numbers, texts, dotted addresses) or, with from_hex, for
// exactly the entry's size in hex. An empty result with a message in *error on refusal.
Bytes Encode(const Entry &entry, const std::string &value, bool from_hex, std::string *error);

}  // namespace grshmtool
