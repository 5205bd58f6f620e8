#include "request.h"

#include <cstring>

namespace rolekind {
namespace {

json_object *Lookup(json_object *document, const char *const *keys, std::size_t count) {
    json_object *node = document;
    for (std::size_t i = 0; i < count && keys[i] != nullptr; ++i) {
        json_object *child = nullptr;
        if (!json_object_is_type(node, json_type_object) || !json_object_object_get_ex(node, keys[i], &child))
            return nullptr;
        node = child;
    }
    return node;
}

// The member's text, with the length of the whole of it: a JSON string may hold a zero byte
// ("\u0000"), and the text up to it is not the whole value.
const char *TextAt(json_object *document, const char *const *keys, std::size_t count, std::size_t *length) {
    json_object *member = Lookup(document, keys, count);
    const char *text = member == nullptr ? nullptr : json_object_get_string(member);
    if (text != nullptr)
        *length = json_object_is_type(member, json_type_string)
                      ? static_cast<std::size_t>(json_object_get_string_len(member))
                      : std::strlen(text);
    return text;
}

}  // namespace

const char *MemberText(json_object *document, MemberPath path) {
    json_object *member = Lookup(document, path.begin(), path.size());
    return member == nullptr ? nullptr : json_object_get_string(member);
}

json_object *MemberObject(json_object *document, MemberPath path) {
    json_object *member = Lookup(document, path.begin(), path.size());
    return json_object_is_type(member, json_type_object) ? member : nullptr;
}

std::string DottedPath(const MemberRule &member) {
    std::string dotted;
    for (const char *key : member.path) {
        if (key == nullptr) break;
        if (!dotted.empty()) dotted += '.';
        dotted += key;
    }
    return dotted;
}

std::string FirstUnsoundMember(json_object *document, std::span<const MemberRule> members) {
    for (const MemberRule &member : members) {
        std::size_t length = 0;
        const char *text = TextAt(document, member.path, std::size(member.path), &length);
        if (text == nullptr) return "missing " + DottedPath(member);
        if (const char *requirement = BrokenRule(member.rule, std::string_view(text, length)))
            return DottedPath(member) + " " + requirement;
    }
    return {};
}

bool AllEmpty(json_object *document, std::span<const MemberRule> members) {
    for (const MemberRule &member : members) {
        std::size_t length = 0;
        if (TextAt(document, member.path, std::size(member.path), &length) == nullptr || length != 0) return false;
    }
    return true;
}

}  // namespace rolekind
