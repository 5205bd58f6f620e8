// settings run as the web server runs it: a group change stored whole across its entries and
// announced once per entry it changed, refusals that write and post nothing, conflicts.
#include <gtest/gtest.h>
#include <json-c/json.h>

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
std::string Revision() {
    const Json read = Parse(Settings(R"({"Group":"tracking"})"));
    json_object *revision = nullptr;
    json_object_object_get_ex(read.get(), "Revision", &revision);
    return json_object_get_string(revision);
}
std::string Change(const std::string &revision, const std::string &values) {
    return R"({"Group":"tracking","Revision":")" + revision + R"(","Values":{)" + values + "}}";
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
        {R"({"Group":"antennas"})", R"(Group must be one of "tracking")"},
        {R"({"Group":1})", R"(Group must be one of "tracking")"},
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
