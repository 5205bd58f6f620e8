// Reading the members of a request document.
#pragma once

#include <json-c/json.h>

#include <initializer_list>
#include <span>
#include <string>

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

// A request form's required members, declared as data.
struct RequiredMember {
    const char *path[4];  // unused trailing keys are null
};

// The dotted path of the first required member that is absent ("Station.Height"), or an
// empty string when all are there.
std::string FirstMissingMember(json_object *document, std::span<const RequiredMember> members);

}  // namespace rolekind
