// The data channels from the web: read one channel with its revision, or change some of its
// keys when the revision is still current, and announce the change to the receiver.
#pragma once

#include <json-c/json.h>

#include "cgi_frame.h"

#ifndef LINKCONFIG_MAILBOX_TIMEOUT_MS
#define LINKCONFIG_MAILBOX_TIMEOUT_MS 10000
#endif

namespace linkconfig {

inline constexpr unsigned int kMailboxTimeoutMs = LINKCONFIG_MAILBOX_TIMEOUT_MS;

// Writes the reply to one request (the parsed document, null when there was none or it was
// not JSON). The configuration segment must be attached.
void Serve(json_object *request, cgi::JsonWriter &reply);

}  // namespace linkconfig
