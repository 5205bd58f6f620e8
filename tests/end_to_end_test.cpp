// End to end: the receiver stand-in and the real web server (lighttpd) started by the run
// script, the programs requested over HTTP, in this test's private IPC namespace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>

#include "http.h"
#include "json_text.h"
#include "live_status.h"
#include "nmea_text.h"
#include "process.h"
#include "segments.h"
#include "time_words.h"

using namespace testsupport;

namespace {

// Base-form texts of a ddmm.mmmm value, as the page shows them.
std::string BaseAngle(const std::string &value, const std::string &hemisphere) {
    const double v = std::strtod(value.c_str(), nullptr);
    const int degrees = static_cast<int>(v / 100);
    const int minutes = static_cast<int>(v - 100 * degrees);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.6f", (v - std::floor(v)) * 60);
    return Obj({{"DEG", Str(std::to_string(degrees))},
                {"MIN", Str(std::to_string(minutes))},
                {"SEC", Str(seconds)},
                {"HEM", Str(hemisphere)}});
}

// Each fixed epoch's position query reply after its "Coordinate": the coordinate and height.
std::vector<std::string> LogCoordinates(const char *name) {
    std::vector<std::string> coordinates;
    std::ifstream in(LogPath(name));
    for (std::string line; std::getline(in, line);) {
        if (line.size() < 7 || line.compare(3, 3, "GGA") != 0) continue;
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        if (f.size() < 10 || f[6] == "0") continue;
        coordinates.push_back(Obj({{"Longitude", BaseAngle(f[4], f[5])}, {"Latitude", BaseAngle(f[2], f[3])}}) +
                              R"(, "Height": )" + Str(std::to_string(std::stod(f[9]))) + " } }");
    }
    return coordinates;
}

// Waits, polling, until `ready` holds; false if it still does not after `bound_ms`. The bound is
// generous: under load (parallel tests, an emulator, sanitizers) starting and ticking is slow.
template <typename Condition>
bool WaitUntil(Condition ready, int bound_ms = 20000, int pause_ms = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms);
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        usleep(pause_ms * 1000);
    }
    return true;
}

bool AnyByteSet(const std::vector<unsigned char> &bytes) {
    for (const unsigned char b : bytes)
        if (b != 0) return true;
    return false;
}

// The message time words the stand-in stamps with every tick.
std::vector<unsigned int> TimeWords() {
    const std::vector<unsigned char> bytes = ConfigBytes();
    std::vector<unsigned int> words;
    for (const std::size_t offset : TimeWordOffsets()) {
        unsigned int word = 0;
        std::memcpy(&word, &bytes[offset], sizeof word);
        words.push_back(word);
    }
    return words;
}

class EndToEnd : public testing::Test {
 protected:
    void Start(const std::vector<std::string> &stand_in_options) {
        port_ = FreePort();
        std::vector<std::string> args = {
            "bash", SOURCE_DIR "/scripts/serve.sh", BUILD_DIR, std::to_string(port_), "--tick-ms", "100"};
        args.insert(args.end(), stand_in_options.begin(), stand_in_options.end());
        setenv("GRSHM_WEB_PASSWORD", kWebPassword, 1);
        server_ = Spawn([&] {
            setpgid(0, 0);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
            const int out = open(ServeOutputPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, STDOUT_FILENO);
            std::vector<char *> argv;
            for (std::string &arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv("/bin/bash", argv.data());
            return 127;
        });
        ASSERT_TRUE(WaitForPort(port_, 10000)) << "lighttpd did not come up";
        ASSERT_EQ(InitShareMemory(), 0);
        // The stand-in writes its default configuration before its first tick, and the first
        // tick fills the GNSS segment: from then on both are what the stand-in keeps.
        ASSERT_TRUE(WaitUntil([] { return AnyByteSet(GnssBytes()); })) << "the stand-in did not tick within 20 s";
        ASSERT_TRUE(AnyByteSet(ConfigBytesBesideTimeWords())) << "the stand-in wrote no configuration";
    }

    // Returns once the stand-in has ticked `count` more times (its time words moved), so that
    // whatever a tick would change has had its chance to.
    static void WaitForTicks(int count) {
        for (int tick = 0; tick < count; ++tick) {
            const std::vector<unsigned int> before = TimeWords();
            ASSERT_TRUE(WaitUntil([&] { return TimeWords() != before; })) << "the stand-in stopped ticking";
        }
    }

    void TearDown() override {
        if (server_ <= 0) return;
        kill(server_, SIGTERM);
        EXPECT_EQ(WaitChild(server_), 0);
        // Nothing is left behind: no web server on the port, no process in the group.
        EXPECT_EQ(HttpRequest(port_, "GET", "/").status, 0);
        // Children of the web server are reaped by init once it is gone: give that a moment.
        const bool gone = WaitUntil([this] { return kill(-server_, 0) == -1; });
        EXPECT_TRUE(gone) << "a process of the run script is still alive";
        unlink(ServeOutputPath().c_str());
    }

    // The status report, asked for until it shows satellites: a replay stores the satellites
    // of an epoch with the tick after its position.
    HttpReply GnssReportOnceSatellitesShow() {
        HttpReply reply;
        const bool shown = WaitUntil(
            [&] {
                reply = HttpRequest(port_, "POST", "/cgi-bin/gnssreport", "{}");
                return reply.status == 200 && reply.body.find(R"("GPS": { "Count": )") != std::string::npos &&
                       reply.body.find(R"("GPS": { "Count": 0,)") == std::string::npos;
            },
            20000, 100);
        EXPECT_TRUE(shown) << "no satellites reported within 20 s: " << reply.body;
        return reply;
    }

    // What the run script printed.
    std::string ServeOutputPath() const { return "/tmp/grshm-serve-" + std::to_string(port_) + ".out"; }
    std::string ServeOutput() const {
        std::ifstream in(ServeOutputPath());
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string Rolekind(const std::string &body) {
        const HttpReply reply = HttpRequest(port_, "POST", "/cgi-bin/rolekind", body);
        EXPECT_EQ(reply.status, 200);
        return reply.body;
    }

    int port_ = 0;
    pid_t server_ = -1;
};

const char *kBaseStart = R"({"Key":"2","Station":{"ID":"E2E-BASE","Coordinate":{
  "Longitude":{"DEG":"116","MIN":"23","SEC":"27.36","HEM":"E"},
  "Latitude":{"DEG":"30","MIN":"12","SEC":"0","HEM":"N"}},"Height":"45.5","StationState":"0"}})";

}  // namespace

// Through the web server only a POST of JSON reaches a program (run directly, it takes a GET
// query string too).
TEST_F(EndToEnd, LinkreportOverPostOnly) {
    Start({});
    const HttpReply get = HttpRequest(port_, "GET", "/cgi-bin/linkreport");
    const HttpReply post = HttpRequest(port_, "POST", "/cgi-bin/linkreport", "{}");
    EXPECT_EQ(get.status, 403);
    EXPECT_EQ(post.status, 200);
    EXPECT_NE(post.headers.find("Content-type: application/text;charset=utf-8"), std::string::npos);
    // The web server hands on exactly what the program prints.
    EXPECT_EQ(post.body, ReplyBody(Post(LINKREPORT_PATH, "{}")));
    EXPECT_EQ(post.body.rfind(R"({ "DataTrans": [ { "TransID": 1, "BaudRate": 115200, )", 0), 0u);
    EXPECT_NE(post.body.find(R"("Model": 2)"), std::string::npos);
}

TEST_F(EndToEnd, BaseStartThenStatusThenStop) {
    Start({});
    EXPECT_EQ(Rolekind(kBaseStart), R"({ "Station": { "StationState": 1 } })");
    const std::string status = Rolekind("{}");
    const std::string station =
        Obj({{"ID", Str("E2E-BASE")},
             {"Coordinate",
              Obj({{"Longitude",
                    Obj({{"DEG", Str("116")}, {"MIN", Str("23")}, {"SEC", Str("27.360000")}, {"HEM", Str("E")}})},
                   {"Latitude",
                    Obj({{"DEG", Str("30")}, {"MIN", Str("12")}, {"SEC", Str("0.000000")}, {"HEM", Str("N")}})}})},
             {"Height", Str("45.500000")},
             {"StationState", "1"}});
    EXPECT_NE(status.find(R"({ "Mode": 1, )"), std::string::npos) << status;
    EXPECT_NE(status.find("\"Station\": " + station), std::string::npos) << status;

    EXPECT_EQ(Rolekind(R"({"Key":"3"})"), R"({ "Station": { "StationState": 0 } })");
    WaitForTicks(3);  // the stopped state stays over the stand-in's ticks
    EXPECT_NE(Rolekind("{}").find(R"("Height": "45.500000", "StationState": 0 })"), std::string::npos);
}

TEST_F(EndToEnd, PositionQueryReturnsTheReplayedPositionNorthWest) {
    if (access(LogPath("nmea-rtk.log").c_str(), R_OK) != 0) GTEST_SKIP() << "recorded NMEA logs not found";
    Start({"--nmea", LogPath("nmea-rtk.log")});
    const std::string reply = Rolekind(R"({"Key":"1"})");
    bool matched = false;
    for (const std::string &coordinate : LogCoordinates("nmea-rtk.log"))
        matched |= reply == R"({ "Station": { "Coordinate": )" + coordinate;
    EXPECT_TRUE(matched) << reply;
    EXPECT_NE(reply.find(R"("HEM": "W")"), std::string::npos);
}

TEST_F(EndToEnd, PositionQueryReturnsTheReplayedPositionSouthEast) {
    if (access(LogPath("ublox-zed-f9p-nmea.log").c_str(), R_OK) != 0) GTEST_SKIP() << "recorded NMEA logs not found";
    Start({"--nmea", LogPath("ublox-zed-f9p-nmea.log")});
    const std::string reply = Rolekind(R"({"Key":"1"})");
    bool matched = false;
    for (const std::string &coordinate : LogCoordinates("ublox-zed-f9p-nmea.log"))
        matched |= reply == R"({ "Station": { "Coordinate": )" + coordinate;
    EXPECT_TRUE(matched) << reply;
}

TEST_F(EndToEnd, SmartBaseModeAnswersTheStationChosenForTheReplayedPosition) {
    if (access(LogPath("ublox-zed-f9p-nmea.log").c_str(), R_OK) != 0) GTEST_SKIP() << "recorded NMEA logs not found";
    Start({"--nmea", LogPath("ublox-zed-f9p-nmea.log")});  // near 45 52.654 S, 170 30.007 E
    const std::pair<const char *, const char *> stations[] = {
        {"10.0", "10.0"},         // far away
        {"45.5020", "170.2955"},  // 45 50 20, 170 29 55: a few kilometres off
        {"45.5240", "170.3000"},  // 45 52 40, 170 30 00: next to it
        {"45.5240", "10.3000"},   // the same latitude on another meridian: far
        {"0", "0"},
    };
    for (int position = 1; position <= 5; ++position) {
        char body[512];
        std::snprintf(body, sizeof body,
                      R"({"Modify":"%d","Station":{"ID":"SB%d","Coordinate":{"Longitude":{"DEG":"%s","HEM":"E"},)"
                      R"("Latitude":{"DEG":"%s","HEM":"S"}},"Height":"1"}})",
                      position, position, stations[position - 1].second, stations[position - 1].first);
        EXPECT_EQ(Rolekind(body), R"({ "Res": "Success" })");
    }
    EXPECT_EQ(Rolekind(R"({"Mode":"3"})"), R"({ "Station": { "StationNum": 3 } })");
    EXPECT_NE(Rolekind("{}").find(R"("Station3": { "ID": "SB3", )"), std::string::npos);
    EXPECT_NE(Rolekind("{}").find(R"("Height": "1.000000", "StationState": 1 }, "Station4")"), std::string::npos);
}

// ---- What guards the web interface ----------------------------------------------------------

TEST_F(EndToEnd, EveryProgramNeedsASessionAndThePagesLoadWithout) {
    Start({});
    const std::vector<unsigned char> config = ConfigBytesBesideTimeWords();
    const HttpLogin nobody{"", ""};
    const HttpLogin wrong{kWebUser, "not-the-password"};
    const HttpLogin stranger{"root", kWebPassword};
    for (const char *target :
         {"/", "/index.html", "/channels.html", "/workmode.html", "/login.html", "/common.js", "/cgi-bin/linkreport",
          "/cgi-bin/rolekind", "/cgi-bin/gnssreport", "/cgi-bin/linkconfig", "/no-such-page"}) {
        const bool program = std::string(target).rfind("/cgi-bin/", 0) == 0;
        if (program) {
            for (const HttpLogin &login : {nobody, wrong, stranger}) {
                const HttpReply reply = HttpRequest(port_, "POST", target, R"({"Key":"3"})", login);
                EXPECT_EQ(reply.status, 401) << target << " as " << login.user;
                EXPECT_EQ(reply.body, R"({ "Res": "Failed", "Error": "log in first" })") << target;
                EXPECT_EQ(reply.headers.find("WWW-Authenticate"), std::string::npos) << reply.headers;
            }
        }
        // Pages as a browser asks for them, without a login; programs as our pages ask, with one.
        const HttpReply ok =
            program ? HttpRequest(port_, "POST", target, "{}") : HttpRequest(port_, "GET", target, "", nobody);
        EXPECT_EQ(ok.status, std::string(target) == "/no-such-page" ? 404 : 200) << target;
        // Not to be framed by another site, and no server version for anyone.
        EXPECT_NE(ok.headers.find("Content-Security-Policy: frame-ancestors 'self'"), std::string::npos) << target;
        EXPECT_NE(ok.headers.find("X-Frame-Options: SAMEORIGIN"), std::string::npos) << target;
        EXPECT_NE(ok.headers.find("Server: lighttpd\r\n"), std::string::npos) << ok.headers;
    }
    EXPECT_EQ(ConfigBytesBesideTimeWords(), config) << "a request without a session reached rolekind";
}

TEST_F(EndToEnd, TheRunScriptsRequestsWorkWithTheirLogin) {
    Start({});
    std::vector<std::string> lines;
    std::stringstream output(ServeOutput());
    for (std::string line; std::getline(output, line);)
        if (line.rfind("  curl ", 0) == 0) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << ServeOutput();
    EXPECT_NE(lines[0].find(std::string(R"("Password":")") + kWebPassword + "\""), std::string::npos) << lines[0];
    // Without the login first, the requests are refused.
    EXPECT_EQ(RunCommand({"/bin/bash", "-c", lines[1]}, false).out, R"({ "Res": "Failed", "Error": "log in first" })");
    const CommandResult login = RunCommand({"/bin/bash", "-c", lines[0]}, false);
    EXPECT_EQ(login.out, R"({ "Res": "Success", "User": "admin", "Role": "admin" })");
    const CommandResult linkreport = RunCommand({"/bin/bash", "-c", lines[1]}, false);
    EXPECT_EQ(linkreport.out.rfind(R"({ "DataTrans": [ )", 0), 0u) << linkreport.out;
    const CommandResult rolekind = RunCommand({"/bin/bash", "-c", lines[2]}, false);
    EXPECT_EQ(rolekind.out.rfind(R"({ "Station": { "Coordinate": )", 0), 0u) << rolekind.out;
    const CommandResult linkconfig = RunCommand({"/bin/bash", "-c", lines[3]}, false);
    EXPECT_EQ(linkconfig.out.rfind(R"({ "Res": "Success", "Channel": { "TransID": 5, "NtripServerID": 1, )", 0), 0u)
        << linkconfig.out;
}

TEST_F(EndToEnd, NothingButOurProgramsRuns) {
    Start({});
    // A program put beside ours: it must not run, whatever the URL.
    const std::string name = "probe-" + std::to_string(getpid());
    const std::string probe = std::string(BUILD_DIR) + "/www/cgi-bin/" + name;
    const std::string marker = "/tmp/grshm-" + name + ".ran";
    {
        std::ofstream script(probe);
        script << "#!/bin/sh\ntouch " << marker << "\nprintf 'Content-type: text/plain\\n\\nPROBE-EXECUTED'\n";
    }
    chmod(probe.c_str(), 0755);
    for (const std::string &target : {"/cgi-bin/" + name, "/cgi-bin/./" + name, "/cgi-bin/rolekind/../" + name,
                                      std::string("/cgi-bin/rolekind/extra"), std::string("/cgi-bin/rolekindx")}) {
        const HttpReply reply = HttpRequest(port_, "POST", target, "{}");
        EXPECT_NE(reply.status, 200) << target;
        EXPECT_EQ(reply.body.find("PROBE-EXECUTED"), std::string::npos) << target;
    }
    EXPECT_NE(access(marker.c_str(), F_OK), 0) << "the probe ran";
    unlink(probe.c_str());
    unlink(marker.c_str());
}

// What another site's page can make a browser send: refused with 403 before any program runs,
// with or without the login (browsers resend a cached login).
TEST_F(EndToEnd, RequestsFromAnotherSiteAreRefusedBeforeAnyProgramRuns) {
    Start({});
    const std::vector<unsigned char> config = ConfigBytesBesideTimeWords();
    const std::vector<unsigned char> monitor = MonitorBytesBesideLiveStatus();
    const std::string start_base = kBaseStart;
    const std::string read = HttpRequest(port_, "POST", "/cgi-bin/linkconfig", R"({"TransID":8})").body;
    const std::string change =
        R"({"TransID":8,"CasterPort":2999,"Revision":")" + read.substr(read.find(R"("Revision": ")") + 13, 16) + "\"}";
    const std::vector<std::vector<std::string>> refused = {
        {"Sec-Fetch-Site: cross-site"},
        {"Sec-Fetch-Site: same-site"},
        {"Sec-Fetch-Site: cross-site", "Origin: http://localhost:1"},
        {"Origin: http://localhost:1", "Content-Type: text/plain"},
        {"Origin: http://localhost:1", "Content-Type: application/x-www-form-urlencoded"},
        {"Origin: null", "Content-Type: text/plain;charset=UTF-8"},
        {"Host: rebound.example"},
        {"Host: 127.0.0.1.rebound.example"},
    };
    for (const HttpLogin &login : {HttpLogin{}, HttpLogin{"", ""}}) {
        for (const std::vector<std::string> &headers : refused) {
            EXPECT_EQ(HttpRequest(port_, "POST", "/cgi-bin/rolekind", start_base, login, headers).status, 403)
                << headers[0] << " " << login.user;
            EXPECT_EQ(HttpRequest(port_, "GET", "/cgi-bin/rolekind", "", login, headers).status, 403) << headers[0];
            EXPECT_EQ(HttpRequest(port_, "POST", "/cgi-bin/linkconfig", change, login, headers).status, 403);
        }
    }
    // What a navigation, a window.open or a form sends, marked or not (plain HTTP origins get
    // no Sec-Fetch-Site): never a program.
    for (const char *type : {"Content-Type: text/plain", "Content-Type: application/x-www-form-urlencoded"})
        EXPECT_EQ(HttpRequest(port_, "POST", "/cgi-bin/rolekind", start_base, {}, {type}).status, 403) << type;
    for (const char *type : {"Accept: */*", "Content-Type: application/json"})
        EXPECT_EQ(HttpRequest(port_, "GET", "/cgi-bin/rolekind?%7B%22Key%22%3A%223%22%7D", "", {}, {type}).status, 403);
    WaitForTicks(3);  // a refused request posted nothing for the stand-in to carry out
    EXPECT_EQ(ConfigBytesBesideTimeWords(), config);
    EXPECT_EQ(MonitorBytesBesideLiveStatus(), monitor);
    // Our own pages' requests, and tools that mark nothing (curl), still get through.
    for (const std::vector<std::string> &headers : std::vector<std::vector<std::string>>{
             {"Sec-Fetch-Site: same-origin", "Origin: http://127.0.0.1"},
             {"Sec-Fetch-Site: none"},
             {"Origin: http://127.0.0.1", "Content-Type: application/json; charset=utf-8"},
             {"Host: localhost"}}) {
        const HttpReply reply = HttpRequest(port_, "POST", "/cgi-bin/rolekind", R"({"Key":"1"})", {}, headers);
        EXPECT_EQ(reply.status, 200) << headers[0];
        EXPECT_EQ(reply.body.rfind(R"({ "Station": { "Coordinate": )", 0), 0u) << reply.body;
    }
    // The refused change was a valid one: from our own page it is stored.
    const HttpReply own = HttpRequest(port_, "POST", "/cgi-bin/linkconfig", change, {},
                                      {"Sec-Fetch-Site: same-origin", "Origin: http://127.0.0.1"});
    EXPECT_NE(own.body.find(R"("CasterPort": 2999)"), std::string::npos) << own.body;
}

// ---- What the status page reads, kept current by the stand-in -------------------------------

namespace {

int CountOf(const std::string &text, const std::string &part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

int SystemCount(const std::string &reply, const std::string &system) {
    const std::size_t at = reply.find("\"" + system + "\": { \"Count\": ");
    return at == std::string::npos ? -1 : std::atoi(reply.c_str() + at + system.size() + 14);
}

}  // namespace

TEST_F(EndToEnd, GnssReportOfAMultiSystemReplay) {
    if (access(LogPath("ublox-zed-f9p-nmea.log").c_str(), R_OK) != 0) GTEST_SKIP() << "recorded NMEA logs not found";
    Start({"--nmea", LogPath("ublox-zed-f9p-nmea.log")});
    const HttpReply reply = GnssReportOnceSatellitesShow();
    ASSERT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find(R"("Name": "Single")"), std::string::npos) << reply.body;
    EXPECT_NE(reply.body.find(R"("Latitude": -45.87756)"), std::string::npos) << reply.body;
    for (const char *system : {"GPS", "BeiDou", "GLONASS", "Galileo"}) EXPECT_GT(SystemCount(reply.body, system), 5);
    // One signal group per system: the first signal's strengths, not the second's blanks.
    EXPECT_GE(CountOf(reply.body, "\"SNR\""), 15) << reply.body;
}

TEST_F(EndToEnd, GnssReportWithoutAFix) {
    if (access(LogPath("beidou-bd.log").c_str(), R_OK) != 0) GTEST_SKIP() << "recorded NMEA logs not found";
    // The log's first five epochs have no fix, and its satellites arrive with the second: a tick
    // of two seconds keeps the replay among them (from 2 s to 10 s after the first tick).
    Start({"--nmea", LogPath("beidou-bd.log"), "--tick-ms", "2000"});
    const std::string body = GnssReportOnceSatellitesShow().body;
    EXPECT_EQ(body.rfind(R"({ "Fix": { "Quality": 0, "Name": "No fix", "Satellites": 0, )", 0), 0u) << body;
    EXPECT_EQ(body.find("Position"), std::string::npos);
    EXPECT_EQ(SystemCount(body, "GPS"), 25);
    EXPECT_EQ(SystemCount(body, "BeiDou"), 7);
}

// The default: a fixed position under a sky of all five systems, and a fix that agrees with it.
TEST_F(EndToEnd, GnssReportOfTheFixedPosition) {
    Start({});
    const std::string body = GnssReportOnceSatellitesShow().body;
    // 30.54 N 114.309 E, 25 m: the stand-in's default position.
    EXPECT_NE(body.find(R"("Latitude": 30.540000000, "Longitude": 114.309000000, )"), std::string::npos) << body;
    EXPECT_NE(body.find(R"("Altitude": 25.000, )"), std::string::npos) << body;
    int in_view = 0;
    for (const char *system : {"GPS", "BeiDou", "GLONASS", "Galileo", "SBAS"}) {
        EXPECT_GT(SystemCount(body, system), 0) << system << ": " << body;
        in_view += SystemCount(body, system);
    }
    EXPECT_GE(in_view, 15);
    EXPECT_LE(in_view, 45);
    const std::string fix = R"("Name": "RTK fixed", "Satellites": )";
    const std::size_t used_at = body.find(fix);
    ASSERT_NE(used_at, std::string::npos) << body;
    const int used = std::atoi(body.c_str() + used_at + fix.size());
    EXPECT_GE(used, 4);
    EXPECT_LE(used, in_view - SystemCount(body, "SBAS"));
    EXPECT_NE(body.find(R"("HDOP": )"), std::string::npos) << body;
    EXPECT_EQ(CountOf(body, "\"SNR\""), in_view) << body;
}
