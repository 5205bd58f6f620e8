#include "change_record.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "cgi_frame.h"

namespace cgi {

namespace {

// Keys that hold a secret: logged as changed, never with their values.
constexpr std::string_view kSecretKeys[] = {"PWD", "Password"};
// Keys that are not settings: a read's revision follows every change.
constexpr std::string_view kIgnoredKeys[] = {"Revision", "Res"};

template <std::size_t N>
bool IsOneOf(std::string_view key, const std::string_view (&keys)[N]) {
    return std::ranges::any_of(keys, [key](std::string_view one) { return key == one; });
}

using Flat = std::vector<std::pair<std::string, std::string>>;  // path, value text (in order)

void Flatten(json_object *value, const std::string &path, Flat &flat) {
    if (json_object_is_type(value, json_type_object)) {
        json_object_object_foreach(value, key, member) {
            if (path.empty() && IsOneOf(key, kIgnoredKeys)) continue;
            Flatten(member, path.empty() ? key : path + "." + key, flat);
        }
    } else if (json_object_is_type(value, json_type_array)) {
        for (std::size_t i = 0; i < json_object_array_length(value); ++i)
            Flatten(json_object_array_get_idx(value, i), path + "[" + std::to_string(i) + "]", flat);
    } else {
        flat.emplace_back(path, value == nullptr ? "null" : json_object_get_string(value));
    }
}

Flat FlattenText(const std::string &text) {
    Flat flat;
    const JsonPtr document{json_tokener_parse(text.c_str())};
    if (document) Flatten(document.get(), "", flat);
    return flat;
}

std::string LastKey(const std::string &path) {
    const std::size_t dot = path.find_last_of('.');
    std::string key = dot == std::string::npos ? path : path.substr(dot + 1);
    return key.substr(0, key.find('['));
}

std::string Shown(json_object *request, const ChangeForms &forms) {
    JsonWriter shown;
    forms.write_shown(request, shown);
    return std::string(shown.Text());
}

std::string Environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::vector<audit::KeyChange> ShownChanges(const std::string &before, const std::string &after) {
    const Flat old_values = FlattenText(before);
    const Flat new_values = FlattenText(after);
    std::map<std::string, std::string> old_by_path(old_values.begin(), old_values.end());
    std::vector<audit::KeyChange> changes;
    for (const auto &[path, value] : new_values) {
        std::string old_text;
        if (const auto old_value = old_by_path.find(path); old_value != old_by_path.end()) {
            old_text = old_value->second;
            old_by_path.erase(old_value);
        }
        if (old_text != value) changes.push_back({path, old_text, value, IsOneOf(LastKey(path), kSecretKeys)});
    }
    for (const auto &[path, value] : old_values)  // no longer shown
        if (old_by_path.contains(path) && !value.empty())
            changes.push_back({path, value, "", IsOneOf(LastKey(path), kSecretKeys)});
    return changes;
}

std::string Outcome(const std::string &reply) {
    const JsonPtr document{json_tokener_parse(reply.c_str())};
    json_object *res = nullptr;
    if (!document || !json_object_object_get_ex(document.get(), "Res", &res)) return "Success";
    std::string outcome = json_object_get_string(res);
    json_object *error = nullptr;
    if (json_object_object_get_ex(document.get(), "Error", &error))
        outcome += std::string(": ") + json_object_get_string(error);
    return outcome;
}

void ServeRecorded(json_object *request, JsonWriter &reply, const std::function<void(JsonWriter &)> &serve,
                   const ChangeForms &forms) {
    const char *kind = forms.kind(request);
    if (kind == nullptr || std::getenv("GATEWAY_INTERFACE") == nullptr) return serve(reply);
    audit::Store store;
    if (!store.Ok()) return WriteFailed(reply, "nothing was changed: " + store.Error());
    const std::string before = Shown(request, forms);
    serve(reply);
    const std::string after = Shown(request, forms);
    const audit::LogEntry entry{0,
                                0,
                                AdmittedCaller().user,
                                Environment("REMOTE_ADDR"),
                                kind,
                                ShownChanges(before, after),
                                Outcome(std::string(reply.Text()))};
    if (!audit::Append(store, entry))
        std::fprintf(stderr, "the change log was not written: %s\n", store.Error().c_str());
}

}  // namespace cgi
