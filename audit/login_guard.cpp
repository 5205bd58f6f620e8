#include "login_guard.h"

#include <algorithm>
#include <utility>

#include "change_log.h"

namespace audit {

namespace {

std::int64_t WholeSecondsUntil(std::int64_t until_ms, std::int64_t now_ms) {
    return std::max<std::int64_t>(1, (until_ms - now_ms + 999) / 1000);
}

// When the address may try again, or 0.
std::int64_t AddressWaitUntil(Store &store, std::string_view address, std::int64_t now_ms) {
    Statement select(store.Db(), "SELECT wait_until FROM address_failures WHERE address = ? AND last_failure > ?");
    select.Bind(1, address).Bind(2, now_ms - kAddressMemoryMs);
    return select.Step() == SQLITE_ROW ? select.Int(0) : 0;
}

// When the account's hourly bound lets a try through again (the moment the oldest of the last
// kAccountFailuresPerHour failures leaves the hour), or 0 when it is under the bound.
std::int64_t AccountWaitUntil(Store &store, std::string_view user, std::int64_t now_ms) {
    Statement select(store.Db(),
                     "SELECT at FROM account_failures WHERE user = ? AND at > ? ORDER BY at DESC LIMIT 1 OFFSET ?");
    select.Bind(1, user).Bind(2, now_ms - kHourMs).Bind(3, kAccountFailuresPerHour - 1);
    return select.Step() == SQLITE_ROW ? select.Int(0) + kHourMs : 0;
}

std::int64_t AccountFailures(Store &store, std::string_view user, std::int64_t now_ms) {
    Statement count(store.Db(), "SELECT count(*) FROM account_failures WHERE user = ? AND at > ?");
    count.Bind(1, user).Bind(2, now_ms - kHourMs);
    return count.Step() == SQLITE_ROW ? count.Int(0) : 0;
}

// The address's next state after one more failure: consecutive failures, and the wait that
// follows (none for the first kFreeFailures - 1, then 1 s, doubling, at most 15 minutes).
bool CountAddressFailure(Store &store, std::string_view address, std::int64_t now_ms, bool *began_waits) {
    Statement select(store.Db(),
                     "SELECT consecutive, last_wait_ms FROM address_failures WHERE address = ? AND last_failure > ?");
    select.Bind(1, address).Bind(2, now_ms - kAddressMemoryMs);
    std::int64_t consecutive = 0;
    std::int64_t last_wait = 0;
    if (select.Step() == SQLITE_ROW) {
        consecutive = select.Int(0);
        last_wait = select.Int(1);
    }
    ++consecutive;
    std::int64_t wait = 0;
    if (consecutive >= kFreeFailures) wait = last_wait == 0 ? kFirstWaitMs : std::min(2 * last_wait, kLongestWaitMs);
    *began_waits = consecutive == kFreeFailures;
    Statement upsert(store.Db(),
                     "INSERT OR REPLACE INTO address_failures(address, consecutive, last_wait_ms, wait_until, "
                     "last_failure) VALUES(?,?,?,?,?)");
    upsert.Bind(1, address).Bind(2, consecutive).Bind(3, wait).Bind(4, now_ms + wait).Bind(5, now_ms);
    return upsert.Step() == SQLITE_DONE;
}

// What is no longer counted goes, so that the tables stay small whatever a guesser sends.
bool ForgetOldFailures(Store &store, std::int64_t now_ms) {
    Statement accounts(store.Db(), "DELETE FROM account_failures WHERE at <= ?");
    accounts.Bind(1, now_ms - kHourMs);
    Statement addresses(store.Db(), "DELETE FROM address_failures WHERE last_failure <= ?");
    addresses.Bind(1, now_ms - kAddressMemoryMs);
    return accounts.Step() == SQLITE_DONE && addresses.Step() == SQLITE_DONE;
}

}  // namespace

Admission Admit(Store &store, std::string_view address, std::string_view user, std::int64_t now_ms) {
    Admission admission;
    if (!store.Ok()) {
        admission = {false, 1, false, true};
        return admission;
    }
    const std::int64_t address_until = AddressWaitUntil(store, address, now_ms);
    const std::int64_t account_until = AccountWaitUntil(store, user, now_ms);
    if (address_until > now_ms) {
        admission.allowed = false;
        admission.retry_after_s = WholeSecondsUntil(address_until, now_ms);
    }
    if (account_until > now_ms && account_until > address_until) {
        admission.allowed = false;
        admission.account_locked = true;
        admission.retry_after_s = WholeSecondsUntil(account_until, now_ms);
    }
    return admission;
}

FailureOutcome RecordFailure(Store &store, std::string_view address, std::string_view user, std::int64_t now_ms) {
    FailureOutcome outcome;
    if (!store.Ok()) return outcome;
    Store::Transaction transaction(store);
    if (!transaction.Open() || !ForgetOldFailures(store, now_ms)) return outcome;
    if (!CountAddressFailure(store, address, now_ms, &outcome.address_locked)) return outcome;
    Statement insert(store.Db(), "INSERT INTO account_failures(user, at) VALUES(?,?)");
    insert.Bind(1, user).Bind(2, now_ms);
    if (insert.Step() != SQLITE_DONE) return outcome;
    outcome.account_locked = AccountFailures(store, user, now_ms) == kAccountFailuresPerHour;
    outcome.recorded = transaction.Commit();
    return outcome;
}

bool RecordSuccess(Store &store, std::string_view address) {
    Statement forget(store.Db(), "DELETE FROM address_failures WHERE address = ?");
    forget.Bind(1, address);
    return store.Ok() && forget.Step() == SQLITE_DONE;
}

bool Unlock(Store &store, std::string_view user) {
    Statement forget(store.Db(), "DELETE FROM account_failures WHERE user = ?");
    forget.Bind(1, user);
    return store.Ok() && forget.Step() == SQLITE_DONE;
}

namespace {

void Record(Store &store, std::string_view address, std::string_view user, const char *kind, std::string outcome) {
    Append(store, {0, 0, std::string(user), std::string(address), kind, {}, std::move(outcome)});
}

}  // namespace

GuardedLogin GuardLogin(Store &store, std::string_view address, std::string_view user,
                        bool (*check_password)(void *context), void *context) {
    const std::int64_t now = NowMs();
    const Admission admission = Admit(store, address, user, now);
    if (admission.store_failed) return {LoginVerdict::Unavailable, 0};
    if (!admission.allowed) return {LoginVerdict::Wait, admission.retry_after_s};
    if (check_password(context)) {
        RecordSuccess(store, address);
        Record(store, address, user, "login", "Success");
        return {LoginVerdict::Accepted, 0};
    }
    const FailureOutcome failure = RecordFailure(store, address, user, now);
    Record(store, address, user, "failure", "wrong user name or password");
    if (failure.address_locked)
        Record(store, address, user, "lockout", "this address waits before each further try, from 1 s to 15 min");
    if (failure.account_locked)
        Record(store, address, user, "lockout", "100 failures in an hour: the account's password logins wait");
    return {failure.recorded ? LoginVerdict::Refused : LoginVerdict::Unavailable, 0};
}

}  // namespace audit
