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

}  // namespace

const char *MemberText(json_object *document, MemberPath path) {
    json_object *member = Lookup(document, path.begin(), path.size());
    return member == nullptr ? nullptr : json_object_get_string(member);
}

json_object *MemberObject(json_object *document, MemberPath path) {
    json_object *member = Lookup(document, path.begin(), path.size());
    return json_object_is_type(member, json_type_object) ? member : nullptr;
}

std::string FirstMissingMember(json_object *document, std::span<const RequiredMember> members) {
    for (const RequiredMember &member : members) {
        const std::size_t count = std::size(member.path);
        json_object *value = Lookup(document, member.path, count);
        if (value != nullptr && json_object_get_string(value) != nullptr) continue;
        std::string dotted;
        for (const char *key : member.path) {
            if (key == nullptr) break;
            if (!dotted.empty()) dotted += '.';
            dotted += key;
        }
        return dotted;
    }
    return {};
}

}  // namespace rolekind
