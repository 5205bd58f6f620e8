// The change log: who changed what on the receiver, and when; and each login, failed login,
// lock-out and logout. Bounded: the last kKeptRecords changes and, apart from them, the last
// kKeptRecords session events, the oldest dropped first (a guesser's failures never push the
// changes out).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store.h"

namespace audit {

inline constexpr std::int64_t kKeptRecords = 10000;

// What a record is about. Session events: "login", "failure", "lockout", "logout". Changes:
// "channel", "workmode", "station", "smartbase", "settings", "account".
bool IsSessionKind(std::string_view kind);

// One key of a change. A secret (a password, a token) is logged only as changed: its values
// never reach the log.
struct KeyChange {
    std::string key;
    std::string old_value;
    std::string new_value;
    bool secret = false;
};

struct LogEntry {
    std::int64_t id = 0;
    std::int64_t at_ms = 0;  // UTC
    std::string user;
    std::string client;  // the client's address
    std::string kind;
    std::vector<KeyChange> changes;
    std::string outcome;  // "Success", or what went wrong
};

// The text a secret value is logged as, old and new.
inline constexpr const char *kSecretText = "(secret)";

// Appends one record (its id and time are set here) and drops the oldest beyond the bound, in
// one transaction. False (and store.Error()) when it could not be written.
bool Append(Store &store, const LogEntry &entry);

struct LogFilter {
    std::string user;            // empty: every user
    std::string kind;            // empty: every kind
    std::int64_t before_id = 0;  // 0: from the newest; else only older records (the next page)
    std::int64_t limit = 100;
};

// Newest first.
std::vector<LogEntry> Read(Store &store, const LogFilter &filter);

// "2026-12-09T05:46:07.123Z"
std::string UtcText(std::int64_t at_ms);

}  // namespace audit
