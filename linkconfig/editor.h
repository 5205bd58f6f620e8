// The data channels from the web: read one channel with its revision, or change some of its
// keys when the revision is still current, and announce the change to the receiver.
#pragma once

#include <json-c/json.h>

#include "cgi_frame.h"
#include "strict_request.h"

#ifndef LINKCONFIG_MAILBOX_TIMEOUT_MS
#define LINKCONFIG_MAILBOX_TIMEOUT_MS 10000
#endif

namespace linkconfig {

inline constexpr unsigned int kMailboxTimeoutMs = LINKCONFIG_MAILBOX_TIMEOUT_MS;

// True when the request asks for a change, which is announced to the receiver and so may wait
// on it: it takes the gate's waiting share.
bool WaitsOnReceiver(const cgi::StrictRequest &request);

// Writes the reply to one request, or to {"Describe": true} the channels' rows (docs/settings.md).
// The configuration segment must be attached.
void Serve(const cgi::StrictRequest &request, cgi::JsonWriter &reply);

// For the change log: "channel" for a request that changes a channel (null: a read), and the
// channel it names as a read shows it.
const char *ChangeKind(json_object *request);
void WriteShown(json_object *request, cgi::JsonWriter &shown);

// A read of a channel is a viewer's; a request with any key to change is an operator's.
cgi::Role LeastRole(json_object *request);

}  // namespace linkconfig
