// Every stored change made through the web lands in the change log, once, with who, from
// where, the keys with old and new values and the outcome; never a secret's value. The
// programs run as the web server runs them; the log is read through the changelog program.
#include <gtest/gtest.h>
#include <json-c/json.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fake_receiver.h"
#include "process.h"

using namespace testsupport;

namespace {

class ChangeRecord : public testing::Test {
 protected:
    void SetUp() override {
        ASSERT_EQ(InitShareMemory(), 0);
        char name[] = "/tmp/grshm-records-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        // ann, an admin (who may also read the change log), logged in as the login page would.
        std::string user;  // the console tool, behind the emulator when it is built for the board
        for (const std::string &word : WithEmulator({GRSHM_USER_PATH})) user += word + " ";
        ASSERT_EQ(RunCommand(
                      {"/bin/sh", "-c", "echo tractor-meadow-42 | " + user + "--dir " + dir_ + " add ann --role admin"},
                      false)
                      .exit_status,
                  0);
        const std::string login = R"({"User":"ann","Password":"tractor-meadow-42"})";
        const std::string out = RunProgram(LOGIN_PATH,
                                           {{"GATEWAY_INTERFACE", "CGI/1.1"},
                                            {"REQUEST_METHOD", "POST"},
                                            {"CONTENT_LENGTH", std::to_string(login.size())},
                                            {"GRSHM_STATE_DIR", dir_}},
                                           login)
                                    .out;
        const std::size_t at = out.find("grshm_session=");
        ASSERT_NE(at, std::string::npos) << out;
        cookie_ = out.substr(at, 14 + 32);
    }
    void TearDown() override { (void)!std::system(("rm -rf " + dir_).c_str()); }

    // A request as lighttpd passes it, from ann at 192.0.2.10.
    std::string Web(const char *program, const std::string &body) const {
        const std::string out = RunProgram(program,
                                           {{"GATEWAY_INTERFACE", "CGI/1.1"},
                                            {"REQUEST_METHOD", "POST"},
                                            {"CONTENT_LENGTH", std::to_string(body.size())},
                                            {"REMOTE_ADDR", "192.0.2.10"},
                                            {"HTTP_COOKIE", cookie_},
                                            {"GRSHM_STATE_DIR", dir_}},
                                           body)
                                    .out;
        const std::string header = "X-Grshm-User: ann\nContent-type: application/text;charset=utf-8\n\n";
        EXPECT_EQ(out.substr(0, header.size()), header);
        return out.size() >= header.size() ? out.substr(header.size()) : std::string();
    }

    // The newest record, without its id and time: "kind user client [key: old -> new, ...] outcome".
    std::string Newest() const {
        json_object *log = json_tokener_parse(Web(CHANGELOG_PATH, R"({"Limit":1})").c_str());
        json_object *records = nullptr;
        std::string text = "(none)";
        if (json_object_object_get_ex(log, "Records", &records) && json_object_array_length(records) == 1) {
            json_object *record = json_object_array_get_idx(records, 0);
            const auto member = [](json_object *object, const char *key) {
                json_object *value = nullptr;
                return json_object_object_get_ex(object, key, &value) ? std::string(json_object_get_string(value))
                                                                      : std::string("?");
            };
            text = member(record, "Kind") + " " + member(record, "User") + " " + member(record, "Client") + " [";
            json_object *changes = nullptr;
            json_object_object_get_ex(record, "Changes", &changes);
            for (std::size_t i = 0; i < json_object_array_length(changes); ++i) {
                json_object *change = json_object_array_get_idx(changes, i);
                text += (i > 0 ? ", " : "") + member(change, "Key") + ": " + member(change, "Old") + " -> " +
                        member(change, "New");
            }
            text += "] " + member(record, "Outcome");
        }
        json_object_put(log);
        return text;
    }

    std::string dir_;
    std::string cookie_;
};

std::string RevisionOf(const std::string &reply) {
    const std::size_t at = reply.find("\"Revision\": \"");
    return at == std::string::npos ? "" : reply.substr(at + 13, 16);
}

}  // namespace

TEST_F(ChangeRecord, EachKindOfChangeIsRecordedOnceAndReadsAreNot) {
    FakeReceiver receiver({});
    const std::string revision = RevisionOf(Web(LINKCONFIG_PATH, R"({"TransID":5})"));
    struct Row {
        const char *program;
        std::string body;
        const char *record;  // the newest record after it
    };
    const std::vector<Row> rows = {
        {LINKCONFIG_PATH,
         R"({"TransID":5,"Revision":")" + revision + R"(","MountPoint":"BASE02","PWD":"Hunter2-secret"})",
         "channel ann 192.0.2.10 [Channel.PWD: (secret) -> (secret), Channel.MountPoint:  -> BASE02] Success"},
        {LINKCONFIG_PATH, R"({"TransID":5})", "(unchanged)"},
        {ROLEKIND_PATH, R"({"Mode":"2","SinglePoint":{"PPS":"ON","EVENT":"OFF","CLK":"OFF"}})",
         "workmode ann 192.0.2.10 [Mode: 0 -> 2, Rover.PPS: OFF -> ON, SinglePoint.PPS: OFF -> ON] Success"},
        {ROLEKIND_PATH, R"({"Key":"4","ID":"BASE07"})", "station ann 192.0.2.10 [Station.ID:  -> BASE07] Success"},
        {ROLEKIND_PATH,
         R"({"Modify":"3","Station":{"ID":"SB-3","Coordinate":{"Longitude":{"DEG":"114.302512345","HEM":"E"},)"
         R"("Latitude":{"DEG":"30.123456789","HEM":"N"}},"Height":"12.25"}})",
         "smartbase ann 192.0.2.10 [Station3.ID:  -> SB-3, Station3.Coordinate.Longitude.DEG: 0.000000000 -> "
         "114.302512345, Station3.Coordinate.Longitude.HEM:  -> E, Station3.Coordinate.Latitude.DEG: 0.000000000 -> "
         "30.123456789, Station3.Coordinate.Latitude.HEM:  -> N, Station3.Height: 0.000000 -> 12.250000] Success"},
        {ROLEKIND_PATH, R"({"Mode":"7"})", "workmode ann 192.0.2.10 [] Failed: Mode must be a work mode from 0 to 4"},
        {ROLEKIND_PATH, R"({})", "(unchanged)"},
        {ROLEKIND_PATH, R"({"Key":"1"})", "(unchanged)"},
    };
    std::string newest = Newest();
    for (const Row &row : rows) {
        Web(row.program, row.body);
        const std::string now = Newest();
        EXPECT_EQ(now == newest ? "(unchanged)" : now, row.record) << row.body;
        newest = now;
    }
    // The password sent is nowhere in the records' files, nor in any reply of the log.
    std::string files;
    for (const char *name : {"/records.db", "/records.db-wal"}) {
        std::ifstream file(dir_ + name, std::ios::binary);
        files.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    EXPECT_NE(files.find("BASE07"), std::string::npos);
    EXPECT_EQ(files.find("Hunter2"), std::string::npos);
    EXPECT_EQ(Web(CHANGELOG_PATH, "{}").find("Hunter2"), std::string::npos);
}
