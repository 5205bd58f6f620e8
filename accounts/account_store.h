// The web interface's accounts and sessions, kept as small files in one folder per instance
// (the state folder, outside the pages and the storage that formatting erases):
//   accounts/NAME     one account: its role, its yescrypt hash, and a generation that every
//                     password or role change counts up
//   sessions/HASH     one session, named by the SHA-256 of its token: the user, the account's
//                     generation when it began, when it began; its modification time is the
//                     last activity
// Every file is written whole to a temporary name and renamed over the old one, so a process
// killed at any point leaves the old file or the new one, never a torn one. A session whose
// generation is not its account's any more (password or role changed, account removed and
// made again) is ended at its next use.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace accounts {

enum class Role { Viewer = 0, Operator = 1, Admin = 2 };

const char *RoleName(Role role);
std::optional<Role> ParseRole(std::string_view name);

// GRSHM_STATE_DIR, else the folder the installation was configured with.
std::string StateDir();

struct Account {
    std::string name;
    Role role = Role::Viewer;
    std::string hash;                   // yescrypt, as crypt(3) writes it
    unsigned long long generation = 0;  // counted up by every password or role change
};

// 1 to 32 of a-z, 0-9, ".", "_", "-", starting with a letter or a digit.
bool ValidUserName(std::string_view name);

std::optional<Account> ReadAccount(const std::string &dir, std::string_view name);
// Every account, in name order; none when the folder could not be read whole (when there is no
// folder yet, no accounts).
std::optional<std::vector<Account>> ListAccounts(const std::string &dir);
// Stores the account whole (making the folders when missing). False when it could not.
bool WriteAccount(const std::string &dir, const Account &account);
// Removes the account (its sessions end at their next use, or at a sweep); false when there
// was none.
bool DeleteAccount(const std::string &dir, std::string_view name);

// How long a session lasts: without activity, and at most from its start. From
// GRSHM_SESSION_IDLE and GRSHM_SESSION_LIFETIME (seconds) when set; else 15 minutes and 12 hours.
struct SessionTimes {
    long idle = 15 * 60;
    long lifetime = 12 * 60 * 60;
};
SessionTimes SessionTimesFromEnvironment();

// A session's activity time is written at most once in this many seconds.
inline constexpr long kActivityStep = 60;

// A new token: 128 bits from getrandom, as 32 lowercase hex digits; empty when the system
// gave no random bytes.
std::string NewToken();
// True for text that can be a token at all (32 lowercase hex digits).
bool LooksLikeToken(std::string_view text);

// API tokens (sent as "Authorization: Bearer TOKEN"; kept in the security records by their
// Sha256Hex): kApiTokenPrefix and a NewToken, so that neither passes for the other.
inline constexpr std::string_view kApiTokenPrefix = "grshm_";
// A new API token; empty when the system gave no random bytes.
std::string NewApiToken();
bool LooksLikeApiToken(std::string_view text);

bool CreateSession(const std::string &dir, std::string_view token, const Account &account);

struct SessionCheck {
    enum State { Valid, Missing, Expired } state = Missing;
    std::string user;
    Role role = Role::Viewer;
};
// The session of this token, as of now. An expired or outdated session is removed. With
// activity, a valid session's activity time moves to now (at most once per kActivityStep).
SessionCheck CheckSession(const std::string &dir, std::string_view token, const SessionTimes &times, bool activity);

void EndSession(const std::string &dir, std::string_view token);
// Removes every session that has ended: by time, or because its account changed or is gone.
void SweepSessions(const std::string &dir, const SessionTimes &times);

}  // namespace accounts
