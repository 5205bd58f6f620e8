// The change log's reply: the request read and checked, the records written.
#pragma once

#include <json-c/json.h>

#include "json_writer.h"

namespace changelog {

inline constexpr long long kMaxLimit = 500;

// Reads the filter from the request (null: every record, the newest page), and writes
// { "Res": "Success", "Records": [...], "Kept": 10000 } or "Failed" with the member at fault.
void Serve(json_object *request, cgi::JsonWriter &reply);

}  // namespace changelog
