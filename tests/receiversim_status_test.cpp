// The receiver stand-in's live status, recorders and maintenance, as docs/receiver.md writes
// them: checked on the segments, at times the test sets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "default_config.h"
#include "identity.h"
#include "process.h"
#include "receiver.h"
#include "segments.h"

using namespace testsupport;
using namespace receiversim;

namespace {

constexpr long long kT0 = 1000000;  // the stand-in's start, on the test's clock

GGAInfo Fixed() {
    GGAInfo gga{};
    gga.latitude = 3032.4;
    gga.latdir = 'N';
    gga.longitude = 11418.54;
    gga.londir = 'E';
    gga.fix_status = 4;
    return gga;
}

std::string Text(const void *field, std::size_t size) {
    const char *text = static_cast<const char *>(field);
    return std::string(text, strnlen(text, size));
}

unsigned char MonitorByte(std::size_t offset) {
    return RawMonitor()[offset];
}

unsigned int MonitorWord(std::size_t offset) {
    unsigned int word = 0;
    std::memcpy(&word, RawMonitor() + offset, sizeof word);
    return word;
}

RecConfig Record(unsigned char entry) {
    RecConfig record{};
    GetReceiverConfigParaFromShareMemory(entry, &record);
    return record;
}

class Status : public testing::Test {
 protected:
    void SetUp() override {
        ASSERT_EQ(InitShareMemory(), 0);
        WriteConfiguration(DefaultConfiguration());
        log_ = open_memstream(&text_, &length_);
    }
    void TearDown() override {
        std::fclose(log_);
        std::free(text_);
    }

    OPERATE_STATE Run(Receiver &receiver, OPERATE_ENTRY op, long long now) {
        SetMonitorOperate(op);
        EXPECT_TRUE(receiver.ServeMailbox(now)) << op;
        return GetMonitorOperateState();
    }
    std::string Log() {
        std::fflush(log_);
        return std::string(text_, length_);
    }

    char *text_ = nullptr;
    std::size_t length_ = 0;
    FILE *log_ = nullptr;
};

}  // namespace

TEST_F(Status, IdentityAndAntennaTypesAreWrittenInTheirForms) {
    WriteIdentity();
    const ReceiverConfigPara *config = reinterpret_cast<const ReceiverConfigPara *>(RawConfig());
    const std::pair<std::string, std::string> texts[] = {
        {Text(config->SN, 16), "GR2026120800017"},
        {Text(config->HWV, 8), "H3.1"},
        {Text(config->SWV, 16), "3.2.1"},
        {Text(config->RTKV, 16), "RTK 5.4.0"},
        {Text(config->PN, 16), "GR90-BR"},
        {Text(config->BOOTV, 16), "2019.04-gr3"},
        {Text(config->RDV, 16), "2.04"},
        {Text(config->DPV, 16), "1.8.2"},
        {Text(config->SWD, 11), "2026-11-20"},
        {Text(config->MAC, 24), "02:4B:52:00:00:11"},
        {Text(RawMonitor() + offsetof(MonitorPara, GNSS_VERS), 24), "GB-8 7.10.2512"},
    };
    for (const auto &[stored, expected] : texts) EXPECT_EQ(stored, expected);

    // 21-byte slots of 20-character names, ending at the first empty slot.
    const unsigned char *list = RawMonitor() + offsetof(MonitorPara, ANT_TYPE);
    std::size_t count = 0;
    while (count < 1000 && list[count * 21] != 0) {
        EXPECT_EQ(Text(list + count * 21, 21).size(), 20u) << count;
        ++count;
    }
    EXPECT_EQ(count, AntennaTypeCount());
    EXPECT_EQ(Text(list + 17 * 21, 21), "TRM57971.00     NONE");
}

// Switched-on links connect a few seconds after the start; a switched-off channel is off at
// the next tick; a caster without a mount point refuses.
TEST_F(Status, LinksConnectAfterTheStartAndFollowTheirSwitches) {
    Receiver receiver(PositionSource::Fixed(Fixed()), log_, {}, kT0);
    const auto links = [] {
        return std::vector<int>{MonitorByte(12), MonitorByte(13), MonitorByte(65), MonitorByte(66), MonitorByte(67)};
    };
    //                          TCP1 (server)  TCP2 (client)  NTRIP client  NTRIP server 1  NTRIP server 2
    EXPECT_EQ(links(), (std::vector<int>{3, 1, 0, 1, 0}));
    receiver.Tick(kT0 + 2900);
    EXPECT_EQ(links(), (std::vector<int>{3, 1, 0, 1, 0}));
    receiver.Tick(kT0 + 3000);
    EXPECT_EQ(links(), (std::vector<int>{2, 2, 0, 2, 0}));

    EthTCPConfig tcp2{};
    GetReceiverConfigParaFromShareMemory(ENTRY_TCP2_CONFIG, &tcp2);
    tcp2.TCPDSPara.Switch.Enable = 0;
    SetReceiverConfigParaToShareMemory(ENTRY_TCP2_CONFIG, &tcp2);
    NtripServerConfig ns2{};
    GetReceiverConfigParaFromShareMemory(ENTRY_NS2_CONFIG, &ns2);
    ns2.ServerDSPara.Switch.Enable = 1;
    ns2.CtrlPara.MountPoint[0] = '\0';
    SetReceiverConfigParaToShareMemory(ENTRY_NS2_CONFIG, &ns2);
    receiver.Tick(kT0 + 4000);
    EXPECT_EQ(links(), (std::vector<int>{2, 0, 0, 2, 1}));
    EXPECT_EQ(Run(receiver, ENTRY_NS1_OP, kT0 + 4000), OP_SUCCESS);  // new settings: connects again
    receiver.Tick(kT0 + 6000);
    EXPECT_EQ(links(), (std::vector<int>{2, 0, 0, 1, 1}));
    receiver.Tick(kT0 + 4000 + kConnectDelayMs);
    EXPECT_EQ(links(), (std::vector<int>{2, 0, 0, 2, 4}));
}

// Health over a working day: running seconds, mains power, a charging battery, and a board
// temperature that warms up and drifts within a few degrees.
TEST_F(Status, HealthCountsTheRunningTimeAndTheTemperatureDrifts) {
    Receiver receiver(PositionSource::Fixed(Fixed()), log_, {}, kT0);
    int lowest = 127, highest = -128;
    for (long long s = 0; s <= 8 * 3600; s += 30) {
        receiver.Tick(kT0 + s * 1000);
        const int temperature = static_cast<signed char>(MonitorByte(1));
        lowest = std::min(lowest, temperature);
        highest = std::max(highest, temperature);
        ASSERT_EQ(MonitorWord(offsetof(MonitorPara, RUNTIME)), s);
        ASSERT_EQ(MonitorByte(offsetof(MonitorPara, POWER_SUPPLY)), 1);
        ASSERT_EQ(MonitorByte(offsetof(MonitorPara, BATTERY_EQ)), std::min(100LL, 86 + s / 60));
    }
    EXPECT_EQ(lowest, 35);
    EXPECT_EQ(highest, 44);
    EXPECT_EQ(MonitorWord(offsetof(MonitorPara, ALL_SPACE)), 7450u);
    EXPECT_EQ(MonitorWord(offsetof(MonitorPara, FREE_SPACE)), 7450u - 7450u / 6 - 1);  // a sixth holds older files
}

// A recorder started through its user state fills the storage by the bytes it records; full,
// it stops by itself, a start is refused until the storage is formatted, and a circular one
// goes on within its limit.
TEST_F(Status, RecordingFillsTheStorageUntilItStopsOrGoesRound) {
    ReceiverOptions options;
    options.storage.total_mb = 12;
    Receiver receiver(PositionSource::Fixed(Fixed()), log_, options, kT0);
    const auto free = [] { return MonitorWord(offsetof(MonitorPara, FREE_SPACE)); };
    const unsigned int start_free = free();
    EXPECT_EQ(start_free, 10u);
    EXPECT_EQ(Record(ENTRY_REC1_CONFIG).FreeSpace, 10u);
    EXPECT_EQ(Record(ENTRY_REC2_CONFIG).FreeSpace, 10u);  // its 2048 MB limit is more than there is

    SetReceiverRecUsrState(1, 1);
    EXPECT_EQ(Run(receiver, ENTRY_REC1_STATE_OP, kT0), OP_SUCCESS);
    receiver.Tick(kT0);
    for (long long s = 1; s <= 4; ++s) {
        receiver.Tick(kT0 + s * 1000);
        EXPECT_EQ(free(), start_free - s) << s;
        EXPECT_EQ(Record(ENTRY_REC1_CONFIG).FreeSpace, start_free - s);
        EXPECT_EQ(GetReceiverRecUsrState(1), 1);
    }
    SetReceiverRecUsrState(1, 0);
    EXPECT_EQ(Run(receiver, ENTRY_REC1_STATE_OP, kT0 + 4500), OP_SUCCESS);
    receiver.Tick(kT0 + 9000);
    EXPECT_EQ(free(), start_free - 4);  // stopped: nothing more recorded

    SetReceiverRecUsrState(1, 1);
    EXPECT_EQ(Run(receiver, ENTRY_REC1_STATE_OP, kT0 + 9000), OP_SUCCESS);
    receiver.Tick(kT0 + 30000);
    EXPECT_EQ(free(), 0u);
    EXPECT_EQ(GetReceiverRecUsrState(1), 2);  // the space is used up
    EXPECT_FALSE(receiver.Recording().Recording(1));
    SetReceiverRecUsrState(1, 1);
    EXPECT_EQ(Run(receiver, ENTRY_REC1_STATE_OP, kT0 + 30000), OP_FAILED);
    EXPECT_EQ(GetReceiverRecUsrState(1), 2);

    EXPECT_EQ(Run(receiver, ENTRY_FORMAT_OP, kT0 + 31000), OP_SUCCESS);
    EXPECT_EQ(free(), 12u);
    EXPECT_EQ(GetReceiverRecUsrState(1), 0);

    // Recorder 2, circular, limited to 3 MB: it records on, within its limit.
    RecConfig rec2 = Record(ENTRY_REC2_CONFIG);
    rec2.MaxSpace = 3;
    SetReceiverConfigParaToShareMemory(ENTRY_REC2_CONFIG, &rec2);
    SetReceiverRecUsrState(2, 1);
    EXPECT_EQ(Run(receiver, ENTRY_REC2_STATE_OP, kT0 + 31000), OP_SUCCESS);
    for (long long s = 32; s <= 40; ++s) receiver.Tick(kT0 + s * 1000);
    EXPECT_EQ(GetReceiverRecUsrState(2), 1);
    EXPECT_EQ(Record(ENTRY_REC2_CONFIG).FreeSpace, 0u);
    EXPECT_EQ(free(), 9u);
    EXPECT_NE(Log().find("operation 43 (recorder 2 start or stop): recorder 2 recording: folder \"raw5hz\", mark "
                         "\"BASE01\", receiver binary every 200 ms, manual, limit 3 MB, circular on"),
              std::string::npos)
        << Log();
}

// The settings operations read what they name and take it into use, or refuse what is outside
// the form; each says so in the log.
TEST_F(Status, AntennaAndRecorderSettingsAreTakenIntoUseOrRefused) {
    Receiver receiver(PositionSource::Fixed(Fixed()), log_, {}, kT0);
    ReceiverConfigPara bad = DefaultConfiguration();
    const int height = 1000001;  // 100.0001 m
    std::memcpy(bad.ANTENNA_INFO + 24, &height, sizeof height);
    bad.REC2.RecInterval = 7;
    const struct {
        OPERATE_ENTRY op;
        bool use_bad;
        OPERATE_STATE outcome;
        const char *logged;
    } cases[] = {
        {ENTRY_ANT_OP, false, OP_SUCCESS,
         "operation 26 (antenna): taken into use for the base station: antenna \"TRM57971.00     NONE\", height "
         "2.0000 m vertical\n"},
        {ENTRY_REC1_OP, false, OP_SUCCESS,
         "operation 27 (recorder 1 settings): taken into use for the next file of recorder 1: folder \"session1\", "
         "mark \"BASE01\", RINEX 3.04 every 1000 ms, manual, limit 0 MB, circular off; antenna \"TRM57971.00     "
         "NONE\", height 2.0000 m vertical\n"},
        {ENTRY_ANT_OP, true, OP_FAILED,
         "operation 26 (antenna): refused: antenna block outside the form (method 0, height 1000001)\n"},
        {ENTRY_REC2_OP, true, OP_FAILED,
         "operation 28 (recorder 2 settings): refused for recorder 2: settings outside the form (file type 0, mode 0, "
         "interval 7 ms, circular 1); antenna \"TRM57971.00     NONE\", height 2.0000 m vertical\n"},
    };
    for (const auto &c : cases) {
        WriteConfiguration(c.use_bad ? bad : DefaultConfiguration());
        const std::size_t before = Log().size();
        EXPECT_EQ(Run(receiver, c.op, kT0), c.outcome) << c.op;
        EXPECT_EQ(Log().substr(before), std::string("receiversim: ") + c.logged);
    }
    SetReceiverRecUsrState(1, 7);
    EXPECT_EQ(Run(receiver, ENTRY_REC1_STATE_OP, kT0), OP_FAILED);
    EXPECT_EQ(GetReceiverRecUsrState(1), 0);  // what it really is
}

// Restore writes the default configuration back (not the identity); a restart answers, goes
// away for its time and comes back counting from 0; a shutdown answers and says it is off.
TEST_F(Status, RestoreRestartAndShutDown) {
    ReceiverOptions options;
    options.restart_ms = 2000;
    Receiver receiver(PositionSource::Fixed(Fixed()), log_, options, kT0);
    WriteIdentity();
    const std::vector<unsigned char> restored = ConfigBytes();
    EthTCPConfig tcp1{};
    GetReceiverConfigParaFromShareMemory(ENTRY_TCP1_CONFIG, &tcp1);
    tcp1.LocalPort = 4242;
    SetReceiverConfigParaToShareMemory(ENTRY_TCP1_CONFIG, &tcp1);
    SetReceiverRecUsrState(1, 1);
    EXPECT_EQ(Run(receiver, ENTRY_REC1_STATE_OP, kT0), OP_SUCCESS);
    EXPECT_EQ(Run(receiver, ENTRY_RESTORE_OP, kT0), OP_SUCCESS);
    std::vector<unsigned char> now = ConfigBytes();
    for (unsigned char entry : {ENTRY_REC1_CONFIG, ENTRY_REC2_CONFIG}) {  // free space is the recorders' own
        const std::size_t at = (entry == ENTRY_REC1_CONFIG ? 600 : 1224) + offsetof(RecConfig, FreeSpace);
        std::memcpy(&now[at], &restored[at], 4);
    }
    EXPECT_EQ(now, restored);
    EXPECT_EQ(GetReceiverRecUsrState(1), 0);

    receiver.Tick(kT0 + 10000);
    EXPECT_EQ(Run(receiver, ENTRY_RESTART_OP, kT0 + 10000), OP_SUCCESS);
    EXPECT_EQ(MonitorWord(offsetof(MonitorPara, RUNTIME)), 0u);
    SetMonitorOperate(ENTRY_SID_OP);
    EXPECT_FALSE(receiver.ServeMailbox(kT0 + 11999));  // away: the post waits
    receiver.Tick(kT0 + 11999);
    EXPECT_EQ(GetMonitorOperateState(), OP_EXE);
    EXPECT_EQ(MonitorWord(offsetof(MonitorPara, RUNTIME)), 0u);
    EXPECT_TRUE(receiver.ServeMailbox(kT0 + 12000));
    EXPECT_EQ(GetMonitorOperateState(), OP_SUCCESS);
    receiver.Tick(kT0 + 15000);
    EXPECT_EQ(MonitorWord(offsetof(MonitorPara, RUNTIME)), 3u);

    EXPECT_EQ(Run(receiver, ENTRY_SHUTDOWN_OP, kT0 + 16000), OP_SUCCESS);
    EXPECT_TRUE(receiver.PoweredOff());
    EXPECT_EQ(MonitorByte(offsetof(MonitorPara, POWER_OFF)), 1);
    EXPECT_EQ(MonitorByte(offsetof(MonitorPara, TCP1_LINK)), 0);
    SetMonitorOperate(ENTRY_SID_OP);
    EXPECT_FALSE(receiver.ServeMailbox(kT0 + 17000));
    EXPECT_NE(Log().find("operation 41 (shut down): shutting down\n"), std::string::npos);
}

// The program ends after a shutdown, as a receiver that powers off; numbers it cannot use are
// refused at the start.
TEST_F(Status, ProgramEndsAfterAShutdownAndRefusesBadNumbers) {
    const auto run = [](std::vector<std::string> args) {
        return Spawn([args] {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            std::vector<std::string> line = WithEmulator(args);
            std::vector<char *> argv;
            for (std::string &arg : line) argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            return 127;
        });
    };
    for (const char *bad : {"--storage-mb=-1", "--record-rate=0", "--restart-ms=5s"})
        EXPECT_EQ(WaitChild(run({RECEIVERSIM_PATH, bad})), 2) << bad;
    const pid_t sim = run({RECEIVERSIM_PATH, "--tick-ms", "50"});
    SetMonitorOperate(ENTRY_SHUTDOWN_OP);
    EXPECT_EQ(WaitChild(sim, 30000), 0);
    EXPECT_EQ(GetMonitorOperateState(), OP_SUCCESS);
    EXPECT_EQ(MonitorByte(offsetof(MonitorPara, POWER_OFF)), 1);
}
