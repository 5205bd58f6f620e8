// Every stored change made through the web, recorded in the change log in one place: the
// programs say which of their requests change what, and how they show what they may change;
// the frame reads that before and after, and records who, from where, each shown key whose
// value changed (old and new, never a secret's value), and the outcome.
#pragma once

#include <json-c/json.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "change_log.h"
#include "json_writer.h"

namespace cgi {

struct ChangeForms {
    // The kind of change a request asks for ("channel", "workmode", "station", "smartbase",
    // "settings", ...), or null when it only reads.
    const char *(*kind)(json_object *request);
    // Writes what the request may change, as the program shows it to a reader.
    void (*write_shown)(json_object *request, JsonWriter &shown);
};

// Serves one request; a change is recorded, with its outcome. A change is refused, and nothing
// stored, when the change log cannot be opened: no change goes unrecorded.
// Only requests of the web server are recorded: a program run directly serves as ever.
void ServeRecorded(json_object *request, JsonWriter &reply, const std::function<void(JsonWriter &)> &serve,
                   const ChangeForms &forms);

// The keys whose values differ between two shown documents, by path ("Messages[2].Interval",
// "Station3.Name"), in the order of the later one; keys only one of them holds count with an
// empty value on the other side. Secret keys ("PWD") are marked so.
std::vector<audit::KeyChange> ShownChanges(const std::string &before, const std::string &after);

// "Success", or the reply's "Res" with its "Error".
std::string Outcome(const std::string &reply);

}  // namespace cgi
