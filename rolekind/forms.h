// The request forms of the work-mode program.
#pragma once

#include <json-c/json.h>

#include "cgi_frame.h"

namespace rolekind {

// How long a request waits for the receiver to take a posted operation, or to finish a
// position query, before it gives up and says so. (Fuzzing builds shorten both waits.)
#ifndef ROLEKIND_MAILBOX_TIMEOUT_MS
#define ROLEKIND_MAILBOX_TIMEOUT_MS 10000
#endif
inline constexpr unsigned int kMailboxTimeoutMs = ROLEKIND_MAILBOX_TIMEOUT_MS;

// Time the receiver is given to act on a base start or a change to SmartBase mode before
// the reply is sent.
#ifndef ROLEKIND_SETTLE_MS
#define ROLEKIND_SETTLE_MS 2000
#endif
inline constexpr unsigned int kSettleMs = ROLEKIND_SETTLE_MS;

// Serves one request (the segments must be attached) and returns the reply document.
cgi::JsonPtr ServeRequest(json_object *request);

}  // namespace rolekind
