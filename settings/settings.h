// The settings program: the rows of every group ({"Describe": true}), a group's values with
// their revision ({"Group": NAME}), and a change of any of a group's keys with the revision
// read ({"Group": NAME, "Revision": R, "Values": {...}}), stored in one hold of the lock across
// the group's entries and announced with one operation per entry whose bytes changed.
#pragma once

#include <json-c/json.h>

#include "cgi_frame.h"
#include "strict_request.h"

#ifndef SETTINGS_MAILBOX_TIMEOUT_MS
#define SETTINGS_MAILBOX_TIMEOUT_MS 10000
#endif

namespace settings {

inline constexpr unsigned int kMailboxTimeoutMs = SETTINGS_MAILBOX_TIMEOUT_MS;

// The reply to one request (docs/settings.md). The segments must be attached.
void Serve(const cgi::StrictRequest &request, cgi::JsonWriter &reply);

// True for a change, which waits on the receiver: it takes the gate's waiting share.
bool WaitsOnReceiver(const cgi::StrictRequest &request);

// The least role that may ask it: a viewer's for a read, the group's own for a change.
cgi::Role LeastRole(json_object *request);

// For the change log: "settings" for a change, "maintenance" for an action (null: a read), and the group as a read
// shows it.
const char *ChangeKind(json_object *request);
void WriteShown(json_object *request, cgi::JsonWriter &shown);

}  // namespace settings
