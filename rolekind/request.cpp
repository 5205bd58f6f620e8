#include "request.h"

#include <cstring>
#include <iterator>

namespace rolekind {
namespace {

// Where each member is in the request document: the keys from the top level down.
struct MemberPlace {
    Member member;
    const char *path[4];  // unused trailing keys are null
};

constexpr MemberPlace kPlaces[] = {
    {Member::Key, {"Key"}},
    {Member::Modify, {"Modify"}},
    {Member::Mode, {"Mode"}},
    {Member::StationId, {"Station", "ID"}},
    {Member::LongitudeDegrees, {"Station", "Coordinate", "Longitude", "DEG"}},
    {Member::LongitudeMinutes, {"Station", "Coordinate", "Longitude", "MIN"}},
    {Member::LongitudeSeconds, {"Station", "Coordinate", "Longitude", "SEC"}},
    {Member::LongitudeHemisphere, {"Station", "Coordinate", "Longitude", "HEM"}},
    {Member::LatitudeDegrees, {"Station", "Coordinate", "Latitude", "DEG"}},
    {Member::LatitudeMinutes, {"Station", "Coordinate", "Latitude", "MIN"}},
    {Member::LatitudeSeconds, {"Station", "Coordinate", "Latitude", "SEC"}},
    {Member::LatitudeHemisphere, {"Station", "Coordinate", "Latitude", "HEM"}},
    {Member::Height, {"Station", "Height"}},
    {Member::Identifier, {"ID"}},
    {Member::RoverPps, {"Rover", "PPS"}},
    {Member::RoverEvent, {"Rover", "EVENT"}},
    {Member::SinglePointPps, {"SinglePoint", "PPS"}},
    {Member::SinglePointEvent, {"SinglePoint", "EVENT"}},
};

constexpr bool PlacesInOrder() {
    if (std::size(kPlaces) != kMemberCount) return false;
    for (std::size_t i = 0; i < std::size(kPlaces); ++i)
        if (static_cast<std::size_t>(kPlaces[i].member) != i) return false;
    return true;
}
static_assert(PlacesInOrder(), "one place per member, in the order of the enumeration");

const MemberPlace &PlaceOf(Member member) {
    return kPlaces[static_cast<std::size_t>(member)];
}

json_object *Lookup(json_object *document, const char *const (&keys)[4]) {
    json_object *node = document;
    for (const char *key : keys) {
        if (key == nullptr) break;
        json_object *child = nullptr;
        if (!json_object_is_type(node, json_type_object) || !json_object_object_get_ex(node, key, &child))
            return nullptr;
        node = child;
    }
    return node;
}

}  // namespace

MemberValue ReadMember(json_object *document, Member member) {
    json_object *node = Lookup(document, PlaceOf(member).path);
    MemberValue value;
    value.text = node == nullptr ? nullptr : json_object_get_string(node);
    if (value.text != nullptr)
        value.length = json_object_is_type(node, json_type_string)
                           ? static_cast<std::size_t>(json_object_get_string_len(node))
                           : std::strlen(value.text);
    return value;
}

std::string DottedPath(Member member) {
    std::string dotted;
    for (const char *key : PlaceOf(member).path) {
        if (key == nullptr) break;
        if (!dotted.empty()) dotted += '.';
        dotted += key;
    }
    return dotted;
}

std::string CheckedRequest::Check(json_object *document, std::span<const MemberRule> members, bool may_be_empty) {
    bool all_empty = may_be_empty;
    for (const MemberRule &rule : members) {
        MemberValue &value = values_[static_cast<std::size_t>(rule.member)];
        value = ReadMember(document, rule.member);
        all_empty = all_empty && value.text != nullptr && value.length == 0;
    }
    if (all_empty) return {};  // taken as they are: empty texts, numbers 0
    for (const MemberRule &rule : members) {
        MemberValue &value = values_[static_cast<std::size_t>(rule.member)];
        if (value.text == nullptr) return "missing " + DottedPath(rule.member);
        if (const char *requirement = BrokenRule(rule.rule, std::string_view(value.text, value.length)))
            return DottedPath(rule.member) + " " + requirement;
        value.number = NumberValue(rule.rule, value.text);
    }
    return {};
}

}  // namespace rolekind
