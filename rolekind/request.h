// Reading a request once: every member a form reads is looked up, checked against its rule and
// kept as a checked value; the handlers read only those values, never the document.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <span>
#include <string>

#include "value_rules.h"

namespace rolekind {

// Every member that a request form reads (its place in the document is in request.cpp).
enum class Member : unsigned char {
    Key,     // "Key"
    Modify,  // "Modify"
    Mode,    // "Mode"
    StationId,
    LongitudeDegrees,
    LongitudeMinutes,
    LongitudeSeconds,
    LongitudeHemisphere,
    LatitudeDegrees,
    LatitudeMinutes,
    LatitudeSeconds,
    LatitudeHemisphere,
    Height,      // "Station"."Height"
    Identifier,  // the top-level "ID"
    RoverPps,
    RoverEvent,
    SinglePointPps,
    SinglePointEvent,
};
inline constexpr std::size_t kMemberCount = static_cast<std::size_t>(Member::SinglePointEvent) + 1;

// A member's value: its text (json-c's text form, so "Key": 1 and "Key": "1" are the same; null
// when the member is absent) and, under a number rule, the number it says.
struct MemberValue {
    const char *text = nullptr;
    std::size_t length = 0;  // a JSON string may hold a zero byte: the text may go on past it
    double number = 0;
};

// The member's value as text (absent: a missing document, a missing key, a JSON null, or a step
// of the path that is not an object), with no rule checked.
MemberValue ReadMember(json_object *document, Member member);

// A member a form reads and the rule its value keeps.
struct MemberRule {
    Member member;
    ValueRule rule;
};

// The checked values of one request, one slot per member; the slots of members that no chosen
// form reads stay empty. The texts are the document's own: it must outlive them.
class CheckedRequest {
 public:
    const MemberValue &operator[](Member member) const { return values_[static_cast<std::size_t>(member)]; }
    const char *Text(Member member) const { return (*this)[member].text; }
    double Number(Member member) const { return (*this)[member].number; }

    // Reads the members and checks each against its rule. Returns what is wrong with the first
    // member that is absent ("missing Station.Height") or breaks its rule ("Station.Height must
    // be -1000 to 10000"), or an empty string when all are sound. With may_be_empty, members
    // that are all there with empty texts are taken as they are.
    std::string Check(json_object *document, std::span<const MemberRule> members, bool may_be_empty = false);

 private:
    MemberValue values_[kMemberCount];
};

// The dotted path of a member ("Station.Height").
std::string DottedPath(Member member);

}  // namespace rolekind
