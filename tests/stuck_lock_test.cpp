// A lock that another process has set to 0 (the sets are open to every user): no library call
// and no request waits forever, nothing is written, and service comes back with the lock.
#include <gtest/gtest.h>
#include <sys/sem.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <vector>

#include "fake_receiver.h"
#include "json_text.h"
#include "process.h"
#include "segments.h"

using namespace testsupport;

namespace {

using Clock = std::chrono::steady_clock;

// Emulated programs start slowly; the bound itself is what matters, not a tight figure.
constexpr auto kSlack = std::chrono::seconds(6);

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class StuckLock : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static std::string Request(const char *program, const std::string &body) {
        const ProgramResult result = Post(program, body);
        EXPECT_EQ(result.exit_status, 0);
        return ReplyBody(result);
    }
};

// A process that has signal handlers is interrupted while it waits for a lock (System V
// semaphore waits are never restarted, SA_RESTART or not): the wait goes on, to the same
// deadline. A helper signals this process every 200 ms for a while.
class Interrupter {
 public:
    explicit Interrupter(int for_ms) {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        action.sa_flags = SA_RESTART;
        sigaction(SIGUSR1, &action, &saved_);
        const pid_t target = getpid();
        pid_ = Spawn([target, for_ms] {
            for (int waited = 0; waited < for_ms; waited += 200) {
                kill(target, SIGUSR1);
                usleep(200 * 1000);
            }
            return 0;
        });
    }
    ~Interrupter() {
        kill(pid_, SIGKILL);
        WaitChild(pid_);
        sigaction(SIGUSR1, &saved_, nullptr);
    }
    Interrupter(const Interrupter &) = delete;
    Interrupter &operator=(const Interrupter &) = delete;

 private:
    pid_t pid_;
    struct sigaction saved_ {};
};

}  // namespace

TEST_F(StuckLock, AccessorsGiveUpAfterTheBoundTouchingNothing) {
    const ShareMemoryHandle *handles[] = {&OstrelConfig, &OstrelMonitor, &OstrelGNSS};
    // Longer than the whole test: a wait that restarted its bound at each signal would end only
    // after the signals stop, far beyond the bound.
    const Interrupter signals(30 * 1000);
    for (const ShareMemoryHandle *handle : handles) {
        ASSERT_TRUE(SetLockFromAnotherProcess(handle->sem_id, 0));
        std::vector<unsigned char> bytes(sizeof(GNSSInfo), 0xA5);  // room for any entry
        unsigned char *buffer = bytes.data();
        const std::vector<unsigned char> config = ConfigBytes();
        const auto use_segment = [handle, buffer] {
            if (handle == &OstrelConfig) return SetReceiverConfigParaToShareMemory(ENTRY_STATION_POS, buffer);
            if (handle == &OstrelMonitor) return PostMonitorOperate(ENTRY_GPOS_OP, 0);
            return GetGNSSInfoFromShareMemory(ENTRY_GGA, buffer);
        };
        const auto start = Clock::now();
        EXPECT_EQ(use_segment(), -1);
        const long long waited = MsSince(start);
        EXPECT_GE(waited, GRSHM_LOCK_TIMEOUT_MS - 50);
        EXPECT_LT(waited, GRSHM_LOCK_TIMEOUT_MS + 2000);
        EXPECT_EQ(buffer[0], 0xA5);
        EXPECT_EQ(ConfigBytes(), config);
        EXPECT_EQ(RawMonitor()[offsetof(MonitorPara, OperateState)], OP_COMPLETE);

        // Freed while this process waits, signalled: the wait ends with the lock taken.
        const pid_t freer = Spawn([handle] {
            usleep(700 * 1000);
            return semctl(handle->sem_id, 0, SETVAL, 1) == 0 ? 0 : 1;
        });
        EXPECT_EQ(use_segment(), 0);
        EXPECT_EQ(WaitChild(freer), 0);
        SetMonitorOperateState(OP_COMPLETE);
        EXPECT_EQ(GetGNSSInfoFromShareMemory(ENTRY_GGA, buffer), 0);
        EXPECT_EQ(SetReceiverConfigParaToShareMemory(ENTRY_STATION_POS, buffer), 0);
        EXPECT_EQ(PostMonitorOperate(ENTRY_GPOS_OP, 0), 0);
        SetMonitorOperateState(OP_COMPLETE);
    }
}

TEST_F(StuckLock, RoleKindAnswersFailedWithinItsBoundsAndChangesNothing) {
    struct Case {
        const ShareMemoryHandle *stuck;
        std::string body;
        std::string error;
    };
    const std::string base_start = R"({"Key":"2","Station":{"ID":"X","Coordinate":{
      "Longitude":{"DEG":"116","MIN":"23","SEC":"27.36","HEM":"E"},
      "Latitude":{"DEG":"30","MIN":"12","SEC":"0","HEM":"N"}},"Height":"45.5"}})";
    const Case cases[] = {
        {&OstrelConfig, base_start, "could not read configuration entry 23"},
        {&OstrelConfig, "{}", "could not read configuration entry 23"},
        {&OstrelMonitor, R"({"Key":"3"})", "could not write monitor entry 9"},
        {&OstrelMonitor, R"({"Key":"1"})", "could not post the operation: the monitor segment's lock was not free"},
    };
    for (const Case &c : cases) {
        FakeReceiver receiver(FakeReceiverSettings{});
        const std::vector<unsigned char> config = ConfigBytes();
        const std::vector<unsigned char> monitor = MonitorBytes();
        ASSERT_TRUE(SetLockFromAnotherProcess(c.stuck->sem_id, 0));
        const auto start = Clock::now();
        const std::string reply = Request(ROLEKIND_PATH, c.body);
        EXPECT_LT(std::chrono::milliseconds(MsSince(start)), std::chrono::milliseconds(GRSHM_LOCK_TIMEOUT_MS) + kSlack);
        EXPECT_EQ(reply, Obj({{"Res", Str("Failed")}, {"Error", Str(c.error)}})) << c.body;
        EXPECT_EQ(ConfigBytes(), config) << c.body;
        EXPECT_EQ(MonitorBytes(), monitor) << c.body;
        ASSERT_TRUE(SetLockFromAnotherProcess(c.stuck->sem_id, 1));
        EXPECT_TRUE(receiver.Stop().empty()) << c.body;
    }
    // The lock back: served again.
    FakeReceiver receiver(FakeReceiverSettings{});
    EXPECT_EQ(Request(ROLEKIND_PATH, R"({"Key":"3"})"), R"({ "Station": { "StationState": 0 } })");
    EXPECT_EQ(Codes(receiver.Stop()), std::vector<int>{ENTRY_WMODE_OP});
}

TEST_F(StuckLock, LinkReportAnswersFailedInsteadOfZeros) {
    ASSERT_TRUE(SetLockFromAnotherProcess(OstrelConfig.sem_id, 0));
    const auto start = Clock::now();
    const std::string reply = Request(LINKREPORT_PATH, "{}");
    // One lock wait, not one per channel.
    EXPECT_LT(std::chrono::milliseconds(MsSince(start)), std::chrono::milliseconds(GRSHM_LOCK_TIMEOUT_MS) + kSlack);
    EXPECT_EQ(reply, Obj({{"Res", Str("Failed")}, {"Error", Str("could not read configuration entry 44")}}));
    ASSERT_TRUE(SetLockFromAnotherProcess(OstrelConfig.sem_id, 1));
    EXPECT_NE(Request(LINKREPORT_PATH, "{}").find("\"DataTrans\""), std::string::npos);
}
