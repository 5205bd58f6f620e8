// The security records: the change log and the lock-out counters, with real concurrent
// processes and processes killed while they write.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "api_tokens.h"
#include "change_log.h"
#include "login_guard.h"
#include "process.h"

using namespace testsupport;

namespace {

// A state folder of the test's own, removed afterwards.
class StateFolder : public testing::Test {
 protected:
    void SetUp() override {
        char name[] = "/tmp/grshm-audit-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { (void)!std::system(("rm -rf " + dir_).c_str()); }
    std::string dir_;
};

audit::LogEntry Change(const std::string &user, const std::string &kind, const std::string &key = "MountPoint") {
    return {0, 0, user, "192.0.2.7", kind, {{key, "BASE01", "BASE02", false}}, "Success"};
}

std::string FileText(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::int64_t Count(audit::Store &store, const char *sql) {
    audit::Statement count(store.Db(), sql);
    return count.Step() == SQLITE_ROW ? count.Int(0) : -1;
}

using ChangeLog = StateFolder;
using LoginGuard = StateFolder;
using ApiTokens = StateFolder;

}  // namespace

TEST_F(ChangeLog, ReadsNewestFirstFilteredByUserAndKind) {
    audit::Store store(dir_);
    ASSERT_TRUE(store.Ok()) << store.Error();
    for (const auto &[user, kind] : std::vector<std::pair<const char *, const char *>>{
             {"ann", "channel"}, {"bob", "login"}, {"ann", "station"}, {"bob", "channel"}, {"ann", "channel"}})
        ASSERT_TRUE(audit::Append(store, Change(user, kind))) << store.Error();
    struct Row {
        audit::LogFilter filter;
        std::vector<std::int64_t> ids;
    };
    for (const Row &row : std::vector<Row>{{{"", "", 0, 100}, {5, 4, 3, 2, 1}},
                                           {{"ann", "", 0, 100}, {5, 3, 1}},
                                           {{"", "channel", 0, 100}, {5, 4, 1}},
                                           {{"ann", "channel", 0, 100}, {5, 1}},
                                           {{"", "", 4, 2}, {3, 2}},
                                           {{"carl", "", 0, 100}, {}}}) {
        std::vector<std::int64_t> ids;
        for (const audit::LogEntry &entry : audit::Read(store, row.filter)) ids.push_back(entry.id);
        EXPECT_EQ(ids, row.ids) << row.filter.user << "/" << row.filter.kind << "/" << row.filter.before_id;
    }
    const audit::LogEntry newest = audit::Read(store, {"", "", 0, 1}).at(0);
    EXPECT_EQ(newest.client, "192.0.2.7");
    ASSERT_EQ(newest.changes.size(), 1U);
    EXPECT_EQ(newest.changes[0].key + " " + newest.changes[0].old_value + " " + newest.changes[0].new_value,
              "MountPoint BASE01 BASE02");
    EXPECT_LE(std::llabs(newest.at_ms - audit::NowMs()), 5000);
    EXPECT_EQ(audit::UtcText(1796795167123), "2026-12-09T05:46:07.123Z");
}

TEST_F(ChangeLog, KeepsTheLastTenThousandChangesAndApartTheLastTenThousandSessionEvents) {
    audit::Store store(dir_);
    ASSERT_TRUE(store.Ok());
    for (int i = 0; i < audit::kKeptRecords + 30; ++i) ASSERT_TRUE(audit::Append(store, Change("ann", "channel")));
    // A guesser's failures drop older failures, never the changes.
    for (int i = 0; i < audit::kKeptRecords + 70; ++i) ASSERT_TRUE(audit::Append(store, Change("x", "failure")));
    EXPECT_EQ(Count(store, "SELECT count(*) FROM log WHERE session = 0"), audit::kKeptRecords);
    EXPECT_EQ(Count(store, "SELECT min(id) FROM log WHERE session = 0"), 31);
    EXPECT_EQ(Count(store, "SELECT count(*) FROM log WHERE session = 1"), audit::kKeptRecords);
    EXPECT_EQ(Count(store, "SELECT min(id) FROM log WHERE session = 1"), audit::kKeptRecords + 30 + 71);
}

TEST_F(ChangeLog, SecretValuesReachNeitherTheReplyNorTheFiles) {
    {
        audit::Store store(dir_);
        ASSERT_TRUE(audit::Append(
            store, {0,
                    0,
                    "ann",
                    "192.0.2.7",
                    "channel",
                    {{"PWD", "Old-secret-1", "New-secret-2", true}, {"MountPoint", "BASE01", "BASE02", false}},
                    "Success"}));
        const audit::LogEntry entry = audit::Read(store, {}).at(0);
        EXPECT_EQ(entry.changes.at(0).old_value + " " + entry.changes.at(0).new_value, "(secret) (secret)");
        EXPECT_EQ(entry.changes.at(1).new_value, "BASE02");
        // Still open: the record may sit in the write-ahead log only.
        const std::string files = FileText(audit::StorePath(dir_)) + FileText(audit::StorePath(dir_) + "-wal");
        EXPECT_NE(files.find("BASE02"), std::string::npos);
        EXPECT_EQ(files.find("secret-"), std::string::npos);
    }
}

// Each writer appends records numbered by itself; every one must be there once, whole.
TEST_F(ChangeLog, TwentyConcurrentWritersLoseAndTearNothing) {
    constexpr int kWriters = 20;
    constexpr int kEach = 100;
    const auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(Spawn([&, w] {
            for (int i = 0; i < kEach; ++i) {
                audit::Store store(dir_);  // a new process per request, as the web server runs them
                const std::string n = std::to_string(w) + "." + std::to_string(i);
                if (!audit::Append(store, {0,
                                           0,
                                           "writer" + std::to_string(w),
                                           "10.0.0." + std::to_string(w),
                                           "channel",
                                           {{"Seq", n, n + "!", false}},
                                           "Success"}))
                    return 1;
            }
            return 0;
        }));
    for (pid_t writer : writers) EXPECT_EQ(WaitChild(writer), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d writers, %d records in %.2f s: %.0f records/s\n", kWriters, kWriters * kEach, seconds,
                kWriters * kEach / seconds);

    audit::Store store(dir_);
    std::set<std::string> seen;
    for (const audit::LogEntry &entry : audit::Read(store, {"", "", 0, kWriters * kEach + 1})) {
        ASSERT_EQ(entry.changes.size(), 1U);
        const std::string &n = entry.changes[0].old_value;
        const std::string writer = n.substr(0, n.find('.'));
        EXPECT_EQ(entry.user, "writer" + writer);
        EXPECT_EQ(entry.client, "10.0.0." + writer);
        EXPECT_EQ(entry.changes[0].new_value, n + "!");
        EXPECT_TRUE(seen.insert(n).second) << n << " twice";
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWriters * kEach));
}

// Writers killed at random moments: every record a writer had finished is there, at most the
// one it was writing is missing, and the database is whole.
TEST_F(ChangeLog, AWriterKilledMidWriteLosesAtMostItsOwnRecord) {
    constexpr int kRounds = 30;
    std::set<std::string> finished;
    std::srand(static_cast<unsigned>(getpid()));
    for (int round = 0; round < kRounds; ++round) {
        int done[2];
        ASSERT_EQ(pipe(done), 0);
        const pid_t writer = Spawn([&, round] {
            close(done[0]);
            audit::Store store(dir_);
            for (int i = 0;; ++i) {
                const std::string n = std::to_string(round) + "." + std::to_string(i) + "\n";
                if (!audit::Append(store, Change("w", "channel", n))) return 1;
                if (write(done[1], n.data(), n.size()) < 0) return 1;
            }
        });
        close(done[1]);
        usleep(static_cast<useconds_t>(2000 + std::rand() % 20000));
        kill(writer, SIGKILL);
        EXPECT_EQ(WaitChild(writer), 128 + SIGKILL);
        std::string reported;
        char buffer[4096];
        for (ssize_t n; (n = read(done[0], buffer, sizeof buffer)) > 0;) reported.append(buffer, n);
        close(done[0]);
        for (std::size_t at = 0, end; (end = reported.find('\n', at)) != std::string::npos; at = end + 1)
            finished.insert(reported.substr(at, end + 1 - at));
    }
    audit::Store store(dir_);
    audit::Statement check(store.Db(), "PRAGMA integrity_check");
    ASSERT_EQ(check.Step(), SQLITE_ROW);
    EXPECT_EQ(check.Text(0), "ok");
    std::set<std::string> stored;
    for (const audit::LogEntry &entry : audit::Read(store, {"", "", 0, 1000000}))
        stored.insert(entry.changes.at(0).key);
    for (const std::string &n : finished) EXPECT_EQ(stored.count(n), 1U) << n;
    EXPECT_LE(stored.size(), finished.size() + kRounds);  // at most the one each was writing
    std::printf("%d writers killed: %zu records finished, %zu stored\n", kRounds, finished.size(), stored.size());
}

// The address rule, step by step: what a try at each moment gets.
TEST_F(LoginGuard, AnAddressWaitsDoublingAfterFiveFailuresAndASuccessResetsIt) {
    audit::Store store(dir_);
    struct Step {
        std::int64_t at_s;
        char event;                  // 'f' a failed try, 's' a successful one
        std::int64_t retry_after_s;  // what a try at that moment gets first (0: let through)
    };
    const std::vector<Step> steps = {
        {0, 'f', 0},      {0, 'f', 0},    {0, 'f', 0},    {0, 'f', 0},    {0, 'f', 0},     // five: free
        {0, 'f', 1},                                                                       // then 1 s
        {1, 'f', 0},      {1, 'f', 2},    {3, 'f', 0},    {3, 'f', 4},    {6, 'f', 1},     // 2 s, 4 s
        {7, 'f', 0},      {7, 'f', 8},    {15, 'f', 0},   {15, 'f', 16},  {31, 'f', 0},    // 8, 16, 32
        {63, 'f', 0},     {127, 'f', 0},  {255, 'f', 0},  {511, 'f', 0},  {1023, 'f', 0},  // ... 1024
        {1023, 'f', 900}, {2047, 'f', 0}, {2947, 'f', 0}, {3847, 'f', 0},                  // 15 min at most
        {3848, 's', 899}, {4747, 's', 0}, {4747, 'f', 0}, {4747, 'f', 0},                  // success resets
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::int64_t now = 1'000'000'000 + steps[i].at_s * 1000;
        const audit::Admission admission = audit::Admit(store, "192.0.2.1", "ann", now);
        EXPECT_EQ(admission.allowed ? 0 : admission.retry_after_s, steps[i].retry_after_s) << "step " << i;
        if (!admission.allowed) continue;
        if (steps[i].event == 'f') audit::RecordFailure(store, "192.0.2.1", "ann", now);
        if (steps[i].event == 's') audit::RecordSuccess(store, "192.0.2.1");
    }
    EXPECT_TRUE(audit::Admit(store, "192.0.2.2", "ann", 1'000'000'000).allowed) << "another address is apart";
}

TEST_F(LoginGuard, AnAccountTakesAHundredFailuresAnHourFromAllAddressesTogether) {
    audit::Store store(dir_);
    const std::int64_t t0 = 2'000'000'000'000;
    for (int i = 0; i < audit::kAccountFailuresPerHour; ++i) {
        const std::string address = "10.1." + std::to_string(i / 4) + "." + std::to_string(i % 4);
        ASSERT_TRUE(audit::Admit(store, address, "ann", t0 + i * 1000).allowed) << i;
        const audit::FailureOutcome outcome = audit::RecordFailure(store, address, "ann", t0 + i * 1000);
        EXPECT_EQ(outcome.account_locked, i == audit::kAccountFailuresPerHour - 1) << i;
    }
    // The right password from a fresh address now waits until the first failure is an hour old.
    const audit::Admission locked = audit::Admit(store, "198.51.100.9", "ann", t0 + 200 * 1000);
    EXPECT_FALSE(locked.allowed);
    EXPECT_TRUE(locked.account_locked);
    EXPECT_EQ(locked.retry_after_s, 3600 - 200);
    EXPECT_TRUE(audit::Admit(store, "198.51.100.9", "bob", t0 + 200 * 1000).allowed) << "other accounts are apart";
    EXPECT_TRUE(audit::Admit(store, "198.51.100.9", "ann", t0 + 3600 * 1000 + 1).allowed) << "the hour moved on";
    ASSERT_TRUE(audit::Unlock(store, "ann"));
    EXPECT_TRUE(audit::Admit(store, "198.51.100.9", "ann", t0 + 200 * 1000).allowed) << "unlocked";
}

// Twenty login processes fail at once on one account, each from its own address, each then
// killed or ending: no failure is lost, so the account is at its bound exactly.
TEST_F(LoginGuard, ConcurrentFailuresOfKilledProcessesAreAllCounted) {
    constexpr int kProcesses = 20;
    const std::int64_t now = audit::NowMs();
    std::vector<pid_t> logins;
    for (int p = 0; p < kProcesses; ++p)
        logins.push_back(Spawn([&, p] {
            for (int i = 0; i < audit::kAccountFailuresPerHour / kProcesses; ++i) {
                audit::Store store(dir_);
                if (!audit::RecordFailure(store, "10.2.0." + std::to_string(p), "ann", now + i).recorded) {
                    std::fprintf(stderr, "login %d, failure %d: %s\n", p, i, store.Error().c_str());
                    return 1;
                }
            }
            raise(SIGKILL);  // and the counters outlive the process
            return 0;
        }));
    for (pid_t login : logins) EXPECT_EQ(WaitChild(login), 128 + SIGKILL);
    audit::Store store(dir_);
    EXPECT_EQ(Count(store, "SELECT count(*) FROM account_failures WHERE user = 'ann'"), audit::kAccountFailuresPerHour);
    EXPECT_FALSE(audit::Admit(store, "10.3.0.1", "ann", now + 10).allowed);
    const audit::Admission address = audit::Admit(store, "10.2.0.1", "bob", now + 10);
    EXPECT_EQ(address.retry_after_s, 1) << "five failures from it: its first wait";
    EXPECT_FALSE(address.account_locked);
}

// A guesser's try while its address waits is answered at once, without its password checked;
// each outcome leaves its record.
TEST_F(LoginGuard, GuardedLoginsAreAnsweredAtOnceAndRecorded) {
    audit::Store store(dir_);
    int checks = 0;
    const auto wrong = [](void *context) {
        ++*static_cast<int *>(context);
        return false;
    };
    const auto right = [](void *context) {
        ++*static_cast<int *>(context);
        return true;
    };
    std::string verdicts;
    for (int i = 0; i < 7; ++i) {
        const audit::GuardedLogin login = audit::GuardLogin(store, "192.0.2.5", "ann", wrong, &checks);
        verdicts += login.verdict == audit::LoginVerdict::Refused ? "R"
                    : login.verdict == audit::LoginVerdict::Wait  ? "W" + std::to_string(login.retry_after_s)
                                                                  : "?";
    }
    EXPECT_EQ(verdicts, "RRRRRW1W1");
    EXPECT_EQ(checks, 5);
    EXPECT_EQ(audit::GuardLogin(store, "192.0.2.6", "ann", right, &checks).verdict, audit::LoginVerdict::Accepted);
    std::string kinds;
    for (const audit::LogEntry &entry : audit::Read(store, {})) kinds += entry.kind + " ";
    EXPECT_EQ(kinds, "login lockout failure failure failure failure failure ");
}

// Guessers that retry the moment Retry-After allows, on the counters' own clock: how many
// guesses get their password checked in the first minute and in an hour, from one address and
// from 100 addresses against one account.
TEST_F(LoginGuard, GuessersGetFewChecksAnHour) {
    audit::Store store(dir_);
    const std::int64_t t0 = 3'000'000'000'000;
    const auto guess = [&](int addresses, std::int64_t until_ms, const char *user) {
        std::vector<std::int64_t> next(addresses, t0);
        int checked = 0;
        // Each address tries again the moment it may: the earliest next try goes first.
        for (;;) {
            const auto earliest = std::min_element(next.begin(), next.end());
            const std::int64_t now = *earliest;
            if (now >= until_ms) break;
            const std::string address = "203.0.113." + std::to_string(earliest - next.begin());
            const audit::Admission admission = audit::Admit(store, address, user, now);
            if (!admission.allowed) {
                *earliest = now + admission.retry_after_s * 1000;
                continue;
            }
            ++checked;
            EXPECT_TRUE(audit::RecordFailure(store, address, user, now).recorded);
            *earliest = now + 100;  // the next guess as soon as the answer came
        }
        return checked;
    };
    const int one_minute = guess(1, t0 + 60'000, "ann");
    ASSERT_TRUE(store.Exec("DELETE FROM address_failures"));
    const int one_hour = guess(1, t0 + 3'600'000, "bob");
    ASSERT_TRUE(store.Exec("DELETE FROM address_failures"));
    const int many_minute = guess(100, t0 + 60'000, "carl");
    ASSERT_TRUE(store.Exec("DELETE FROM address_failures"));
    const int many_hour = guess(100, t0 + 3'600'000, "dora");
    std::printf("guesses checked from 1 address: %d in the first minute, %d in an hour\n", one_minute, one_hour);
    std::printf("guesses checked from 100 addresses at one account: %d in the first minute, %d in an hour\n",
                many_minute, many_hour);
    EXPECT_EQ(one_minute, 10);  // 5 free, then after 1, 2, 4, 8, 16 s (the next would come after 32 s more)
    // 5 free, 9 more after waits of 1 to 256 s (the 14th at 511.4 s), then after 512 s and
    // three times 15 minutes: the 17th at 2823.4 s.
    EXPECT_EQ(one_hour, 17);
    EXPECT_EQ(many_minute, 100);  // the account's bound, reached at once
    EXPECT_EQ(many_hour, 100);
}

// A token works from the store's hash alone, records its last use at most once a minute, and a
// revoked one stops at once, while the others keep working.
TEST_F(ApiTokens, UseListAndRevoke) {
    audit::Store store(dir_);
    const std::int64_t ann = audit::AddToken(store, "hash-a", "ann", "operator");
    const std::int64_t bob = audit::AddToken(store, "hash-b", "bob", "viewer");
    ASSERT_GT(ann, 0);
    EXPECT_EQ(audit::AddToken(store, "hash-a", "eve", "admin"), 0) << "a hash is one token";
    const std::int64_t t = 4'000'000'000'000;
    struct Step {
        const char *hash;
        std::int64_t at_ms;
        const char *user_role;   // "" when refused
        std::int64_t last_used;  // the stored last use afterwards
    };
    for (const Step &step : std::vector<Step>{{"hash-a", t, "ann operator", t},
                                              {"hash-a", t + 59'999, "ann operator", t},
                                              {"hash-a", t + 60'000, "ann operator", t + 60'000},
                                              {"hash-x", t, "", 0}}) {
        const std::optional<audit::TokenRow> row = audit::UseToken(store, step.hash, step.at_ms);
        EXPECT_EQ(row ? row->user + " " + row->role : "", step.user_role) << step.hash << " " << step.at_ms;
        EXPECT_EQ(row ? row->last_used_ms : 0, step.last_used);
    }
    std::string listed;
    for (const audit::TokenRow &row : audit::ListTokens(store))
        listed += std::to_string(row.id) + " " + row.user + " " + std::to_string(row.last_used_ms) + ";";
    EXPECT_EQ(listed,
              std::to_string(ann) + " ann " + std::to_string(t + 60'000) + ";" + std::to_string(bob) + " bob 0;");
    EXPECT_TRUE(audit::DeleteToken(store, ann));
    EXPECT_FALSE(audit::DeleteToken(store, ann));
    EXPECT_FALSE(audit::UseToken(store, "hash-a", t + 120'000));
    EXPECT_TRUE(audit::UseToken(store, "hash-b", t + 120'000));
    EXPECT_TRUE(audit::DeleteTokensOf(store, "bob"));
    EXPECT_FALSE(audit::UseToken(store, "hash-b", t + 120'000));
}
