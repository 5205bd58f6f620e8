// The lock-out counters of password logins, kept in the store so that every login process
// shares them and a killed one loses none. Nothing waits here: a login that must wait is
// answered at once (429 with Retry-After), so guessers never hold the web server's places.
//  - Per client address: after kFreeFailures consecutive failures, each further try waits
//    twice as long as the last, from 1 s up to 15 minutes; a success resets the address.
//  - Per account, from all addresses together: at most kAccountFailuresPerHour failures in
//    any hour; past that its password logins wait (sessions and tokens keep working) until the
//    hour has moved on or an administrator unlocks it. Unknown user names count the same, so
//    that the replies tell nobody which accounts exist.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store.h"

namespace audit {

inline constexpr int kFreeFailures = 5;
inline constexpr std::int64_t kFirstWaitMs = 1000;
inline constexpr std::int64_t kLongestWaitMs = 15 * 60 * 1000;
inline constexpr int kAccountFailuresPerHour = 100;
inline constexpr std::int64_t kHourMs = 60 * 60 * 1000;
// An address that has not failed for this long starts afresh.
inline constexpr std::int64_t kAddressMemoryMs = 24 * kHourMs;

struct Admission {
    bool allowed = true;
    std::int64_t retry_after_s = 0;  // when not allowed: whole seconds, at least 1
    bool account_locked = false;     // not allowed because of the account rather than the address
    bool store_failed = false;       // the counters could not be read: refused, to be safe
};

// Whether a password login from this address for this user may be tried now.
Admission Admit(Store &store, std::string_view address, std::string_view user, std::int64_t now_ms);

struct FailureOutcome {
    bool recorded = false;
    bool address_locked = false;  // this failure began the address's waits
    bool account_locked = false;  // this failure reached the account's hourly bound
};

// Counts one failed password login, atomically beside concurrent logins.
FailureOutcome RecordFailure(Store &store, std::string_view address, std::string_view user, std::int64_t now_ms);

// A successful login: the address starts afresh. (The account's hourly count stays: a success
// elsewhere must not give a guesser a new hour.)
bool RecordSuccess(Store &store, std::string_view address);

// Clears an account's failures (grshm-user unlock).
bool Unlock(Store &store, std::string_view user);

enum class LoginVerdict { Accepted, Refused, Wait, Unavailable };

struct GuardedLogin {
    LoginVerdict verdict = LoginVerdict::Unavailable;
    std::int64_t retry_after_s = 0;  // for Wait: the reply's Retry-After
};

// One password login under the guard, and its records in the change log: a try that must wait
// is answered at once (the password is not even checked); otherwise check_password decides (it
// must take as long for an unknown user as for a wrong password), the counters are updated and
// the login, the failure and any lock-out it begins are recorded.
GuardedLogin GuardLogin(Store &store, std::string_view address, std::string_view user,
                        bool (*check_password)(void *context), void *context);

}  // namespace audit
