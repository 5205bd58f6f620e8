// The request forms of the work-mode program.
#pragma once

#include <json-c/json.h>

#include <cstddef>

#include "cgi_frame.h"
#include "json_writer.h"

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

namespace detail {
// Selectors are member names or enumerators.
constexpr bool SameSelector(const char *a, const char *b) {
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}
template <typename Selector>
constexpr bool SameSelector(Selector a, Selector b) {
    return a == b;
}
constexpr bool HasSelector(const char *selector) {
    return selector != nullptr;
}
template <typename Selector>
constexpr bool HasSelector(Selector /*selector*/) {
    return true;
}
}  // namespace detail

// A form table (rows of selector, value, required members, handler) is complete when every
// row has a selector and a handler, and every selector ends with its row for any other value
// (value null), so that every request that names a selector finds a row and none is
// unreachable behind a catch-all.
template <typename Row, std::size_t N>
constexpr bool FormTableComplete(const Row (&rows)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (!detail::HasSelector(rows[i].selector) || rows[i].serve == nullptr) return false;
        bool ends_with_catch_all = false;
        for (std::size_t j = i; j < N; ++j) {
            if (!detail::SameSelector(rows[j].selector, rows[i].selector)) continue;
            if (ends_with_catch_all) return false;  // a row behind the catch-all
            ends_with_catch_all = rows[j].value == nullptr;
        }
        if (!ends_with_catch_all) return false;
    }
    return true;
}

// True when the request picks a form that posts an operation and so may wait on the receiver
// (a position query, a base start or stop, any change): it takes the gate's waiting share.
bool WaitsOnReceiver(json_object *request);

// The status report (a request that picks no form) is a viewer's; every form is an operator's.
cgi::Role LeastRole(json_object *request);

// The describe rows of every value a form takes, for pages that build their inputs from them:
// "Modes" (the status report's work modes by value) and "Keys", one row per member a form
// checks, with "Form" (its selector and the value that picks it), "Key" (the member's dotted
// path), the rule as the settings rows give theirs, and "Error", the text of a refusal.
void DescribeForms(cgi::JsonWriter &writer);

// Serves one request (the segments must be attached) and writes its reply.
void ServeRequest(json_object *request, cgi::JsonWriter &reply);

// For the change log: the kind of change a request asks for (null: it only reads), and the
// status report, which shows everything a request may change.
const char *ChangeKind(json_object *request);
void WriteShown(json_object *request, cgi::JsonWriter &shown);

}  // namespace rolekind
