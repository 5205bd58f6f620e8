// The grshm tool, run as a person would run it, against private segments.
#include <gtest/gtest.h>
#include <json-c/json.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include "fake_receiver.h"
#include "process.h"
#include "segments.h"

using namespace testsupport;

namespace {

CommandResult Grshm(std::vector<std::string> args) {
    args.insert(args.begin(), GRSHM_PATH);
    return RunCommand(args);
}

class GrshmTool : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    // Sets a value and reads it back through the tool; returns what get printed.
    static std::string RoundTrip(const std::string &segment, const std::string &entry, const std::string &value) {
        const CommandResult set = Grshm({"set", segment, entry, value});
        EXPECT_EQ(set.exit_status, 0) << set.err;
        const CommandResult get = Grshm({"get", segment, entry});
        EXPECT_EQ(get.exit_status, 0) << get.err;
        return get.out;
    }
};

// The "hex" member of a --json reply.
std::string JsonMember(const std::string &json, const char *key) {
    json_object *object = json_tokener_parse(json.c_str());
    EXPECT_NE(object, nullptr) << json;
    json_object *member = nullptr;
    std::string text;
    if (json_object_object_get_ex(object, key, &member)) text = json_object_get_string(member);
    json_object_put(object);
    return text;
}

std::string HexOf(const unsigned char *bytes, std::size_t size) {
    std::string text;
    char pair[3];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

}  // namespace

TEST(GrshmWithoutSegments, StatusSaysSoAndCreatesNothing) {
    const CommandResult status = Grshm({"status"});
    EXPECT_EQ(status.exit_status, 1);
    EXPECT_NE(status.out.find("No segments exist"), std::string::npos) << status.out;
    const CommandResult get = Grshm({"get", "config", "ENTRY_WORK_MODE"});
    EXPECT_EQ(get.exit_status, 1);
    EXPECT_NE(get.err.find("do not exist"), std::string::npos);
    EXPECT_EQ(shmget(CONFIG_SHM_KEY, 0, 0), -1) << "grshm created a segment";
    EXPECT_EQ(shmget(MONITOR_SHM_KEY, 0, 0), -1);
}

TEST_F(GrshmTool, StatusShowsSegmentsLocksAndMailbox) {
    SetMonitorOperate(ENTRY_GPOS_OP);
    const CommandResult status = Grshm({"status"});
    EXPECT_EQ(status.exit_status, 0);
    EXPECT_NE(status.out.find("config   3456     18400    1"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("free (1)"), std::string::npos);
    EXPECT_NE(status.out.find("mailbox: operation ENTRY_GPOS_OP (44), state OP_EXE (2)"), std::string::npos);
}

TEST_F(GrshmTool, RoundTripsOfEachKindOfValue) {
    EXPECT_EQ(RoundTrip("config", "ENTRY_WORK_MODE", "4"), "ENTRY_WORK_MODE: 4\n");
    EXPECT_EQ(RawConfig()[325], 4);
    EXPECT_EQ(RoundTrip("config", "104", "0xBEEF"), "ENTRY_SMARTBASE_INDEX: 48879\n");
    EXPECT_EQ(RoundTrip("config", "ENTRY_HTTP_PORT", "4294967295"),
              "ENTRY_HTTP_PORT: 4294967295\n  network.HttpPort: -1 (Web server port)\n");
    EXPECT_EQ(RoundTrip("config", "ENTRY_STATION_ID", "BASE 7"), "ENTRY_STATION_ID: \"BASE 7\"\n");
    EXPECT_EQ(RoundTrip("config", "ENTRY_IP", "192.168.1.10"),
              "ENTRY_IP: \"192.168.1.10\"\n  network.IP: \"192.168.1.10\" (Address)\n");
    const unsigned int ip[4] = {192, 168, 1, 10};
    EXPECT_EQ(std::memcmp(RawConfig() + 156, ip, sizeof ip), 0);
    EXPECT_EQ(RoundTrip("monitor", "ENTRY_STATION_STATE", "1"), "ENTRY_STATION_STATE: 1\n");
    EXPECT_EQ(RoundTrip("gnss", "ENTRY_GGA_MSG", "$GPGGA,1*00"), "ENTRY_GGA_MSG: \"$GPGGA,1*00\"\n");

    // Any entry from hex: a SmartBase station, then decoded.
    SmartBaseInfo station{};
    std::strcpy(station.id, "SB-9");
    station.coordinate_point.Latitude = 30.5;
    station.coordinate_point.LatDirection = 'N';
    station.available = 1;
    const std::string hex = HexOf(reinterpret_cast<const unsigned char *>(&station), sizeof station);
    ASSERT_EQ(Grshm({"set", "config", "ENTRY_SMARTBASE9_CONFIG", "--hex", hex}).exit_status, 0);
    EXPECT_EQ(std::memcmp(RawConfig() + 16232 + 8 * 72, &station, sizeof station), 0);
    const std::string shown = Grshm({"get", "config", "80"}).out;
    EXPECT_NE(shown.find("id: \"SB-9\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("coordinate_point.Latitude: 30.5"), std::string::npos);
    EXPECT_NE(shown.find("available: 1"), std::string::npos);
}

TEST_F(GrshmTool, JsonMatchesTheSegmentsBytes) {
    const CommandResult tcp = Grshm({"get", "config", "ENTRY_TCP1_CONFIG", "--json"});
    ASSERT_EQ(tcp.exit_status, 0);
    SetReceiverConfigParaToShareMemory(ENTRY_TCP1_CONFIG, Pattern(1904, 3).data());
    const CommandResult changed = Grshm({"get", "config", "ENTRY_TCP1_CONFIG", "--json"});
    EXPECT_EQ(JsonMember(changed.out, "hex"), HexOf(RawConfig() + 5568, 1904));
    EXPECT_EQ(JsonMember(changed.out, "offset"), "5568");
    EXPECT_EQ(JsonMember(changed.out, "entry"), "ENTRY_TCP1_CONFIG");

    const CommandResult dump = Grshm({"dump", "monitor", "--json"});
    ASSERT_EQ(dump.exit_status, 0);
    json_object *entries = json_tokener_parse(dump.out.c_str());
    ASSERT_TRUE(json_object_is_type(entries, json_type_array));
    std::size_t covered = 0;
    for (std::size_t i = 0; i < json_object_array_length(entries); ++i) {
        json_object *entry = json_object_array_get_idx(entries, i);
        json_object *offset = nullptr;
        json_object *hex = nullptr;
        json_object_object_get_ex(entry, "offset", &offset);
        json_object_object_get_ex(entry, "hex", &hex);
        const std::string text = json_object_get_string(hex);
        EXPECT_EQ(text, HexOf(RawMonitor() + json_object_get_int(offset), text.size() / 2));
        covered += text.size() / 2;
    }
    json_object_put(entries);
    EXPECT_GT(covered, 34000u);
}

TEST_F(GrshmTool, RefusesBadNamesSizesAndValuesWithoutWriting) {
    const auto config = ConfigBytes();
    const auto monitor = MonitorBytes();
    const std::vector<std::vector<std::string>> refused = {
        {"set", "config", "ENTRY_WORK_MODE", "256"},
        {"set", "config", "ENTRY_WORK_MODE", "-1"},
        {"set", "config", "ENTRY_WORK_MODE", "4x"},
        {"set", "config", "ENTRY_STATION_ID", "0123456789ABCDEF"},
        {"set", "config", "ENTRY_IP", "192.168.1"},
        {"set", "config", "ENTRY_IP", "192.168.1.256"},
        {"set", "config", "ENTRY_TCP1_CONFIG", "1"},
        {"set", "config", "ENTRY_SN", "--hex", "00ff"},
        {"set", "config", "ENTRY_REC1_PFN", "x"},
        {"set", "monitor", "ENTRY_OP_STATE", "1"},
        {"set", "config", "ENTRY_NOPE", "1"},
        {"set", "config", "999", "1"},
        {"set", "nvram", "ENTRY_WORK_MODE", "1"},
        {"get", "config"},
        {"post", "ENTRY_NO_SUCH_OP"},
        {"frobnicate"},
    };
    for (const auto &args : refused) {
        const CommandResult result = Grshm(args);
        EXPECT_EQ(result.exit_status, 2) << args[0] << " " << (args.size() > 2 ? args[2] : "");
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_EQ(ConfigBytes(), config);
    EXPECT_EQ(MonitorBytes(), monitor);
    EXPECT_EQ(Grshm({"set", "--help"}).exit_status, 0);
    EXPECT_EQ(Grshm({"--help"}).exit_status, 0);
}

TEST_F(GrshmTool, PostWaitsForTheReceiversOutcome) {
    FakeReceiver receiver(FakeReceiverSettings{});
    const CommandResult post = Grshm({"post", "ENTRY_PPS_OP", "--wait"});
    EXPECT_EQ(post.exit_status, 0) << post.err;
    EXPECT_EQ(post.out, "posted ENTRY_PPS_OP (13)\noutcome OP_SUCCESS (3)\n");
    EXPECT_EQ(Codes(receiver.Stop()), std::vector<int>{ENTRY_PPS_OP});

    SetMonitorOperate(ENTRY_RESTART_OP);  // nobody finishes it now
    const CommandResult busy = Grshm({"post", "12", "--timeout", "200"});
    EXPECT_EQ(busy.exit_status, 1);
    EXPECT_NE(busy.err.find("stayed busy"), std::string::npos);
    EXPECT_EQ(RawMonitor()[13330], ENTRY_RESTART_OP);
}

// An entry a setting row describes shows as the row shows it and is set by the row's rule:
// what the rule refuses is refused with the row's message and writes nothing.
TEST_F(GrshmTool, DescribedEntriesGoThroughTheirRows) {
    EXPECT_EQ(RoundTrip("config", "ENTRY_MASK_ANGLE", "15"),
              "ENTRY_MASK_ANGLE: 15\n  tracking.ElevationMask: 15 \xC2\xB0 (Elevation mask)\n");
    EXPECT_EQ(RoundTrip("config", "ENTRY_PDOP_LIMIT", "2.5"),
              "ENTRY_PDOP_LIMIT: 25\n  tracking.PDOPLimit: 2.5 (PDOP limit)\n");
    const auto before = ConfigBytes();
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"set", "config", "ENTRY_MASK_ANGLE", "91"}, "ElevationMask must be a whole number from 0 to 90"},
        {{"set", "config", "ENTRY_MASK_ANGLE", "015"}, "ElevationMask must be a whole number from 0 to 90"},
        {{"set", "config", "ENTRY_GPS_ENABLE", "2"}, "GPS must be true or false"},
    };
    for (const auto &[args, error] : refusals) {
        const CommandResult set = Grshm(args);
        EXPECT_EQ(set.exit_status, 2) << args[3];
        EXPECT_EQ(set.err, "grshm: " + error + " (see grshm set --help)\n") << args[3];
    }
    EXPECT_EQ(ConfigBytes(), before);
    // Both SBAS bytes in one entry: set as bytes, shown row by row.
    ASSERT_EQ(Grshm({"set", "config", "ENTRY_SBAS_ENABLE", "--hex", "0102"}).exit_status, 0);
    EXPECT_EQ(Grshm({"get", "config", "ENTRY_SBAS_ENABLE"}).out,
              "ENTRY_SBAS_ENABLE: \"0102\"\n  tracking.SBAS: true (SBAS)\n  tracking.SBASService: 2 (SBAS service)\n");
}
