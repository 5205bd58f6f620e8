// The request forms of the work-mode program.
#pragma once

#include <json-c/json.h>

#include "cgi_frame.h"

namespace rolekind {

// How long a request waits for the receiver to take a posted operation, or to finish a
// position query, before it gives up and says so.
inline constexpr unsigned int kMailboxTimeoutMs = 10000;

// Time the receiver is given to act on a base start or a change to SmartBase mode before
// the reply is sent.
inline constexpr unsigned int kSettleMs = 2000;

// Serves one request (the segments must be attached) and returns the reply document.
cgi::JsonPtr ServeRequest(json_object *request);

}  // namespace rolekind
