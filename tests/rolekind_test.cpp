// rolekind run as the web server runs it, against a receiver stand-in in another process
// that records every operation with the entries as they stood when it was posted.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>

#include "call_log_run.h"
#include "fake_receiver.h"
#include "json_text.h"
#include "process.h"
#include "segments.h"

using namespace testsupport;

namespace {

constexpr const char *kHeader = "Content-type: application/text;charset=utf-8\n\n";

std::string Angle(const char *deg, const char *min, const char *sec, const char *hem) {
    return Obj({{"DEG", Str(deg)}, {"MIN", Str(min)}, {"SEC", Str(sec)}, {"HEM", Str(hem)}});
}

std::string EmptyListStation() {
    const std::string angle = Angle("0.000000000", "0.00", "0.00", "");
    return Obj({{"ID", Str("")},
                {"Coordinate", Obj({{"Longitude", angle}, {"Latitude", angle}})},
                {"Height", Str("0.000000")},
                {"StationState", "0"}});
}

const char *kBaseStart = R"({"Key":"2","Station":{"ID":"BASE7","Coordinate":{
  "Longitude":{"DEG":"116","MIN":"23","SEC":"27.36","HEM":"E"},
  "Latitude":{"DEG":"30","MIN":"12","SEC":"0","HEM":"N"}},"Height":"45.5","StationState":"0"}})";

const char *kListEdit = R"({"Modify":"%s","Station":{"ID":"SB-%s","Coordinate":{
  "Longitude":{"DEG":"114.302512345","MIN":"0.00","SEC":"0.00","HEM":"E"},
  "Latitude":{"DEG":"30.123456789","MIN":"0.00","SEC":"0.00","HEM":"N"}},"Height":"12.25"}})";

// The body with the first occurrence of from replaced by to.
std::string With(std::string body, const std::string &from, const std::string &to) {
    const std::size_t at = body.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return body.replace(at, from.size(), to);
}

std::string ListEdit(const std::string &position) {
    char text[1024];
    std::snprintf(text, sizeof text, kListEdit, position.c_str(), position.c_str());
    return text;
}

class RoleKind : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static std::string Request(const std::string &body) {
        const ProgramResult result = Post(ROLEKIND_PATH, body);
        EXPECT_EQ(result.exit_status, 0);
        return ReplyBody(result);
    }

    // Serves a request with a receiver on the other side; returns the reply and what the
    // receiver took.
    std::string Serve(const std::string &body, std::vector<TakenOperation> *taken = nullptr) {
        FakeReceiver receiver(settings_);
        const std::string reply = Request(body);
        auto operations = receiver.Stop();
        if (taken != nullptr) *taken = operations;
        return reply;
    }

    static void StoreByte(unsigned char entry, unsigned char value) {
        SetReceiverConfigParaToShareMemory(entry, &value);
    }

    FakeReceiverSettings settings_;
};

}  // namespace

TEST_F(RoleKind, StatusReportOfFreshSegments) {
    std::vector<TakenOperation> taken;
    const std::string reply = Serve("{}", &taken);
    const std::string base_angle = Angle("0", "0", "0.000000", "");
    Members expected = {
        {"Mode", "0"},
        {"Rover", Obj({{"PPS", Str("OFF")}, {"EVENT", Str("OFF")}, {"CLK", Str("OFF")}})},
        {"Station", Obj({{"ID", Str("")},
                         {"Coordinate", Obj({{"Longitude", base_angle}, {"Latitude", base_angle}})},
                         {"Height", Str("0.000000")},
                         {"StationState", "0"}})},
        {"SinglePoint", Obj({{"PPS", Str("OFF")}, {"EVENT", Str("OFF")}, {"CLK", Str("ON")}})},
    };
    for (int n = 1; n <= 30; ++n) expected.push_back({"Station" + std::to_string(n), EmptyListStation()});
    EXPECT_EQ(reply, Obj(expected));
    EXPECT_TRUE(taken.empty());
    // An unparsable request and a request without deciding members get the same report.
    EXPECT_EQ(Request("{\"Key\":"), reply);
    EXPECT_EQ(Request("{\"Other\":1}"), reply);
    EXPECT_EQ(ConfigBytes(), std::vector<unsigned char>(sizeof(ReceiverConfigPara), 0));
}

TEST_F(RoleKind, StatusReportOfStoredSettings) {
    StoreByte(ENTRY_WORK_MODE, SINGLE_MODE);
    StoreByte(ENTRY_PPS_ENABLE, 1);
    StoreByte(ENTRY_EVENT_ENABLE, 0);
    char id[16] = "BASE01";
    SetReceiverConfigParaToShareMemory(ENTRY_STATION_ID, id);
    Coordinates pos{};
    pos.Longitude = -11623.456;
    pos.LonDirection = 'W';
    pos.Latitude = 3012.0;
    pos.LatDirection = 'S';
    pos.Elevation = 45.5;
    SetReceiverConfigParaToShareMemory(ENTRY_STATION_POS, &pos);
    const unsigned char running = STATION_STARTUP;
    SetMonitorParaToShareMemory(ENTRY_STATION_STATE, &running);
    SmartBaseInfo station{};
    std::memcpy(station.id, "0123456789ABCDEF", 16);  // a full field without terminator
    station.coordinate_point.Latitude = 30.123456789;
    station.coordinate_point.LatDirection = 'N';
    station.coordinate_point.Longitude = -114.5;
    station.coordinate_point.LonDirection = 'W';
    station.coordinate_point.Elevation = -3.25;
    station.available = 1;
    SetReceiverConfigParaToShareMemory(ENTRY_SMARTBASE2_CONFIG, &station);

    const std::string list2 = Obj({{"ID", Str("0123456789ABCDEF")},
                                   {"Coordinate", Obj({{"Longitude", Angle("-114.500000000", "0.00", "0.00", "W")},
                                                       {"Latitude", Angle("30.123456789", "0.00", "0.00", "N")}})},
                                   {"Height", Str("-3.250000")},
                                   {"StationState", "1"}});
    Members expected = {
        {"Mode", "2"},
        {"Rover", Obj({{"PPS", Str("ON")}, {"EVENT", Str("OFF")}, {"CLK", Str("OFF")}})},
        {"Station", Obj({{"ID", Str("BASE01")},
                         {"Coordinate", Obj({{"Longitude", Angle("116", "23", "27.360000", "W")},
                                             {"Latitude", Angle("30", "12", "0.000000", "S")}})},
                         {"Height", Str("45.500000")},
                         {"StationState", "1"}})},
        {"SinglePoint", Obj({{"PPS", Str("ON")}, {"EVENT", Str("OFF")}, {"CLK", Str("ON")}})},
    };
    for (int n = 1; n <= 30; ++n)
        expected.push_back({"Station" + std::to_string(n), n == 2 ? list2 : EmptyListStation()});
    EXPECT_EQ(Request(""), Obj(expected));
}

TEST_F(RoleKind, PositionQueryAnswersTheReceiversPosition) {
    settings_.current_position.Longitude = 17030.1234;
    settings_.current_position.LonDirection = 'E';
    settings_.current_position.Latitude = -4553.25;
    settings_.current_position.LatDirection = 'S';
    settings_.current_position.Elevation = 123.4567891;
    std::vector<TakenOperation> taken;
    const std::string reply = Serve(R"({"Key":"1"})", &taken);
    EXPECT_EQ(Codes(taken), std::vector<int>{ENTRY_GPOS_OP});
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.6lf", (17030.1234 - 17030) * 60);
    EXPECT_EQ(reply, Obj({{"Station", Obj({{"Coordinate", Obj({{"Longitude", Angle("170", "30", seconds, "E")},
                                                               {"Latitude", Angle("45", "53", "15.000000", "S")}})},
                                           {"Height", Str("123.456789")}})}}));
}

TEST_F(RoleKind, BaseStartWritesEachEntryBeforeItsPost) {
    std::vector<TakenOperation> taken;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Serve(kBaseStart, &taken), R"({ "Station": { "StationState": 1 } })");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_EQ(Codes(taken), (std::vector<int>{ENTRY_SID_OP, ENTRY_WMODE_OP}));
    EXPECT_STREQ(taken[0].station_id, "BASE7");
    const Coordinates &pos = taken[1].station_pos;
    EXPECT_DOUBLE_EQ(pos.Longitude, 11623.456);
    EXPECT_EQ(pos.LonDirection, 'E');
    EXPECT_DOUBLE_EQ(pos.Latitude, 3012.0);
    EXPECT_EQ(pos.LatDirection, 'N');
    EXPECT_DOUBLE_EQ(pos.Elevation, 45.5);
    EXPECT_EQ(pos.Available, 0);
    EXPECT_EQ(taken[1].work_mode, STATION_MODE);
    unsigned char state = 9;
    GetMonitorParaFromShareMemory(ENTRY_STATION_STATE, &state);
    EXPECT_EQ(state, STATION_NULL);
}

TEST_F(RoleKind, BaseStopWritesTheStateBeforeItsPost) {
    std::vector<TakenOperation> taken;
    EXPECT_EQ(Serve(R"({"Key":3})", &taken), R"({ "Station": { "StationState": 0 } })");
    ASSERT_EQ(Codes(taken), std::vector<int>{ENTRY_WMODE_OP});
    EXPECT_EQ(taken[0].station_state, STATION_STOP);
}

TEST_F(RoleKind, BaseIdentifierIsCutAtTheFieldWidth) {
    std::vector<TakenOperation> taken;
    EXPECT_EQ(Serve(R"({"Key":"4","ID":"ABCDEFGHIJKLMNOPQRSTUVWXYZ"})", &taken), R"({ "Station": { } })");
    ASSERT_EQ(Codes(taken), std::vector<int>{ENTRY_SID_OP});
    EXPECT_EQ(std::string(taken[0].station_id, 16), std::string("ABCDEFGHIJKLMNO") + '\0');
}

TEST_F(RoleKind, OtherKeysDoNothingButAListEditStillHappens) {
    std::vector<TakenOperation> taken;
    for (const char *key : {"5", "10", "1 "}) {
        EXPECT_EQ(Serve(std::string(R"({"Key":")") + key + "\"}", &taken), R"({ "Station": { } })");
        EXPECT_TRUE(taken.empty());
    }
    EXPECT_EQ(ConfigBytes(), std::vector<unsigned char>(sizeof(ReceiverConfigPara), 0));
    std::string body = ListEdit("7");
    body.insert(1, R"("Key":"5",)");
    EXPECT_EQ(Serve(body, &taken), R"({ "Station": { }, "Res": "Success" })");
    EXPECT_EQ(Codes(taken), std::vector<int>{ENTRY_SMARTBASE_OP});
}

TEST_F(RoleKind, ModeChangeAnnouncesOnlyWhatChanged) {
    std::vector<TakenOperation> taken;
    const char *rover = R"({"Mode":"0","Rover":{"PPS":"%s","EVENT":"%s","CLK":"ON"}})";
    char body[256];
    std::snprintf(body, sizeof body, rover, "OFF", "OFF");
    EXPECT_EQ(Serve(body, &taken), R"({ "Res": "Success" })");
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(ConfigBytes(), std::vector<unsigned char>(sizeof(ReceiverConfigPara), 0));

    std::snprintf(body, sizeof body, rover, "ON", "on");  // only "ON" switches on
    EXPECT_EQ(Serve(body, &taken), R"({ "Res": "Success" })");
    ASSERT_EQ(Codes(taken), std::vector<int>{ENTRY_PPS_OP});
    EXPECT_EQ(taken[0].pps_enable, 1);
    EXPECT_EQ(taken[0].event_enable, 0);

    EXPECT_EQ(Serve(R"({"Mode":"2","SinglePoint":{"PPS":"ON","EVENT":"ON","CLK":"OFF"}})", &taken),
              R"({ "Res": "Success" })");
    ASSERT_EQ(Codes(taken), (std::vector<int>{ENTRY_WMODE_OP, ENTRY_EVENT_OP}));
    EXPECT_EQ(taken[0].work_mode, SINGLE_MODE);
    EXPECT_EQ(taken[1].event_enable, 1);

    EXPECT_EQ(Serve(R"({"Mode":"03"})", &taken), "{ }");
    ASSERT_EQ(Codes(taken), std::vector<int>{ENTRY_WMODE_OP});
    EXPECT_EQ(taken[0].work_mode, AUTOBASE_MODE);
}

TEST_F(RoleKind, SmartBaseModeAnswersTheStationInUse) {
    settings_.smartbase_number = 4;
    std::vector<TakenOperation> taken;
    StoreByte(ENTRY_WORK_MODE, AUTOBASE_MODE);
    EXPECT_EQ(Serve(R"({"Mode":"3"})", &taken), R"({ "Station": { "StationNum": 4 } })");
    ASSERT_EQ(Codes(taken), std::vector<int>{ENTRY_WMODE_OP});
    EXPECT_EQ(taken[0].work_mode, SMARTBASE_MODE);

    settings_.smartbase_number = 2;
    EXPECT_EQ(Serve(R"({"Mode":"3"})", &taken), R"({ "Station": { "StationNum": 2 } })");
    // Mode 3 is announced first, then 4. The second write follows the first post at once,
    // so the receiver may already see 4 when it takes the first operation.
    ASSERT_EQ(Codes(taken), (std::vector<int>{ENTRY_WMODE_OP, ENTRY_WMODE_OP}));
    EXPECT_EQ(taken[1].work_mode, SMARTBASE_MODE);
}

TEST_F(RoleKind, ListEditReplacesOnePosition) {
    SmartBaseInfo chosen{};
    chosen.available = 1;
    std::strcpy(chosen.id, "OLD");
    SetReceiverConfigParaToShareMemory(ENTRY_SMARTBASE2_CONFIG, &chosen);
    std::vector<TakenOperation> taken;
    EXPECT_EQ(Serve(ListEdit("2"), &taken), R"({ "Res": "Success" })");
    ASSERT_EQ(Codes(taken), std::vector<int>{ENTRY_SMARTBASE_OP});
    const SmartBaseInfo &stored = taken[0].smartbase[1];
    EXPECT_STREQ(stored.id, "SB-2");
    EXPECT_DOUBLE_EQ(stored.coordinate_point.Longitude, 114.302512345);
    EXPECT_EQ(stored.coordinate_point.LonDirection, 'E');
    EXPECT_DOUBLE_EQ(stored.coordinate_point.Latitude, 30.123456789);
    EXPECT_DOUBLE_EQ(stored.coordinate_point.Elevation, 12.25);
    EXPECT_EQ(stored.available, 0);  // an edited station is no longer the chosen one

    EXPECT_EQ(Serve(ListEdit("30"), &taken), R"({ "Res": "Success" })");
    EXPECT_STREQ(taken[0].smartbase[29].id, "SB-30");
    EXPECT_NE(Request("{}").find(R"("Station30": { "ID": "SB-30")"), std::string::npos);
}

// rolekind with the call log preloaded: its reply and its writes and posts in the order it
// made them. A call named in fail_call fails as if its segment's lock could not be taken.
struct LoggedRun {
    std::string reply;
    std::vector<std::string> calls;
    std::vector<TakenOperation> taken;
};

LoggedRun RunLogged(const std::string &body, const FakeReceiverSettings &settings, const std::string &fail_call = "") {
    FakeReceiver receiver(settings);
    CallLogRun run = RunWithCallLog(ROLEKIND_PATH, body, fail_call);
    EXPECT_EQ(run.result.exit_status, 0) << body;
    return {ReplyBody(run.result), std::move(run.calls), receiver.Stop()};
}

// The order itself, as the program makes its calls: every entry an operation announces is
// written before that operation is posted. The receiver stand-in polls, so it cannot tell.
TEST_F(RoleKind, EveryFormWritesItsEntriesBeforeItsPosts) {
    const std::pair<std::string, std::vector<std::string>> forms[] = {
        {R"({"Key":"1"})", {"post 44"}},
        {kBaseStart, {"config 22", "post 11", "config 37", "config 23", "post 12", "monitor 9"}},
        {R"({"Key":"3"})", {"monitor 9", "post 12"}},
        {R"({"Key":"4","ID":"B2"})", {"config 22", "post 11"}},
        {R"({"Mode":"0","Rover":{"PPS":"ON","EVENT":"ON","CLK":"OFF"}})",
         {"config 23", "post 12", "config 24", "post 13", "config 25", "post 14"}},
        {R"({"Mode":"2","SinglePoint":{"PPS":"OFF","EVENT":"ON","CLK":"ON"}})",
         {"config 23", "post 12", "config 24", "post 13"}},
        {R"({"Mode":"3"})", {"config 23", "post 12", "config 23", "post 12"}},
        {ListEdit("5"), {"config 76", "post 76"}},
    };
    StoreByte(ENTRY_WORK_MODE, STATION_MODE);
    for (const auto &[body, expected] : forms) {
        const LoggedRun run = RunLogged(body, settings_);
        EXPECT_EQ(run.reply.find("Failed"), std::string::npos) << run.reply;
        EXPECT_EQ(run.calls, expected) << body;
    }
}

// A change that could not be stored is never announced: the request stops at the failed
// write, says which entry it was, and posts nothing more.
TEST_F(RoleKind, AWriteThatFailsEndsTheRequestBeforeItsPost) {
    struct Case {
        std::string body, fail_call;
        std::vector<std::string> calls;
        std::vector<int> taken;
        const char *error;
    };
    const Case cases[] = {
        {kBaseStart, "config 37", {"config 22", "post 11", "config 37"}, {ENTRY_SID_OP}, "configuration entry 37"},
        {kBaseStart, "config 22", {"config 22"}, {}, "configuration entry 22"},
        {R"({"Key":"3"})", "monitor 9", {"monitor 9"}, {}, "monitor entry 9"},
        {R"({"Mode":"0","Rover":{"PPS":"ON","EVENT":"ON","CLK":"OFF"}})",
         "config 24",
         {"config 24"},
         {},
         "configuration entry 24"},
        {ListEdit("5"), "config 76", {"config 76"}, {}, "configuration entry 76"},
    };
    for (const Case &c : cases) {
        const LoggedRun run = RunLogged(c.body, settings_, c.fail_call);
        EXPECT_EQ(run.reply, Obj({{"Res", Str("Failed")}, {"Error", Str(std::string("could not write ") + c.error)}}));
        EXPECT_EQ(run.calls, c.calls) << c.body;
        EXPECT_EQ(Codes(run.taken), c.taken) << c.body;
    }
}

TEST_F(RoleKind, RefusedRequestsWriteAndPostNothing) {
    const std::pair<std::string, std::string> refused[] = {
        {R"({"Key":"2","Station":{"ID":"X","Coordinate":{"Longitude":{"DEG":"1","MIN":"2","SEC":"3","HEM":"E"}},"Height":"1"}})",
         "missing Station.Coordinate.Latitude.DEG"},
        {R"({"Key":"2"})", "missing Station.ID"},
        {R"({"Key":"4"})", "missing ID"},
        {R"({"Key":"4","ID":null})", "missing ID"},
        {R"({"Mode":"0"})", "missing Rover.PPS"},
        {R"({"Mode":"2","SinglePoint":{"PPS":"ON"}})", "missing SinglePoint.EVENT"},
        {R"({"Modify":"3"})", "missing Station.ID"},
        {R"({"Modify":"3","Station":{"ID":"A"}})", "missing Station.Coordinate.Longitude.DEG"},
        {ListEdit("0"), "Modify must be a whole number from 1 to 30"},
        {ListEdit("31"), "Modify must be a whole number from 1 to 30"},
        {ListEdit("256"), "Modify must be a whole number from 1 to 30"},
        {ListEdit("258"), "Modify must be a whole number from 1 to 30"},
        {ListEdit("2.5"), "Modify must be a whole number from 1 to 30"},
        {ListEdit("-1"), "Modify must be a whole number from 1 to 30"},
    };
    // Values out of range or not plain decimals (base form, list form, height, mode, identifiers).
    const std::string lat = "Station.Coordinate.Latitude", lon = "Station.Coordinate.Longitude";
    const std::string base_lat = R"("DEG":"30","MIN":"12","SEC":"0","HEM":"N")";
    const std::string base_lon = R"("DEG":"116","MIN":"23","SEC":"27.36","HEM":"E")";
    const std::pair<std::string, std::string> out_of_range[] = {
        {With(kBaseStart, base_lat, R"("DEG":"999","MIN":"0","SEC":"0","HEM":"N")"), lat + ".DEG must be 0 to 90"},
        {With(kBaseStart, base_lat, R"("DEG":"-30","MIN":"0","SEC":"0","HEM":"N")"), lat + ".DEG must be 0 to 90"},
        {With(kBaseStart, base_lat, R"("DEG":"30.5","MIN":"0","SEC":"0","HEM":"N")"), lat + ".DEG must be 0 to 90"},
        {With(kBaseStart, base_lat, R"("DEG":"30","MIN":"23.9","SEC":"0","HEM":"N")"), lat + ".MIN must be 0 to 59"},
        {With(kBaseStart, base_lat, R"("DEG":"30","MIN":"60","SEC":"0","HEM":"N")"), lat + ".MIN must be 0 to 59"},
        {With(kBaseStart, base_lat, R"("DEG":"30","MIN":"12","SEC":"0","HEM":"Z")"), lat + ".HEM must be N or S"},
        {With(kBaseStart, base_lat, R"("DEG":"30","MIN":"12","SEC":"0","HEM":"")"), lat + ".HEM must be N or S"},
        {With(kBaseStart, base_lat, R"("DEG":"30","MIN":"12","SEC":"0","HEM":"E")"), lat + ".HEM must be N or S"},
        {With(kBaseStart, base_lat, R"("DEG":"90","MIN":"0","SEC":"0.001","HEM":"N")"),
         lat + " must be at most 90 degrees"},
        {With(kBaseStart, base_lon, R"("DEG":"200","MIN":"0","SEC":"0","HEM":"E")"), lon + ".DEG must be 0 to 180"},
        {With(kBaseStart, base_lon, R"("DEG":"180","MIN":"1","SEC":"0","HEM":"E")"),
         lon + " must be at most 180 degrees"},
        {With(kBaseStart, base_lon, R"("DEG":"116","MIN":"23","SEC":"60","HEM":"E")"),
         lon + ".SEC must be 0 to less than 60"},
        {With(kBaseStart, "27.36", "59.99999999999999999"), lon + ".SEC must be 0 to less than 60"},
        {With(kBaseStart, "27.36", "2e1"), lon + ".SEC must be 0 to less than 60"},
        {With(kBaseStart, "27.36", " 27"), lon + ".SEC must be 0 to less than 60"},
        {With(kBaseStart, "27.36", "27."), lon + ".SEC must be 0 to less than 60"},
        {With(kBaseStart, R"("HEM":"E")", R"("HEM":"EW")"), lon + ".HEM must be E or W"},
        {With(kBaseStart, "45.5", "nan"), "Station.Height must be -1000 to 10000"},
        {With(kBaseStart, "45.5", "1e999"), "Station.Height must be -1000 to 10000"},
        {With(kBaseStart, "45.5", "10000.01"), "Station.Height must be -1000 to 10000"},
        {With(kBaseStart, "45.5", "-1000.5"), "Station.Height must be -1000 to 10000"},
        {With(kBaseStart, "45.5", "0x10"), "Station.Height must be -1000 to 10000"},
        {With(kBaseStart, "45.5", ""), "Station.Height must be -1000 to 10000"},
        {With(kBaseStart, "BASE7", "BA\\u0000SE"), "Station.ID must be printable ASCII"},
        {With(kBaseStart, "BASE7", "BA\\tSE"), "Station.ID must be printable ASCII"},
        {With(kBaseStart, "BASE7", "B\xC3\x84SE"), "Station.ID must be printable ASCII"},
        {With(kBaseStart, "BASE7", "B\xFFSE"), "Station.ID must be printable ASCII"},
        {R"({"Key":"4","ID":"\u007f"})", "ID must be printable ASCII"},
        {R"({"Mode":"7"})", "Mode must be a work mode from 0 to 4"},
        {R"({"Mode":-1})", "Mode must be a work mode from 0 to 4"},
        {R"({"Mode":"100000000000000000000"})", "Mode must be a work mode from 0 to 4"},
        {R"({"Mode":"3.0"})", "Mode must be a work mode from 0 to 4"},
        {R"({"Mode":""})", "Mode must be a work mode from 0 to 4"},
        {R"({"Mode":"0 ","Rover":{"PPS":"ON","EVENT":"ON"}})", "Mode must be a work mode from 0 to 4"},
        {With(ListEdit("3"), "30.123456789", "1e308"),
         lat + ".DEG must be 0 to 90 as DD.MMSS, minutes and seconds below 60"},
        {With(ListEdit("3"), "30.123456789", "-inf"),
         lat + ".DEG must be 0 to 90 as DD.MMSS, minutes and seconds below 60"},
        {With(ListEdit("3"), "30.123456789", "-30.1"),
         lat + ".DEG must be 0 to 90 as DD.MMSS, minutes and seconds below 60"},
        {With(ListEdit("3"), "30.123456789", "30.6"),
         lat + ".DEG must be 0 to 90 as DD.MMSS, minutes and seconds below 60"},
        {With(ListEdit("3"), "30.123456789", "30.1261"),
         lat + ".DEG must be 0 to 90 as DD.MMSS, minutes and seconds below 60"},
        {With(ListEdit("3"), "30.123456789", "90.0001"),
         lat + ".DEG must be 0 to 90 as DD.MMSS, minutes and seconds below 60"},
        {With(ListEdit("3"), "114.302512345", "180.3"),
         lon + ".DEG must be 0 to 180 as DDD.MMSS, minutes and seconds below 60"},
        {With(ListEdit("3"), R"("HEM":"N")", R"("HEM":"<")"), lat + ".HEM must be N or S"},
        {With(ListEdit("3"), "12.25", "inf"), "Station.Height must be -1000 to 10000"},
        {With(ListEdit("3"), "SB-3", ""), "Station.ID must be printable ASCII, not empty"},
    };
    const std::pair<std::string, std::string> partly_empty[] = {
        {R"({"Modify":"4","Station":{"ID":"","Coordinate":{"Longitude":{"DEG":"","HEM":""},"Latitude":{"DEG":"","HEM":"N"}},"Height":""}})",
         "Station.ID must be printable ASCII, not empty"},
    };
    std::vector<std::pair<std::string, std::string>> all(std::begin(refused), std::end(refused));
    all.insert(all.end(), std::begin(out_of_range), std::end(out_of_range));
    all.insert(all.end(), std::begin(partly_empty), std::end(partly_empty));
    for (const auto &[body, error] : all) {
        std::vector<TakenOperation> taken;
        EXPECT_EQ(Serve(body, &taken), Obj({{"Res", Str("Failed")}, {"Error", Str(error)}})) << body;
        EXPECT_TRUE(taken.empty()) << body;
        EXPECT_EQ(ConfigBytes(), std::vector<unsigned char>(sizeof(ReceiverConfigPara), 0)) << body;
        EXPECT_EQ(MonitorBytes(), std::vector<unsigned char>(sizeof(MonitorPara), 0)) << body;
    }
}

// The limits themselves are taken and stored as ever; so is a list edit that empties a
// position, and a member that the chosen form does not read is not checked.
TEST_F(RoleKind, ValuesAtTheirLimitsAreServedAsEver) {
    std::vector<TakenOperation> taken;
    std::string body = With(kBaseStart, R"("DEG":"30","MIN":"12","SEC":"0")", R"("DEG":"90","MIN":"00","SEC":"0.000")");
    body = With(body, R"("DEG":"116","MIN":"23","SEC":"27.36")", R"("DEG":"180","MIN":"0","SEC":"0")");
    EXPECT_EQ(Serve(With(body, "45.5", "-1000"), &taken), R"({ "Station": { "StationState": 1 } })");
    ASSERT_EQ(Codes(taken), (std::vector<int>{ENTRY_SID_OP, ENTRY_WMODE_OP}));
    EXPECT_EQ(taken[1].station_pos.Latitude, 9000.0);
    EXPECT_EQ(taken[1].station_pos.Longitude, 18000.0);
    EXPECT_EQ(taken[1].station_pos.Elevation, -1000.0);

    SmartBaseInfo filled{};
    std::strcpy(filled.id, "OLD");
    filled.coordinate_point.Latitude = 30.5;
    SetReceiverConfigParaToShareMemory(ENTRY_SMARTBASE4_CONFIG, &filled);
    const char *empty =
        R"({"Modify":"4","Station":{"ID":"","Coordinate":{"Longitude":{"DEG":"","HEM":""},"Latitude":{"DEG":"","HEM":""}},"Height":""}})";
    EXPECT_EQ(Serve(empty, &taken), R"({ "Res": "Success" })");
    ASSERT_EQ(Codes(taken), std::vector<int>{ENTRY_SMARTBASE_OP});
    const auto *stored = reinterpret_cast<const unsigned char *>(&taken[0].smartbase[3]);
    EXPECT_EQ(std::vector<unsigned char>(stored, stored + sizeof(SmartBaseInfo)),
              std::vector<unsigned char>(sizeof(SmartBaseInfo), 0));

    EXPECT_EQ(Serve(R"({"Key":"3","Mode":"7"})", &taken), R"({ "Station": { "StationState": 0 } })");
    EXPECT_EQ(Serve(With(ListEdit("5"), "114.302512345", "180"), &taken), R"({ "Res": "Success" })");
    EXPECT_EQ(taken[0].smartbase[4].coordinate_point.Longitude, 180.0);
}

TEST_F(RoleKind, BusyMailboxIsAnsweredWithinTheBoundWithoutSpinning) {
    SetMonitorOperate(ENTRY_RESTART_OP);  // a pending operation that nobody carries out
    const auto start = std::chrono::steady_clock::now();
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    const std::string reply = Request(R"({"Key":"3"})");
    getrusage(RUSAGE_CHILDREN, &after);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(reply,
              R"({ "Res": "Failed", "Error": "the receiver did not take the operation: its mailbox stayed busy" })");
    EXPECT_GE(waited, std::chrono::seconds(10));
    EXPECT_LT(waited, std::chrono::seconds(13));
    const double cpu =
        (after.ru_utime.tv_sec - before.ru_utime.tv_sec) + (after.ru_stime.tv_sec - before.ru_stime.tv_sec) +
        ((after.ru_utime.tv_usec - before.ru_utime.tv_usec) + (after.ru_stime.tv_usec - before.ru_stime.tv_usec)) / 1e6;
    EXPECT_LT(cpu, 0.5) << "CPU seconds used while waiting";
    unsigned char mailbox[2];
    GetMonitorOperate(mailbox);
    EXPECT_EQ(mailbox[0], ENTRY_RESTART_OP) << "the pending operation was replaced";
    // The station state was written before the failed post and stays.
    EXPECT_EQ(RawMonitor()[64], STATION_STOP);
}

TEST_F(RoleKind, PositionQueryGivesUpWhenTheReceiverNeverFinishes) {
    // Nobody carries the query out: it is posted, then the wait for its result runs out.
    const std::string reply = Request(R"({"Key":"1"})");
    EXPECT_EQ(reply, R"({ "Res": "Failed", "Error": "the receiver did not report its position in time" })");
    EXPECT_EQ(GetMonitorOperateState(), OP_EXE);
}

TEST_F(RoleKind, RequestIntakeRules) {
    const std::string status = Request("{}");
    const std::string station_only = R"({ "Station": { } })";
    auto run = [](const std::map<std::string, std::string> &environment, const std::string &input) {
        const ProgramResult result = RunProgram(ROLEKIND_PATH, environment, input);
        EXPECT_EQ(result.exit_status, 0);
        return ReplyBody(result);
    };
    const std::string key5 = R"({"Key":"5"})";
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "0"}}, key5), status);
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "100"}}, key5), station_only);  // shorter body
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "-1"}}, key5), station_only);
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", " 11abc"}}, key5 + "garbage"), station_only);
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "5abc"}}, key5), status);
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}}, key5), status);
    EXPECT_EQ(run({{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", key5}}, ""), station_only);
    EXPECT_EQ(run({{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", "%7B%22Key%22%3A%225%22%7D"}}, ""), status);
    EXPECT_EQ(run({{"REQUEST_METHOD", "GET"}}, ""), status);
    EXPECT_EQ(run({{"REQUEST_METHOD", "get"}, {"QUERY_STRING", key5}}, ""), status);
    EXPECT_EQ(run({}, key5), status);
    // A program that exits without reading a large body leaves the test's write broken: the
    // test goes on (no SIGPIPE) and still reads the reply.
    EXPECT_EQ(run({{"REQUEST_METHOD", "GET"}, {"QUERY_STRING", key5}}, std::string(1 << 20, ' ')), station_only);

    // At most 1024 body characters count: padding up to exactly 1024 still parses...
    const std::string padded = key5 + std::string(1024 - key5.size(), ' ');
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "2000"}}, padded + "garbage"), station_only);
    // ...while a document whose closing brace is the 1025th character is cut.
    const std::string long_doc = R"({"Key":"5","Pad":")" + std::string(1024 - 19, 'x') + "\"}";
    ASSERT_EQ(long_doc.size(), 1025u);
    EXPECT_EQ(run({{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "1025"}}, long_doc), status);

    // The exact output: header line, empty line, document, no line end after it.
    const ProgramResult exact = Post(ROLEKIND_PATH, key5);
    EXPECT_EQ(exact.out, std::string(kHeader) + station_only);
}
