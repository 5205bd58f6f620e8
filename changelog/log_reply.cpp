#include "log_reply.h"

#include <string>

#include "cgi_frame.h"
#include "change_log.h"

namespace changelog {

namespace {

// A text member, when present; false when it is present but not a text.
bool ReadText(json_object *request, const char *key, std::string &value) {
    json_object *member = nullptr;
    if (!json_object_object_get_ex(request, key, &member)) return true;
    if (!json_object_is_type(member, json_type_string)) return false;
    value = json_object_get_string(member);
    return true;
}

// A whole number member from low to high, when present.
bool ReadNumber(json_object *request, const char *key, long long low, long long high, std::int64_t &value) {
    json_object *member = nullptr;
    if (!json_object_object_get_ex(request, key, &member)) return true;
    if (!json_object_is_type(member, json_type_int)) return false;
    const std::int64_t number = json_object_get_int64(member);
    if (number < low || number > high) return false;
    value = number;
    return true;
}

// What is wrong with the request, or an empty text.
std::string ReadFilter(json_object *request, audit::LogFilter &filter) {
    if (request == nullptr) return {};
    if (!json_object_is_type(request, json_type_object)) return "the request must be a JSON object";
    if (!ReadText(request, "User", filter.user)) return "User must be a text";
    if (!ReadText(request, "Kind", filter.kind)) return "Kind must be a text";
    if (!ReadNumber(request, "Before", 1, INT64_MAX, filter.before_id))
        return "Before must be the Id of a record (a whole number from 1)";
    if (!ReadNumber(request, "Limit", 1, kMaxLimit, filter.limit))
        return "Limit must be a whole number from 1 to " + std::to_string(kMaxLimit);
    return {};
}

void WriteMember(cgi::JsonWriter &reply, const char *key, const std::string &value) {
    reply.Key(key);
    reply.String(value);
}

void WriteEntry(cgi::JsonWriter &reply, const audit::LogEntry &entry) {
    reply.BeginObject();
    reply.Key("Id");
    reply.Int(entry.id);
    WriteMember(reply, "Time", audit::UtcText(entry.at_ms));
    WriteMember(reply, "User", entry.user);
    WriteMember(reply, "Client", entry.client);
    WriteMember(reply, "Kind", entry.kind);
    reply.Key("Changes");
    reply.BeginArray();
    for (const audit::KeyChange &change : entry.changes) {
        reply.BeginObject();
        WriteMember(reply, "Key", change.key);
        WriteMember(reply, "Old", change.old_value);
        WriteMember(reply, "New", change.new_value);
        reply.EndObject();
    }
    reply.EndArray();
    WriteMember(reply, "Outcome", entry.outcome);
    reply.EndObject();
}

}  // namespace

void Serve(json_object *request, cgi::JsonWriter &reply) {
    audit::LogFilter filter;
    if (const std::string problem = ReadFilter(request, filter); !problem.empty())
        return cgi::WriteFailed(reply, problem);
    audit::Store store;
    if (!store.Ok()) return cgi::WriteFailed(reply, store.Error());
    reply.BeginObject();
    WriteMember(reply, "Res", "Success");
    reply.Key("Records");
    reply.BeginArray();
    for (const audit::LogEntry &entry : audit::Read(store, filter)) WriteEntry(reply, entry);
    reply.EndArray();
    reply.Key("Kept");
    reply.Int(audit::kKeptRecords);
    reply.EndObject();
}

}  // namespace changelog
