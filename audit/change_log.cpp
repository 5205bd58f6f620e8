#include "change_log.h"

#include <json-c/json.h>

#include <array>
#include <ctime>
#include <memory>
#include <string_view>

namespace audit {

namespace {

struct JsonPut {
    void operator()(json_object *object) const { json_object_put(object); }
};
using Json = std::unique_ptr<json_object, JsonPut>;

std::string ChangesText(const std::vector<KeyChange> &changes) {
    const Json array{json_object_new_array()};
    for (const KeyChange &change : changes) {
        json_object *item = json_object_new_object();
        json_object_object_add(item, "Key", json_object_new_string(change.key.c_str()));
        json_object_object_add(item, "Old",
                               json_object_new_string(change.secret ? kSecretText : change.old_value.c_str()));
        json_object_object_add(item, "New",
                               json_object_new_string(change.secret ? kSecretText : change.new_value.c_str()));
        json_object_array_add(array.get(), item);
    }
    return json_object_to_json_string_ext(array.get(), JSON_C_TO_STRING_PLAIN);
}

std::string MemberText(json_object *item, const char *key) {
    json_object *member = nullptr;
    return json_object_object_get_ex(item, key, &member) ? json_object_get_string(member) : "";
}

std::vector<KeyChange> ChangesOf(const std::string &text) {
    std::vector<KeyChange> changes;
    const Json array{json_tokener_parse(text.c_str())};
    if (!array || !json_object_is_type(array.get(), json_type_array)) return changes;
    for (std::size_t i = 0; i < json_object_array_length(array.get()); ++i) {
        json_object *item = json_object_array_get_idx(array.get(), i);
        changes.push_back({MemberText(item, "Key"), MemberText(item, "Old"), MemberText(item, "New"), false});
    }
    return changes;
}

}  // namespace

bool IsSessionKind(std::string_view kind) {
    return kind == "login" || kind == "failure" || kind == "lockout" || kind == "logout";
}

bool Append(Store &store, const LogEntry &entry) {
    Store::Transaction transaction(store);
    if (!transaction.Open()) return false;
    const std::int64_t session = IsSessionKind(entry.kind) ? 1 : 0;
    Statement insert(store.Db(),
                     "INSERT INTO log(at, user, client, kind, session, changes, outcome) VALUES(?,?,?,?,?,?,?)");
    insert.Bind(1, NowMs()).Bind(2, entry.user).Bind(3, entry.client).Bind(4, entry.kind).Bind(5, session);
    insert.Bind(6, ChangesText(entry.changes)).Bind(7, entry.outcome);
    if (insert.Step() != SQLITE_DONE) return false;
    // The oldest of its class beyond the bound go (at most one at a time, once it is full).
    Statement drop(store.Db(),
                   "DELETE FROM log WHERE session = ?1 AND id <= "
                   "(SELECT id FROM log WHERE session = ?1 ORDER BY id DESC LIMIT 1 OFFSET ?2)");
    drop.Bind(1, session).Bind(2, kKeptRecords);
    if (drop.Step() != SQLITE_DONE) return false;
    return transaction.Commit();
}

std::vector<LogEntry> Read(Store &store, const LogFilter &filter) {
    Statement select(store.Db(),
                     "SELECT id, at, user, client, kind, changes, outcome FROM log "
                     "WHERE (?1 = '' OR user = ?1) AND (?2 = '' OR kind = ?2) AND (?3 = 0 OR id < ?3) "
                     "ORDER BY id DESC LIMIT ?4");
    select.Bind(1, filter.user).Bind(2, filter.kind).Bind(3, filter.before_id).Bind(4, filter.limit);
    std::vector<LogEntry> entries;
    while (select.Step() == SQLITE_ROW)
        entries.push_back({select.Int(0), select.Int(1), select.Text(2), select.Text(3), select.Text(4),
                           ChangesOf(select.Text(5)), select.Text(6)});
    return entries;
}

std::string UtcText(std::int64_t at_ms) {
    const std::time_t seconds = static_cast<std::time_t>(at_ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::array<char, 40> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text.data() + length, text.size() - length, ".%03dZ", static_cast<int>(at_ms % 1000));
    return text.data();
}

}  // namespace audit
