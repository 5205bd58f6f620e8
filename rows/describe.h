// The describe reply: the rows as JSON for the pages and for the receiver's developers (the
// format is written out in docs/settings.md).
#pragma once

#include <string>
#include <string_view>

#include "json_writer.h"
#include "setting_row.h"

namespace rows {

// One row as an object: key, type, rule, label, unit, whether it may be changed, whether it
// is secret, the message for a bad value, and where it lives.
void Describe(cgi::JsonWriter &writer, const Group &group, const Row &row);

// Why a request cannot set a row that is not changeable.
std::string FixedReason(const Group &group, const Row &row);

// The "Version" of a description: 16 hex digits that change when its text does.
std::string VersionOf(std::string_view description);

// The segment's name as messages and the describe reply say it.
const char *SegmentName(Segment segment);

}  // namespace rows
