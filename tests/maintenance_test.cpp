// Maintenance requests against the receiver stand-in: nothing is posted without the person's
// confirmation or while another operation is pending; an answered action says its answer, or
// that there is none yet; restart and shut down are "sent" at once.
#include "maintenance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>

#include "process.h"
#include "segments.h"

using namespace testsupport;
using namespace receiverstate;

namespace {

class Maintenance : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static pid_t StartStandIn() {
        const pid_t sim = Spawn([] {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            std::vector<std::string> args = WithEmulator({RECEIVERSIM_PATH, "--tick-ms", "50", "--restart-ms", "1500"});
            std::vector<char *> argv;
            for (std::string &arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            return 127;
        });
        for (int i = 0; i < 2000 && RawMonitor()[offsetof(MonitorPara, TCP1_LINK)] == 0; ++i) usleep(10 * 1000);
        return sim;
    }
    static unsigned int Runtime() {
        unsigned int seconds = 0;
        GetMonitorParaFromShareMemory(ENTRY_RUNTIME, &seconds);
        return seconds;
    }
};

}  // namespace

TEST_F(Maintenance, NothingIsPostedWithoutItsConfirmationOrWhileAnotherOperationIsPending) {
    const struct {
        const char *action;
        const char *confirmation;
        const char *error;
    } refusals[] = {
        {"restore settings", "",
         "Confirm must be \"restore settings\", typed by the person who confirms that every "
         "setting goes back to the receiver's defaults: channels, base station, antenna, recorders"},
        {"format storage", "Format storage",
         "Confirm must be \"format storage\", typed by the person who confirms that "
         "every recorded file is deleted"},
        {"shut down", "restart",
         "Confirm must be \"shut down\", typed by the person who confirms that the receiver "
         "powers off and can be started only at the receiver"},
    };
    const std::vector<unsigned char> monitor = MonitorBytes();
    for (const auto &refusal : refusals) {
        const MaintenanceOutcome outcome =
            CarryOutMaintenance(*FindMaintenance(refusal.action), refusal.confirmation, 1000);
        EXPECT_EQ(outcome.error, refusal.error);
        EXPECT_EQ(outcome.result, "");
    }
    EXPECT_EQ(MonitorBytes(), monitor);

    SetMonitorOperate(ENTRY_SID_OP);  // someone else's, not yet answered
    const std::vector<unsigned char> pending = MonitorBytes();
    EXPECT_EQ(CarryOutMaintenance(*FindMaintenance("restart"), "restart", 1000).error,
              "another operation is pending: restart was not sent; try again in a moment");
    EXPECT_EQ(MonitorBytes(), pending);
    EXPECT_EQ(FindMaintenance("reboot"), nullptr);
}

TEST_F(Maintenance, AnActionWithoutAnAnswerSaysSoAndLeavesItPosted) {
    const MaintenanceOutcome outcome =
        CarryOutMaintenance(*FindMaintenance("clear ephemerides"), "clear ephemerides", 200);
    EXPECT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.result, "no answer yet");
    EXPECT_EQ(RawMonitor()[offsetof(MonitorPara, OperateCode)], ENTRY_CLEANEPH_OP);
    EXPECT_EQ(GetMonitorOperateState(), OP_EXE);
}

TEST_F(Maintenance, TheStandInCarriesEachOut) {
    const pid_t sim = StartStandIn();
    EthTCPConfig tcp1{};
    GetReceiverConfigParaFromShareMemory(ENTRY_TCP1_CONFIG, &tcp1);
    const unsigned int port = tcp1.LocalPort;
    tcp1.LocalPort = 4242;
    SetReceiverConfigParaToShareMemory(ENTRY_TCP1_CONFIG, &tcp1);
    for (const char *action : {"restore settings", "format storage", "clear ephemerides"}) {
        const MaintenanceOutcome outcome = CarryOutMaintenance(*FindMaintenance(action), action, 5000);
        EXPECT_EQ(outcome.error, "") << action;
        EXPECT_EQ(outcome.result, "done") << action;
    }
    GetReceiverConfigParaFromShareMemory(ENTRY_TCP1_CONFIG, &tcp1);
    EXPECT_EQ(tcp1.LocalPort, port);
    unsigned int free = 0, total = 1;
    GetMonitorParaFromShareMemory(ENTRY_FREE_SPACE, &free);
    GetMonitorParaFromShareMemory(ENTRY_ALL_SPACE, &total);
    EXPECT_EQ(free, total);

    for (int i = 0; i < 300 && Runtime() < 1; ++i) usleep(10 * 1000);
    EXPECT_EQ(CarryOutMaintenance(*FindMaintenance("restart"), "restart", 5000).result, "sent");
    EXPECT_EQ(WaitMonitorOperateIdle(5000), 0);
    EXPECT_EQ(Runtime(), 0u);  // away
    for (int i = 0; i < 500 && Runtime() < 1; ++i) usleep(10 * 1000);
    EXPECT_EQ(Runtime(), 1u);  // back, counting from 0

    EXPECT_EQ(CarryOutMaintenance(*FindMaintenance("shut down"), "shut down", 5000).result, "sent");
    EXPECT_EQ(WaitChild(sim, 10000), 0);
    EXPECT_EQ(RawMonitor()[offsetof(MonitorPara, POWER_OFF)], 1);
}
