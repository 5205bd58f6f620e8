// settings run as the web server runs it: a group change stored whole across its entries and
// announced once per entry it changed, refusals that write and post nothing, conflicts.
#include <gtest/gtest.h>
#include <json-c/json.h>

#include <cstring>
#include <map>
#include <memory>

#include "call_log_run.h"
#include "default_config.h"
#include "fake_receiver.h"
#include "json_text.h"
#include "process.h"
#include "segments.h"

using namespace testsupport;

namespace {

using Json = std::unique_ptr<json_object, decltype(&json_object_put)>;

Json Parse(const std::string &text) {
    return {json_tokener_parse(text.c_str()), json_object_put};
}
std::string Settings(const std::string &body) {
    return ReplyBody(Post(SETTINGS_PATH, body));
}
std::string Revision(const std::string &group = "tracking") {
    const Json read = Parse(Settings(R"({"Group":")" + group + R"("})"));
    json_object *revision = nullptr;
    json_object_object_get_ex(read.get(), "Revision", &revision);
    return json_object_get_string(revision);
}
std::string Change(const std::string &revision, const std::string &values) {
    return R"({"Group":"tracking","Revision":")" + revision + R"(","Values":{)" + values + "}}";
}
std::string ChangeOf(const std::string &group, const std::string &values) {
    return R"({"Group":")" + group + R"(","Revision":")" + Revision(group) + R"(","Values":{)" + values + "}}";
}
std::string Failed(const std::string &error) {
    return R"({ "Res": "Failed", "Error": )" + Str(error) + " }";
}

struct LoggedRun {
    std::string reply;
    std::vector<std::string> calls;
    std::vector<int> taken;
};

LoggedRun RunLogged(const std::string &body, const std::string &fail_call = "") {
    FakeReceiver receiver({});
    CallLogRun run = RunWithCallLog(SETTINGS_PATH, body, fail_call);
    return {ReplyBody(run.result), std::move(run.calls), Codes(receiver.Stop())};
}

constexpr const char *kDefaults =
    R"("Values": { "ElevationMask": 10, "PDOPLimit": 6, "GPS": true, "BeiDou": true, "GLONASS": true, )"
    R"("Galileo": true, "QZSS": true, "SBAS": true, "SBASService": 0 })";

constexpr const char *kGroupChoice =
    R"(Group must be one of "tracking", "identity", "health", "links", "antenna", "recorder1", "recorder2", )"
    R"("network", "maintenance")";
constexpr const char *kSerialNumberReadOnly = "SerialNumber is read-only: the receiver writes it";
constexpr const char *kHeightRule = "AntennaHeight must be a number from -10 to 100 m in steps of 0.0001";
constexpr const char *kTypeRule =
    "AntennaType must be a text of exactly 20 printable ASCII characters (no control characters)";
constexpr const char *kFolderRule = "FolderName must be a text of 1 to 16 of the characters A-Z a-z 0-9 - _";
constexpr const char *kMarkRule = "MarkName must be a text of 1 to 11 of the characters A-Z a-z 0-9 - _";
constexpr const char *kIntervalRule =
    "Interval must be 50 (50 ms (20 Hz)), 100 (100 ms (10 Hz)), 200 (200 ms (5 Hz)), "
    "500 (500 ms (2 Hz)), 1000 (1 s), 2000 (2 s), 5000 (5 s), 10000 (10 s), 15000 (15 s), 30000 (30 s) or 60000 (1 "
    "min)";
constexpr const char *kFreeSpaceReadOnly = "FreeSpace is read-only: the receiver writes it";
constexpr const char *kFormatConfirm =
    "Confirm must be \"format storage\", typed by the person who confirms that every recorded file is deleted";

class Settings_ : public testing::Test {
 protected:
    void SetUp() override {
        ASSERT_EQ(InitShareMemory(), 0);
        receiversim::WriteConfiguration(receiversim::DefaultConfiguration());
    }
};

}  // namespace

TEST_F(Settings_, AReadShowsTheGroupWithItsRevision) {
    const std::string read = Settings(R"({"Group":"tracking"})");
    EXPECT_EQ(read.substr(0, read.find(R"(, "Revision")")),
              std::string(R"({ "Res": "Success", "Group": "tracking", )") + kDefaults);
}

// A change then a read shows exactly the change; the entries are written in one call, then
// one operation is posted per entry whose bytes changed (both SBAS keys: one entry, one post),
// in the order of the rows; the receiver takes each.
TEST_F(Settings_, AChangeIsWrittenWholeThenEachChangedEntryPostedOnce) {
    const LoggedRun run = RunLogged(Change(
        Revision(), R"("PDOPLimit":2.5,"SBASService":2,"ElevationMask":15,"SBAS":false,"GPS":true,"QZSS":false)"));
    EXPECT_EQ(run.reply.substr(0, run.reply.find(R"(, "Revision")")),
              R"({ "Res": "Success", "Group": "tracking", "Values": { "ElevationMask": 15, "PDOPLimit": 2.5, )"
              R"("GPS": true, "BeiDou": true, "GLONASS": true, "Galileo": true, "QZSS": false, "SBAS": false, )"
              R"("SBASService": 2 })");
    EXPECT_EQ(run.calls, (std::vector<std::string>{"config 27", "config 26", "config 34", "config 35", "post 15",
                                                   "post 49", "post 21", "post 22"}));
    EXPECT_EQ(run.taken, (std::vector<int>{15, 49, 21, 22}));
    EXPECT_EQ(RawConfig()[offsetof(ReceiverConfigPara, MASK_ANGLE)], 15);
    EXPECT_EQ(RawConfig()[offsetof(ReceiverConfigPara, PDOP_LIMIT)], 25);
    EXPECT_EQ(RawConfig()[offsetof(ReceiverConfigPara, SBAS_ENABLE) + 1], 2);

    // The group sent back as read changes nothing: no write, no post.
    const auto config = ConfigBytes();
    const std::string read = Settings(R"({"Group":"tracking"})");
    const Json values = Parse(read);
    json_object *shown = nullptr;
    json_object_object_get_ex(values.get(), "Values", &shown);
    const std::string text = json_object_to_json_string_ext(shown, JSON_C_TO_STRING_PLAIN);
    const LoggedRun same = RunLogged(Change(Revision(), text.substr(1, text.size() - 2)));
    EXPECT_EQ(same.reply, read);
    EXPECT_TRUE(same.calls.empty() && same.taken.empty());
    EXPECT_EQ(ConfigBytes(), config);

    // A stale revision is a conflict, whatever it asks.
    const LoggedRun stale = RunLogged(Change(std::string(16, '0'), R"("ElevationMask":20)"));
    EXPECT_EQ(stale.reply, R"({ "Res": "Conflict", "Error": "someone else changed the tracking settings: reload )"
                           R"(them and make the change again" })");
    EXPECT_TRUE(stale.taken.empty());
    EXPECT_EQ(ConfigBytes(), config);
}

// Every bad request: a clear error naming what is wrong, no byte of either segment changed,
// nothing written or posted.
TEST_F(Settings_, RefusalsNameTheKeyAndWriteAndPostNothing) {
    const std::string r = Revision();
    const std::pair<std::string, std::string> refusals[] = {
        {Change(r, R"("ElevationMask":91)"), "ElevationMask must be a whole number from 0 to 90"},
        {Change(r, R"("ElevationMask":-1)"), "ElevationMask must be a whole number from 0 to 90"},
        {Change(r, R"("ElevationMask":"10")"), "ElevationMask must be a whole number from 0 to 90"},
        {Change(r, R"("PDOPLimit":0)"), "PDOPLimit must be a number from 1 to 99.9 in steps of 0.1"},
        {Change(r, R"("PDOPLimit":1000)"), "PDOPLimit must be a number from 1 to 99.9 in steps of 0.1"},
        {Change(r, R"("PDOPLimit":2.55)"), "PDOPLimit must be a number from 1 to 99.9 in steps of 0.1"},
        {Change(r, R"("GPS":2)"), "GPS must be true or false"},
        {Change(r, R"("GPS":1)"), "GPS must be true or false"},
        {Change(r, R"("SBASService":9)"),
         "SBASService must be 0 (automatic, by the position), 1 (WAAS), 2 (EGNOS), "
         "3 (MSAS), 4 (GAGAN), 5 (SDCM), 6 (BDSBAS), 7 (KASS) or 8 (SouthPAN)"},
        {Change(r, R"("ElevationMask":15,"Mask":3)"), "unknown key Mask for the tracking settings"},
        {Change(r, R"("ElevationMask":15,"ElevationMask":16)"), "the request names ElevationMask twice"},
        {Change(r, R"("ElevationMask":015)"), "the request must be strict JSON: number expected"},
        {R"({"Group":"antennas"})", kGroupChoice},
        {R"({"Group":1})", kGroupChoice},
        {R"({"Group":"tracking","Values":{"GPS":false}})", "a change sends both Revision and Values"},
        {R"({"Group":"tracking","Revision":")" + r + R"(","Values":[]})",
         "Values must be an object of the keys to "
         "change"},
        {R"({"Group":"tracking","Revision":"x","Values":{}})",
         "Revision must be sent as a read of the group gave it, to change it"},
        {R"({"Group":"tracking","TransID":5})",
         "unknown member TransID: a request has Group, and Revision and Values to change"},
        {R"({"Describe":true,"Group":"tracking"})", R"(Describe is asked alone, as {"Describe": true})"},
        {R"({"Group":"tracking","Revision":")" + r + R"(","Values":{"GPS":")" + std::string(16400, 'x') + R"("}})",
         "the request holds 16470 characters: at most 16384 are taken"},
        // The receiver's own groups: what it reports is read-only, names go into file names and
        // RINEX headers, the antenna's height is what a tripod or pillar can have.
        {ChangeOf("network", R"("IP":"10.0.0.1")"),
         "IP is read-only: the network settings are changed on the receiver itself for now"},
        {ChangeOf("identity", R"("SerialNumber":"X")"), kSerialNumberReadOnly},
        {ChangeOf("antenna", R"("AntennaHeight":100.0001)"), kHeightRule},
        {ChangeOf("antenna", R"("AntennaHeight":-10.5)"), kHeightRule},
        {ChangeOf("antenna", R"("AntennaType":"TRM57971.00")"), kTypeRule},
        {ChangeOf("recorder1", R"("FolderName":"../etc")"), kFolderRule},
        {ChangeOf("recorder1", R"("MarkName":"BASE 01")"), kMarkRule},
        {ChangeOf("recorder1", R"("MarkName":"ABCDEFGHIJKL")"), kMarkRule},
        {ChangeOf("recorder2", R"("Interval":300)"), kIntervalRule},
        {ChangeOf("recorder1", R"("FreeSpace":5)"), kFreeSpaceReadOnly},
        {R"({"Group":"maintenance","Action":"reboot","Confirm":"reboot"})",
         R"(Action must be one of "restart", "shut down", "restore settings", "format storage", "clear ephemerides")"},
        {R"({"Group":"maintenance","Action":"format storage"})", kFormatConfirm},
        {R"({"Group":"maintenance","Action":"format storage","Confirm":"FORMAT"})", kFormatConfirm},
        {R"({"Group":"maintenance","Action":"restart","Values":{}})",
         "unknown member Values: a request has Group, and Action and Confirm to carry one out"},
    };
    const auto config = ConfigBytes(), monitor = MonitorBytes();
    for (const auto &[body, error] : refusals) {
        const LoggedRun run = RunLogged(body);
        EXPECT_EQ(run.reply, Failed(error)) << body.substr(0, 80);
        EXPECT_TRUE(run.calls.empty() && run.taken.empty()) << body.substr(0, 80);
    }
    EXPECT_TRUE(ConfigBytes() == config && MonitorBytes() == monitor);
}

// The describe reply against what the program takes: each described row's Min and Max (or
// each choice, or both flags) is stored, and a value past its Max answers its "Error".
TEST_F(Settings_, TheDescriptionIsWhatTheProgramTakes) {
    const Json described = Parse(Settings(R"({"Describe":true})"));
    json_object *groups = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(described.get(), "Groups", &groups));
    json_object *keys = nullptr;
    ASSERT_TRUE(json_object_object_get_ex(json_object_array_get_idx(groups, 0), "Keys", &keys));
    ASSERT_EQ(json_object_array_length(keys), 9u);
    for (std::size_t i = 0; i < json_object_array_length(keys); ++i) {
        json_object *row = json_object_array_get_idx(keys, i);
        const auto get = [row](const char *name) {
            json_object *value = nullptr;
            json_object_object_get_ex(row, name, &value);
            return std::string(value == nullptr ? "" : json_object_to_json_string_ext(value, JSON_C_TO_STRING_PLAIN));
        };
        const std::string key = get("Key"), type = get("Type");
        std::vector<std::string> taken;
        if (type == R"("Flag")") taken = {"true", "false"};
        if (type == R"("Number")" || type == R"("Decimal")") taken = {get("Min"), get("Max")};
        if (type == R"("Choice")") taken = {"0", "8"};
        ASSERT_FALSE(taken.empty()) << key;
        for (const std::string &value : taken)
            EXPECT_EQ(RunLogged(Change(Revision(), key + ":" + value)).reply.rfind(R"({ "Res": "Success")", 0), 0u)
                << key << value;
        if (type != R"("Flag")") {
            const std::string error = json_object_get_string(json_object_object_get(row, "Error"));
            EXPECT_EQ(Settings(Change(Revision(), key + ":1000")), Failed(error)) << key;
        }
    }
}

// rolekind's rows against rolekind: a value just past each row's rule is refused with the
// row's "Error", word for word, and changes no byte.
TEST_F(Settings_, TheWorkModeRowsAreWhatRoleKindRefuses) {
    const std::map<std::string, std::string> forms = {
        {"Key 2", R"({"Key":"2","Station":{"ID":"BASE","Coordinate":{"Longitude":{"DEG":"114","MIN":"5","SEC":"7.5",)"
                  R"("HEM":"E"},"Latitude":{"DEG":"30","MIN":"12","SEC":"34.5","HEM":"N"}},"Height":"12.5"}})"},
        {"Key 4", R"({"Key":"4","ID":"BASE"})"},
        {"Modify", R"({"Modify":"2","Station":{"ID":"B2","Coordinate":{"Longitude":{"DEG":"114.0507","HEM":"E"},)"
                   R"("Latitude":{"DEG":"30.1234","HEM":"N"}},"Height":"1"}})"},
        {"Mode", R"({"Mode":"0","Rover":{"PPS":"OFF","EVENT":"OFF"}})"}};
    const Json described = Parse(Settings(R"({"Describe":true})"));
    json_object *groups = json_object_object_get(described.get(), "Groups");
    json_object *workmode = json_object_array_get_idx(groups, json_object_array_length(groups) - 1);
    ASSERT_STREQ(json_object_get_string(json_object_object_get(workmode, "Program")), "rolekind");
    json_object *keys = json_object_object_get(workmode, "Keys");
    ASSERT_EQ(json_object_array_length(keys), 19u);
    const auto config = ConfigBytes();
    for (std::size_t i = 0; i < json_object_array_length(keys); ++i) {
        json_object *row = json_object_array_get_idx(keys, i);
        const auto text = [row](const char *name) {
            json_object *value = json_object_object_get(row, name);
            return std::string(value == nullptr ? "" : json_object_get_string(value));
        };
        const std::string type = text("Type"), key = text("Key");
        std::string bad = "\x01";  // a Text or a Choice
        if (type == "Number") bad = std::to_string(json_object_get_int(json_object_object_get(row, "Max")) + 1);
        if (type == "Decimal") bad = text("MaxBelow").empty() ? text("Max") + ".5" : text("MaxBelow");
        const Json request = Parse(forms.at(text("Form")));
        json_object *member = request.get();
        std::string rest = key;
        for (std::size_t dot; (dot = rest.find('.')) != std::string::npos; rest = rest.substr(dot + 1))
            member = json_object_object_get(member, rest.substr(0, dot).c_str());
        json_object_object_add(member, rest.c_str(), json_object_new_string(bad.c_str()));
        EXPECT_EQ(ReplyBody(Post(ROLEKIND_PATH, json_object_to_json_string(request.get()))), Failed(text("Error")))
            << text("Form") << " " << key;
    }
    EXPECT_TRUE(ConfigBytes() == config);
}

// The antenna is one block in three places: a change writes all three in one call and posts
// each place's operation once; a read then shows exactly the change, in every place.
TEST_F(Settings_, AnAntennaChangeWritesItsBlockIntoBothRecordersAndPostsEachOnce) {
    const LoggedRun run = RunLogged(
        ChangeOf("antenna", R"("AntennaType":"LEIAR25.R3      LEIT","AntennaHeight":1.8345,"HeightMethod":1)"));
    EXPECT_EQ(run.reply.substr(0, run.reply.find(R"(, "AntennaTypes")")),
              R"({ "Res": "Success", "Group": "antenna", "Values": { "AntennaType": "LEIAR25.R3      LEIT", )"
              R"("AntennaHeight": 1.8345, "HeightMethod": 1 })");
    EXPECT_EQ(run.calls,
              (std::vector<std::string>{"config 39", "config 40", "config 41", "post 26", "post 27", "post 28"}));
    EXPECT_EQ(run.taken, (std::vector<int>{26, 27, 28}));
    const unsigned char *config = RawConfig();
    const unsigned char *antenna = config + offsetof(ReceiverConfigPara, ANTENNA_INFO);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(antenna)), "LEIAR25.R3      LEIT");
    int height = 0;
    std::memcpy(&height, antenna + 24, sizeof height);
    EXPECT_EQ(height, 18345);  // tenths of a millimetre
    for (std::size_t recorder : {offsetof(ReceiverConfigPara, REC1), offsetof(ReceiverConfigPara, REC2)})
        EXPECT_EQ(std::memcmp(config + recorder + offsetof(RecConfig, Antenna), antenna, sizeof(RecConfig::Antenna)),
                  0);
}

// A start is the recorder's user state in the monitor segment, posted with its operation; it
// is no setting, so it needs no other revision than the settings shown. Without space left it
// is refused, and nothing is written or posted.
TEST_F(Settings_, ARecorderStartsAndStopsThroughItsUserStateAndNeverWithoutSpace) {
    for (unsigned char recorder : {1, 2}) ASSERT_EQ(SetReceiverRecConfFreeSpace(recorder, 6000), 0);
    const LoggedRun start = RunLogged(ChangeOf("recorder1", R"("Recording":1)"));
    EXPECT_NE(start.reply.find(R"("Recording": 1, "State": 1 })"), std::string::npos) << start.reply;
    EXPECT_EQ(start.calls, (std::vector<std::string>{"monitor 6", "post 42"}));
    EXPECT_EQ(start.taken, (std::vector<int>{42}));
    const LoggedRun stop = RunLogged(ChangeOf("recorder1", R"("Recording":0)"));
    EXPECT_NE(stop.reply.find(R"("Recording": 0, "State": 0 })"), std::string::npos) << stop.reply;
    EXPECT_EQ(stop.taken, (std::vector<int>{42}));

    RecConfig full{};
    ASSERT_EQ(GetReceiverConfigParaFromShareMemory(ENTRY_REC2_CONFIG, &full), 0);
    full.FreeSpace = 0;
    ASSERT_EQ(SetReceiverConfigParaToShareMemory(ENTRY_REC2_CONFIG, &full), 0);
    const auto config = ConfigBytes(), monitor = MonitorBytes();
    const LoggedRun refused = RunLogged(ChangeOf("recorder2", R"("Recording":1,"MarkName":"PILLAR2")"));
    EXPECT_EQ(refused.reply, Failed("Recording cannot start: recorder 2 has no space left (its FreeSpace is 0 MB); "
                                    "format the storage or raise its MaxSpace"));
    EXPECT_TRUE(refused.calls.empty() && refused.taken.empty());
    EXPECT_TRUE(ConfigBytes() == config && MonitorBytes() == monitor);
}

// An action the receiver answers is answered with its outcome; one that takes the web server
// down too is answered "sent".
TEST_F(Settings_, MaintenanceIsPostedOnlyWithItsConfirmationAndAnsweredAsTheReceiverAnswers) {
    const LoggedRun cleared =
        RunLogged(R"({"Group":"maintenance","Action":"clear ephemerides","Confirm":"clear ephemerides"})");
    EXPECT_EQ(cleared.reply, R"({ "Res": "Success", "Action": "clear ephemerides", "Result": "done" })");
    EXPECT_EQ(cleared.taken, (std::vector<int>{38}));
    const LoggedRun restart = RunLogged(R"({"Group":"maintenance","Action":"restart","Confirm":"restart"})");
    EXPECT_EQ(restart.reply, R"({ "Res": "Success", "Action": "restart", "Result": "sent" })");
    EXPECT_EQ(restart.taken, (std::vector<int>{40}));
}
