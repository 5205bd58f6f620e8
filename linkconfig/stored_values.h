// Storing a requested value of one key into a channel's record: the checks a value must pass
// and the bytes it changes, walked per kind of key from the report's own rows.
#pragma once

#include <json-c/json.h>

#include <string>
#include <vector>

#include "channels.h"

namespace linkconfig {

// The channel's record as it will be stored, and the ranges of it that the request changed.
struct Draft {
    unsigned char entry;
    unsigned char *record;
    std::vector<ConfigByteRange> writes;
};

// Whether a key is fixed or follows from other bytes, rather than storing its own member.
bool IsDerived(const linkreport::KeyRow &row);

// Checks the requested value of a key that stores its member, and stores it into the draft.
// Empty when stored; else what is wrong, starting with the key's name. Nothing is stored then.
std::string StoreKey(const linkreport::KeyRow &row, json_object *value, Draft &draft);

// Dotted IPv4 text ("192.168.1.10": four decimal octets, nothing else) into four words.
bool ParseDottedAddress(const char *text, std::size_t length, Ipv4Words &words);

}  // namespace linkconfig
