// Reading the members of a request document.
#pragma once

#include <json-c/json.h>

#include <initializer_list>
#include <span>
#include <string>

#include "value_rules.h"

namespace rolekind {

// A member's place in the request: the keys from the top level down, e.g.
// {"Station", "Coordinate", "Latitude", "DEG"}.
using MemberPath = std::initializer_list<const char *>;

// The member's value as text (json-c's text form, so "Key": 1 and "Key": "1" are the same),
// or null when it is absent (a missing document, a missing key, a JSON null, or a step of
// the path that is not an object).
const char *MemberText(json_object *document, MemberPath path);

// The member's object (for passing a sub-document along), or null.
json_object *MemberObject(json_object *document, MemberPath path);

// A member a request form reads, declared as data: where it is and the rule its value keeps.
struct MemberRule {
    const char *path[4];  // unused trailing keys are null
    ValueRule rule;
};

// The dotted path of a member ("Station.Height").
std::string DottedPath(const MemberRule &member);

// What is wrong with the first member that is absent ("missing Station.Height") or breaks its
// rule ("Station.Height must be -1000 to 10000"), or an empty string when all are sound.
std::string FirstUnsoundMember(json_object *document, std::span<const MemberRule> members);

// Whether every one of the members is there with an empty text.
bool AllEmpty(json_object *document, std::span<const MemberRule> members);

}  // namespace rolekind
