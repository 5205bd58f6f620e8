// The receiver stand-in alone: its NMEA reader against recorded logs, and its side of the
// mailbox.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <set>

#include "default_config.h"
#include "nmea.h"
#include "nmea_text.h"
#include "process.h"
#include "receiver.h"
#include "segments.h"
#include "sky.h"

using namespace testsupport;
using namespace receiversim;

namespace {

bool HaveLogs() {
    return access(LogPath("nmea-rtk.log").c_str(), R_OK) == 0;
}

#define REQUIRE_LOGS() \
    if (!HaveLogs()) GTEST_SKIP() << "recorded NMEA logs not found in " << NMEA_DIR;

std::vector<std::string> Sentences(const char *name, const char *type) {
    std::vector<std::string> found;
    std::ifstream in(LogPath(name));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 6 && line[0] == '$' && line.compare(3, 3, type) == 0) found.push_back(line);
    }
    return found;
}

GGAInfo FixedAt(double lat_ddmm, char lat_dir, double lon_ddmm, char lon_dir, unsigned char fix) {
    GGAInfo gga{};
    gga.latitude = lat_ddmm;
    gga.latdir = static_cast<unsigned char>(lat_dir);
    gga.longitude = lon_ddmm;
    gga.londir = static_cast<unsigned char>(lon_dir);
    gga.fix_status = fix;
    gga.altitude = 14.2;
    return gga;
}

}  // namespace

TEST(Nmea, GgaOfAnRtkReceiverNorthWest) {
    REQUIRE_LOGS();
    const auto sentences = Sentences("nmea-rtk.log", "GGA");
    ASSERT_FALSE(sentences.empty());
    const auto gga = ParseGga(sentences.front());
    ASSERT_TRUE(gga.has_value());
    // $GNGGA,132819.60,4134.49795459,N,09345.03431408,W,2,10,0.9,278.161,M,-31.442,M,6.6,0133*6A
    EXPECT_DOUBLE_EQ(gga->latitude, 4134.49795459);
    EXPECT_EQ(gga->latdir, 'N');
    EXPECT_DOUBLE_EQ(gga->longitude, 9345.03431408);
    EXPECT_EQ(gga->londir, 'W');
    EXPECT_EQ(gga->fix_status, 2);
    EXPECT_EQ(gga->fix_satellite, 10);
    EXPECT_FLOAT_EQ(gga->hdop, 0.9f);
    EXPECT_DOUBLE_EQ(gga->altitude, 278.161);
    EXPECT_EQ(gga->alt_unit, 'M');
    EXPECT_FLOAT_EQ(gga->undulation, -31.442f);
    EXPECT_EQ(gga->age, 6);
    EXPECT_EQ(gga->station_id, 133u);
    EXPECT_EQ(gga->checksum, 0x6A);
    EXPECT_EQ(gga->available, 1);
    int rtk_fixed = 0;
    for (const std::string &sentence : sentences) {
        const auto parsed = ParseGga(sentence);
        ASSERT_TRUE(parsed.has_value()) << sentence;
        rtk_fixed += parsed->fix_status == 4;
    }
    EXPECT_GT(rtk_fixed, 0);
}

TEST(Nmea, GgaSouthEastWithEmptyFields) {
    REQUIRE_LOGS();
    // $GNGGA,003956.00,4552.65403,S,17030.00668,E,1,12,0.64,14.2,M,1.8,M,,*56
    const auto gga = ParseGga(Sentences("ublox-zed-f9p-nmea.log", "GGA").front());
    ASSERT_TRUE(gga.has_value());
    EXPECT_DOUBLE_EQ(gga->latitude, 4552.65403);
    EXPECT_EQ(gga->latdir, 'S');
    EXPECT_DOUBLE_EQ(gga->longitude, 17030.00668);
    EXPECT_EQ(gga->londir, 'E');
    EXPECT_EQ(gga->fix_status, 1);
    EXPECT_EQ(gga->age, 0);
    EXPECT_EQ(gga->station_id, 0u);
}

TEST(Nmea, GgaWithoutFix) {
    REQUIRE_LOGS();
    // $GNGGA,074150.799,,,,,0,00,,,M,0.0,M,,0000,*64 (the log gets a fix later on)
    int without_fix = 0;
    for (const std::string &sentence : Sentences("beidou-bd.log", "GGA")) {
        const auto gga = ParseGga(sentence);
        ASSERT_TRUE(gga.has_value()) << sentence;
        if (sentence.find(",,,,,0,") == std::string::npos) continue;
        ++without_fix;
        EXPECT_EQ(gga->fix_status, 0);
        EXPECT_EQ(gga->latitude, 0.0);
        EXPECT_EQ(gga->latdir, 0);
        EXPECT_EQ(gga->longitude, 0.0);
    }
    EXPECT_GT(without_fix, 0);
}

// A height the sentence leaves empty is stored without a unit letter, whatever letter follows.
TEST(Nmea, HeightsNotSentAreStoredWithoutAUnitLetter) {
    const struct {
        const char *heights;  // altitude, its unit, undulation, its unit
        double altitude;
        unsigned char alt_unit;
        float undulation;
        unsigned char und_unit;
    } rows[] = {
        {"246.0,M,,M", 246.0, 'M', 0.0f, 0},  {",M,-31.4,M", 0.0, 0, -31.4f, 'M'},
        {",M,,M", 0.0, 0, 0.0f, 0},           {",,,", 0.0, 0, 0.0f, 0},
        {"0.0,M,0.0,M", 0.0, 'M', 0.0f, 'M'},
    };
    for (const auto &row : rows) {
        const auto gga =
            ParseGga(Nmea(std::string("GNGGA,074150.80,3032.4,N,11418.5,E,1,08,1.0,") + row.heights + ",,"));
        ASSERT_TRUE(gga.has_value()) << row.heights;
        EXPECT_EQ(gga->altitude, row.altitude) << row.heights;
        EXPECT_EQ(gga->alt_unit, row.alt_unit) << row.heights;
        EXPECT_EQ(gga->undulation, row.undulation) << row.heights;
        EXPECT_EQ(gga->und_unit, row.und_unit) << row.heights;
    }
}

// The default sky, wherever the position: a plausible count of satellites of the five systems,
// strengths that follow the elevation, slow motion, and a fix of the satellites it uses.
TEST(Sky, PlausibleMovingSlowlyAndAgreeingWithItsFix) {
    const double start = 1796803200;  // 2026-12-09 00:00 UTC
    for (const auto &[latitude, longitude] : {std::pair{30.54, 114.309}, {52.1, -0.5}, {-45.9, 170.5}, {0.0, 0.0}})
        for (const double t : {start, start + 5 * 3600.0, start + 11 * 3600.0}) {
            SCOPED_TRACE(std::to_string(latitude) + "," + std::to_string(longitude) + " at " + std::to_string(t));
            const std::vector<SkySatellite> sky = SkyAt(latitude, longitude, t);
            EXPECT_GE(sky.size(), 15u);
            EXPECT_LE(sky.size(), 45u);
            std::set<Constellation> systems;
            int used = 0;
            for (const SkySatellite &s : sky) {
                systems.insert(s.system);
                EXPECT_TRUE(s.elevation >= kSkyMaskDegrees && s.elevation <= 90 && s.azimuth >= 0 && s.azimuth < 360);
                EXPECT_EQ(s.used, s.elevation >= kSkyUsedDegrees && s.system != Constellation::Sbas);
                used += s.used;
                for (const SkySatellite &low : sky)
                    if (s.elevation > 60 && low.elevation < 20) {
                        EXPECT_GT(s.snr, low.snr);
                    }
            }
            EXPECT_GE(systems.size(), latitude == 30.54 ? 5u : 4u);
            EXPECT_GE(used, 8);
            const float hdop = SkyHdop(sky);
            EXPECT_TRUE(hdop >= 0.4f && hdop <= 2.5f) << hdop;
            std::size_t sentences = 0;
            for (const GSVInput &record : SkyGsv(sky)) sentences += record.Number == 1 ? record.Control : 0;
            EXPECT_EQ(sentences, SkyGsv(sky).size());
            // A minute later: the same satellites, each moved by a degree at most.
            int moved = 0;
            for (const SkySatellite &later : SkyAt(latitude, longitude, t + 60))
                for (const SkySatellite &s : sky)
                    if (s.system == later.system && s.number == later.number) {
                        EXPECT_LE(std::abs(s.elevation - later.elevation), 1) << s.number;
                        moved += s.elevation != later.elevation;
                    }
            EXPECT_LT(moved, static_cast<int>(sky.size()));
        }
    const auto now = SkyAt(30.54, 114.309, start), later = SkyAt(30.54, 114.309, start + 600);
    EXPECT_FALSE(std::equal(now.begin(), now.end(), later.begin(), later.end(), [](const auto &a, const auto &b) {
        return a.number == b.number && a.elevation == b.elevation && a.azimuth == b.azimuth;
    })) << "the sky stands still";
}

TEST(Nmea, BadChecksumsAndOtherSentencesAreRefused) {
    const std::string good = "$GNGGA,003956.00,4552.65403,S,17030.00668,E,1,12,0.64,14.2,M,1.8,M,,*56";
    EXPECT_TRUE(ParseGga(good).has_value());
    std::string changed = good;
    changed[20] = '7';
    EXPECT_FALSE(ParseGga(changed).has_value());
    EXPECT_FALSE(ParseGga(good.substr(0, good.size() - 1)).has_value());
    EXPECT_FALSE(ParseGga("$GNGGA,1,2*00").has_value());
    EXPECT_FALSE(ParseGga("$GNRMC,003956.00,A*00").has_value());
    EXPECT_FALSE(ParseGga("").has_value());
    const auto round_trip = ParseGga(FormatGga(FixedAt(3032.4, 'N', 11418.54, 'E', 4)));
    ASSERT_TRUE(round_trip.has_value());
    EXPECT_DOUBLE_EQ(round_trip->latitude, 3032.4);
    EXPECT_DOUBLE_EQ(round_trip->longitude, 11418.54);
    EXPECT_EQ(round_trip->fix_status, 4);
}

TEST(Nmea, GsvSentencesGoToTheirSystemSlot) {
    REQUIRE_LOGS();
    const std::pair<const char *, int> talkers[] = {{"$GP", 0}, {"$GB", 1}, {"$GL", 2}, {"$GA", 3}};
    for (const std::string &sentence : Sentences("ublox-zed-f9p-nmea.log", "GSV")) {
        const auto input = ParseGsv(sentence);
        ASSERT_TRUE(input.has_value()) << sentence;
        for (auto [talker, slot] : talkers) {
            if (sentence.rfind(talker, 0) == 0) {
                EXPECT_EQ(input->System, slot) << sentence;
            }
        }
        EXPECT_GE(input->Number, 1);
        EXPECT_LE(input->Number, 8);
        EXPECT_EQ(std::string(input->Sentence), sentence);
    }
    const auto beidou = ParseGsv(Sentences("beidou-bd.log", "GSV").back());
    ASSERT_TRUE(beidou.has_value());
    EXPECT_EQ(beidou->System, 1);  // BD talker
}

class Stand_in : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static OPERATE_STATE Run(Receiver &receiver, OPERATE_ENTRY op) {
        SetMonitorOperate(op);
        EXPECT_TRUE(receiver.ServeMailbox());
        return GetMonitorOperateState();
    }

    static unsigned char StationState() { return RawMonitor()[offsetof(MonitorPara, STATION_STATE)]; }

    FILE *log_ = fopen("/dev/null", "w");
    void TearDown() override { fclose(log_); }
};

TEST_F(Stand_in, PositionQueryWritesTheCurrentPositionFirst) {
    Receiver receiver(PositionSource::Fixed(FixedAt(4552.65403, 'S', 17030.00668, 'E', 1)), log_);
    receiver.Tick();
    EXPECT_FALSE(receiver.ServeMailbox());  // nothing posted
    EXPECT_EQ(Run(receiver, ENTRY_GPOS_OP), OP_SUCCESS);
    Coordinates position{};
    GetMonitorParaFromShareMemory(ENTRY_CUR_POS, &position);
    EXPECT_DOUBLE_EQ(position.Latitude, 4552.65403);
    EXPECT_EQ(position.LatDirection, 'S');
    EXPECT_DOUBLE_EQ(position.Longitude, 17030.00668);
    EXPECT_EQ(position.LonDirection, 'E');
    EXPECT_DOUBLE_EQ(position.Elevation, 14.2);

    Receiver lost(PositionSource::Fixed(FixedAt(0, 0, 0, 0, 0)), log_);
    lost.Tick();
    EXPECT_EQ(Run(lost, ENTRY_GPOS_OP), OP_FAILED);
}

TEST_F(Stand_in, BaseStartAndStopKeepTheStationState) {
    Receiver receiver(PositionSource::Fixed(FixedAt(3032.4, 'N', 11418.54, 'E', 4)), log_);
    const unsigned char station = STATION_MODE;
    SetReceiverConfigParaToShareMemory(ENTRY_WORK_MODE, &station);
    EXPECT_EQ(Run(receiver, ENTRY_WMODE_OP), OP_SUCCESS);
    EXPECT_TRUE(receiver.BaseRunning());
    EXPECT_EQ(StationState(), STATION_STARTUP);

    // A base start writes STATION_NULL right after its post; the next tick corrects it.
    const unsigned char null_state = STATION_NULL;
    SetMonitorParaToShareMemory(ENTRY_STATION_STATE, &null_state);
    receiver.Tick();
    EXPECT_EQ(StationState(), STATION_STARTUP);

    // A stop writes STATION_STOP before its post; a tick in between must not undo it.
    const unsigned char stop = STATION_STOP;
    SetMonitorParaToShareMemory(ENTRY_STATION_STATE, &stop);
    receiver.Tick();
    EXPECT_EQ(StationState(), STATION_STOP);
    EXPECT_EQ(Run(receiver, ENTRY_WMODE_OP), OP_SUCCESS);
    EXPECT_FALSE(receiver.BaseRunning());
    receiver.Tick();
    EXPECT_EQ(StationState(), STATION_STOP);

    // Started again after a stop: the stored STOP state is the stand-in's own.
    EXPECT_EQ(Run(receiver, ENTRY_WMODE_OP), OP_SUCCESS);
    EXPECT_TRUE(receiver.BaseRunning());
}

TEST_F(Stand_in, SmartBaseModeChoosesAStationWellWithinTwoSeconds) {
    Receiver receiver(PositionSource::Fixed(FixedAt(3032.4, 'N', 11418.54, 'E', 4)), log_);
    WriteConfiguration(DefaultConfiguration());
    receiver.Tick();
    const unsigned char smartbase = SMARTBASE_MODE;
    SetReceiverConfigParaToShareMemory(ENTRY_WORK_MODE, &smartbase);
    EXPECT_EQ(Run(receiver, ENTRY_WMODE_OP), OP_SUCCESS);
    unsigned char chosen = 0;
    GetMonitorParaFromShareMemory(ENTRY_SMARTBASE_ID, &chosen);
    EXPECT_EQ(chosen, 4);  // "WUCHANG", 30 32 25 N 114 18 54 E, is the nearest of the first five
    SmartBaseInfo station{};
    GetReceiverConfigParaFromShareMemory(ENTRY_SMARTBASE4_CONFIG, &station);
    EXPECT_EQ(station.available, 1);
    EXPECT_TRUE(receiver.BaseRunning());
}

TEST_F(Stand_in, OtherOperationsAreAnsweredAndUnknownOnesFail) {
    Receiver receiver(PositionSource::Fixed(FixedAt(3032.4, 'N', 11418.54, 'E', 4)), log_);
    for (OPERATE_ENTRY op : {ENTRY_SID_OP, ENTRY_PPS_OP, ENTRY_EVENT_OP, ENTRY_SMARTBASE_OP})
        EXPECT_EQ(Run(receiver, op), OP_SUCCESS) << op;
    EXPECT_EQ(Run(receiver, ENTRY_UPDATEF_OP), OP_FAILED);
}

// Each channel operation reads its channel and logs what it took into use; the time words of
// the messages a running channel sends follow the samples, those of silent ones stay.
TEST_F(Stand_in, ChannelOperationsAndMessageTimeWords) {
    char *text = nullptr;
    std::size_t length = 0;
    FILE *log = open_memstream(&text, &length);
    Receiver receiver(PositionSource::Fixed(FixedAt(3032.4, 'N', 11418.54, 'E', 4)), log);
    WriteConfiguration(DefaultConfiguration());
    for (OPERATE_ENTRY op : {ENTRY_SP1_OP, ENTRY_TCP1_OP, ENTRY_TCP2_OP, ENTRY_NS1_OP, ENTRY_NS2_OP, ENTRY_NC_OP,
                             ENTRY_RADIO_OP, ENTRY_NA_OP, ENTRY_UDP_OP})
        EXPECT_EQ(Run(receiver, op), OP_SUCCESS) << op;
    std::fflush(log);
    EXPECT_NE(std::string(text).find("operation 59 (NTRIP server 1): taken into use: caster caster.example.net:2101, "
                                     "mount point \"BASE01_RTCM32\""),
              std::string::npos)
        << text;

    const auto before = ConfigBytes();
    receiver.Tick();
    const auto after = ConfigBytes();
    const std::size_t on = offsetof(ReceiverConfigPara, NS1.ServerDSPara.RTCM32[0].time);
    const std::size_t off = offsetof(ReceiverConfigPara, NS1.ServerDSPara.RTCM32[1].time);
    const std::size_t tcp = offsetof(ReceiverConfigPara, TCP1.TCPDSPara.NMEA[0].time);
    EXPECT_NE(std::memcmp(&before[on], &after[on], 4), 0);
    EXPECT_NE(std::memcmp(&before[tcp], &after[tcp], 4), 0);
    EXPECT_EQ(std::memcmp(&before[off], &after[off], 4), 0);
    std::fclose(log);
    std::free(text);
}

// Each tracking operation reads its entry and logs the setting it takes into use; a value
// outside the entry's form is refused and nothing is taken into use.
TEST_F(Stand_in, TrackingOperationsTakeTheirSettingOrRefuseIt) {
    WriteConfiguration(DefaultConfiguration());
    const struct {
        OPERATE_ENTRY op;
        unsigned char entry;
        std::vector<unsigned char> bytes;  // none: the default configuration's
        OPERATE_STATE outcome;
        const char *line;
    } cases[] = {
        {ENTRY_MANGLE_OP, 0, {}, OP_SUCCESS, "operation 15 (elevation mask): elevation mask 10 degrees taken into use"},
        {ENTRY_CONFIG_OP,
         0,
         {},
         OP_SUCCESS,
         "operation 49 (settings without an operation): PDOP limit 6.0 taken into use"},
        {ENTRY_GPSE_OP, 0, {}, OP_SUCCESS, "operation 17 (GPS): GPS tracked and used"},
        {ENTRY_BDE_OP, ENTRY_BD_ENABLE, {0}, OP_SUCCESS, "operation 18 (BeiDou): BeiDou off"},
        {ENTRY_GLOE_OP, 0, {}, OP_SUCCESS, "operation 19 (GLONASS): GLONASS tracked and used"},
        {ENTRY_GALE_OP, 0, {}, OP_SUCCESS, "operation 20 (Galileo): Galileo tracked and used"},
        {ENTRY_QZSS_OP,
         ENTRY_QZSS_ENABLE,
         {2},
         OP_FAILED,
         "operation 21 (QZSS): QZSS 2 refused (0 off or 1 on): nothing taken into use"},
        {ENTRY_SBAS_OP, 0, {}, OP_SUCCESS, "operation 22 (SBAS): SBAS tracked and used, service automatic"},
        {ENTRY_SBAS_OP,
         ENTRY_SBAS_ENABLE,
         {1, 2},
         OP_SUCCESS,
         "operation 22 (SBAS): SBAS tracked and used, service EGNOS"},
        {ENTRY_SBAS_OP,
         ENTRY_SBAS_ENABLE,
         {0, 9},
         OP_FAILED,
         "operation 22 (SBAS): SBAS service 9 refused (0 to 8): nothing taken into use"},
        {ENTRY_MANGLE_OP,
         ENTRY_MASK_ANGLE,
         {91, 0, 0, 0},
         OP_FAILED,
         "operation 15 (elevation mask): elevation mask 91 refused (whole degrees 0 to 90): nothing taken into use"},
        {ENTRY_CONFIG_OP,
         ENTRY_PDOP_LIMIT,
         {0xE8, 3, 0, 0},
         OP_FAILED,
         "operation 49 (settings without an operation): PDOP limit 1000 refused (tenths 10 to 999): nothing taken "
         "into use"},
    };
    for (const auto &c : cases) {
        char *text = nullptr;
        std::size_t length = 0;
        FILE *log = open_memstream(&text, &length);
        Receiver receiver(PositionSource::Fixed(FixedAt(3032.4, 'N', 11418.54, 'E', 4)), log);
        if (!c.bytes.empty()) SetReceiverConfigParaToShareMemory(c.entry, c.bytes.data());
        EXPECT_EQ(Run(receiver, c.op), c.outcome) << c.line;
        std::fclose(log);
        EXPECT_EQ(std::string(text), std::string("receiversim: ") + c.line + "\n");
        std::free(text);
    }
}

TEST_F(Stand_in, ReplayedLogAdvancesOneGgaPerTickAndFillsGsvSlots) {
    REQUIRE_LOGS();
    PositionSource source;
    ASSERT_TRUE(source.LoadLog(LogPath("ublox-zed-f9p-nmea.log")));
    Receiver receiver(std::move(source), log_);
    const auto sentences = Sentences("ublox-zed-f9p-nmea.log", "GGA");
    for (std::size_t i = 0; i < sentences.size() + 2; ++i) {
        receiver.Tick();
        GGAInfo gga{};
        GetGNSSInfoFromShareMemory(ENTRY_GGA, &gga);
        EXPECT_DOUBLE_EQ(gga.longitude, ParseGga(sentences[i % sentences.size()])->longitude) << i;
    }
    unsigned char slot[1032] = {};
    GetGNSSInfoFromShareMemory(ENTRY_GSV_GA, slot);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(slot), 6), "$GAGSV");
    EXPECT_FALSE(PositionSource().LoadLog(LogPath("COPYING")));
    EXPECT_FALSE(PositionSource().LoadLog("/nonexistent"));
}

TEST_F(Stand_in, ProgramWritesDefaultsStopsOnSignalsAndLeavesTheSegments) {
    for (int signal : {SIGTERM, SIGINT}) {
        RawGnss()[offsetof(GNSSInfo, GGA.available)] = 0;
        const pid_t sim = Spawn([] {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            std::vector<std::string> args = WithEmulator({RECEIVERSIM_PATH, "--tick-ms", "50"});
            std::vector<char *> argv;
            for (std::string &arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            return 127;
        });
        // Its first tick comes after it has set up its signal handlers and its configuration.
        for (int i = 0; i < 500 && RawGnss()[offsetof(GNSSInfo, GGA.available)] == 0; ++i) usleep(10 * 1000);
        EXPECT_FALSE(ConfigurationIsEmpty());
        kill(sim, signal);
        EXPECT_EQ(WaitChild(sim), 0);
        EXPECT_NE(shmget(3456, 0, 0), -1);
        EXPECT_NE(semget(3000, 0, 0), -1);
    }
    SerialPortConfig port{};
    GetReceiverConfigParaFromShareMemory(ENTRY_SP1_CONFIG, &port);
    EXPECT_EQ(port.Baudrate, 115200u);
}

// A daemon outlives a read that timed out: nothing is written on the strength of it (a list
// read as zeros would erase SmartBase station 1), and the next base start is carried out.
TEST_F(Stand_in, AReadThatTimesOutWritesNothingAndTheNextBaseStartIsCarriedOut) {
    Receiver receiver(PositionSource::Fixed(FixedAt(3032.4, 'N', 11418.54, 'E', 4)), log_);
    WriteConfiguration(DefaultConfiguration());
    const unsigned char smartbase = SMARTBASE_MODE;
    SetReceiverConfigParaToShareMemory(ENTRY_WORK_MODE, &smartbase);
    receiver.Tick();
    const std::vector<unsigned char> config = ConfigBytes();
    const std::vector<unsigned char> monitor = MonitorBytes();

    ASSERT_TRUE(SetLockFromAnotherProcess(OstrelConfig.sem_id, 0));
    SetMonitorOperate(ENTRY_WMODE_OP);
    EXPECT_TRUE(receiver.ServeMailbox());  // waits out the lock's bound
    EXPECT_EQ(GetMonitorOperateState(), OP_FAILED);
    ASSERT_TRUE(SetLockFromAnotherProcess(OstrelConfig.sem_id, 1));
    EXPECT_EQ(ConfigBytes(), config);
    std::vector<unsigned char> after = MonitorBytes();  // the same but for the mailbox
    for (std::size_t at : {offsetof(MonitorPara, OperateCode), offsetof(MonitorPara, OperateState)})
        after[at] = monitor[at];
    EXPECT_EQ(after, monitor);
    EXPECT_FALSE(receiver.BaseRunning());

    EXPECT_EQ(Run(receiver, ENTRY_WMODE_OP), OP_SUCCESS);
    EXPECT_TRUE(receiver.BaseRunning());
    EXPECT_EQ(RawMonitor()[offsetof(MonitorPara, SMARTBASE_ID)], 4);
    const std::size_t station1 = offsetof(ReceiverConfigPara, SMARTBASE[0]);
    EXPECT_TRUE(std::equal(config.begin() + station1, config.begin() + station1 + sizeof(SmartBaseInfo),
                           ConfigBytes().begin() + station1));
}

// An epoch's GSV groups: the primary signal's where the signal IDs say which, else the
// first; a system whose group is missing from a later epoch is cleared.
TEST_F(Stand_in, KeepsThePrimarySignalAndClearsSystemsThatStop) {
    const std::string gga = Nmea("GPGGA,120000.00,4552.65403,S,17030.00668,E,1,08,1.0,10.0,M,2.0,M,,");
    const std::string e5b = Nmea("GAGSV,1,1,01,07,10,100,30,2"), e1 = Nmea("GAGSV,1,1,01,07,10,100,45,7");
    // GPS: a group whose sentences do not all end in a signal ID, then an L1 C/A group.
    const std::string gp_mixed1 = Nmea("GPGSV,2,1,05,01,10,100,40,02,20,200,41,03,30,300,42,04,40,040,43");
    const std::string gp_mixed2 = Nmea("GPGSV,2,2,05,05,50,050,44,1");
    const std::string gp_l1 = Nmea("GPGSV,1,1,01,05,50,050,39,1");
    // GLONASS: no group of the primary signal, so the first.
    const std::string gl_l2 = Nmea("GLGSV,1,1,01,65,53,144,20,3"), gl_l3 = Nmea("GLGSV,1,1,01,65,53,144,21,5");
    const std::string bd_once = Nmea("BDGSV,1,1,01,11,20,200,33");
    const std::string path = testing::TempDir() + "epochs.nmea";
    {
        std::ofstream log(path);
        for (const std::string &line : {e5b, e1, gp_mixed1, gp_mixed2, gp_l1, gl_l2, gl_l3, bd_once, gga, e1, gga})
            log << line << "\r\n";
    }
    PositionSource source;
    ASSERT_TRUE(source.LoadLog(path));
    Receiver receiver(std::move(source), log_);
    const auto sentence = [](unsigned char entry, int n) {
        GSVSlot slot{};
        GetGNSSInfoFromShareMemory(entry, &slot);
        return std::string(slot.Sentence[n - 1], strnlen(slot.Sentence[n - 1], sizeof slot.Sentence[n - 1]));
    };
    receiver.Tick();
    EXPECT_EQ(sentence(ENTRY_GSV_GA, 1), e1);
    EXPECT_EQ(sentence(ENTRY_GSV_GP, 1), gp_l1);
    EXPECT_EQ(sentence(ENTRY_GSV_GP, 2), "");
    EXPECT_EQ(sentence(ENTRY_GSV_GL, 1), gl_l2);
    EXPECT_EQ(sentence(ENTRY_GSV_BD, 1), bd_once);
    receiver.Tick();
    EXPECT_EQ(sentence(ENTRY_GSV_GA, 1), e1);
    for (unsigned char entry : {ENTRY_GSV_GP, ENTRY_GSV_BD, ENTRY_GSV_GL})
        for (int n = 1; n <= 2; ++n) EXPECT_EQ(sentence(entry, n), "") << int(entry) << " " << n;
    std::remove(path.c_str());
}
