// Accounts, sessions and roles, attacked through the real programs as the web server runs them
// (CGI environment, session cookie), in this test's private IPC namespace.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <json-c/json.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "change_log.h"
#include "json_writer.h"
#include "process.h"
#include "segments.h"
#include "sha256.h"
#include "sharememory.h"

namespace {

using testsupport::ProgramResult;
using testsupport::RunProgram;

// A reply split into its status ("200" when the program printed none), headers and body.
struct Reply {
    std::string status = "200";
    std::string headers;
    std::string body;
};

Reply Split(const std::string &out) {
    Reply reply;
    const std::size_t end = out.find("\n\n");
    reply.headers = out.substr(0, end == std::string::npos ? out.size() : end + 1);
    reply.body = end == std::string::npos ? std::string() : out.substr(end + 2);
    if (reply.headers.rfind("Status: ", 0) == 0) reply.status = reply.headers.substr(8, 3);
    return reply;
}

std::string Cookie(const std::string &token) {
    return "grshm_session=" + token;
}

class Accounts : public ::testing::Test {
 public:
    void SetUp() override {
        char pattern[] = "/tmp/grshm-accounts-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(InitShareMemory(), 0);
        for (const auto &[name, role] : kAccounts)
            ASSERT_EQ(User({"add", name, "--role", role}, kPassword).exit_status, 0);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static constexpr const char *kPassword = "tractor-meadow-42";
    static constexpr std::pair<const char *, const char *> kAccounts[] = {
        {"vera", "viewer"}, {"otto", "operator"}, {"ada", "admin"}};

    testsupport::CommandResult User(std::vector<std::string> args, const std::string &input) {
        std::string line;
        for (const std::string &word : testsupport::WithEmulator({GRSHM_USER_PATH})) line += word + " ";
        line += "--dir " + dir_;
        for (const std::string &arg : args) line += " '" + arg + "'";
        const std::string path = dir_ + "/input";
        std::ofstream(path) << input << "\n";
        return testsupport::RunCommand({"/bin/sh", "-c", line + " < " + path}, false);
    }

    // A program run as the web server runs it, with this body and cookie.
    Reply Serve(const std::string &program, const std::string &body, const std::string &cookie,
                std::map<std::string, std::string> more = {}) {
        std::map<std::string, std::string> environment = {{"GATEWAY_INTERFACE", "CGI/1.1"},
                                                          {"REQUEST_METHOD", "POST"},
                                                          {"CONTENT_LENGTH", std::to_string(body.size())},
                                                          {"GRSHM_STATE_DIR", dir_}};
        if (!cookie.empty()) environment["HTTP_COOKIE"] = cookie;
        for (auto &[key, value] : more) environment[key] = value;
        return Split(RunProgram(program, environment, body).out);
    }

    Reply Login(const std::string &user, const std::string &password, const std::string &cookie = {},
                std::map<std::string, std::string> more = {}) {
        return Serve(LOGIN_PATH, R"({"User":")" + user + R"(","Password":")" + password + R"("})", cookie, more);
    }

    // The token a successful login set.
    std::string LoggedIn(const std::string &user) {
        const Reply reply = Login(user, kPassword);
        std::smatch token;
        EXPECT_TRUE(std::regex_search(reply.headers, token, std::regex("grshm_session=([0-9a-f]{32});")))
            << reply.headers << reply.body;
        return token.size() > 1 ? token[1].str() : std::string();
    }

    std::string SessionFile(const std::string &token) const { return dir_ + "/sessions/" + accounts::Sha256Hex(token); }

    std::string dir_;
};

// ---- Roles ----------------------------------------------------------------------------------

// Every request of every program, with the least role that may make it.
struct RequestRow {
    const char *program;
    const char *body;
    const char *least;  // viewer, operator or admin
};

const RequestRow kRequests[] = {
    {LINKREPORT_PATH, "{}", "viewer"},
    {GNSSREPORT_PATH, "{}", "viewer"},
    {ROLEKIND_PATH, "{}", "viewer"},
    {LINKCONFIG_PATH, R"({"TransID":5})", "viewer"},
    {LINKCONFIG_PATH, R"({"TransID":5,"Revision":"0000000000000000"})", "viewer"},
    {ROLEKIND_PATH, R"({"Key":"1"})", "operator"},
    {ROLEKIND_PATH,
     R"({"Key":"2","ID":"BASE01","Coordinate":{"Longitude":{"DEG":"114","MIN":"1","SEC":"2","HEM":"E"},)"
     R"("Latitude":{"DEG":"22","MIN":"3","SEC":"4","HEM":"N"}},"Height":"12.5"})",
     "operator"},
    {ROLEKIND_PATH, R"({"Key":"3"})", "operator"},
    {ROLEKIND_PATH, R"({"Key":"4","ID":"BASE02"})", "operator"},
    {ROLEKIND_PATH, R"({"Key":"9"})", "operator"},
    {ROLEKIND_PATH, R"({"Mode":"0","Rover":{"PPS":"ON","EVENT":"ON","CLK":"OFF"}})", "operator"},
    {ROLEKIND_PATH, R"({"Mode":"3"})", "operator"},
    {ROLEKIND_PATH,
     R"({"Modify":"1","ID":"P1","Coordinate":{"Longitude":{"DEG":"11400.0","HEM":"E"},)"
     R"("Latitude":{"DEG":"2200.0","HEM":"N"}},"Height":"1"})",
     "operator"},
    {LINKCONFIG_PATH, R"({"TransID":5,"Revision":"0000000000000000","MountPoint":"BASE02"})", "operator"},
    {LINKCONFIG_PATH, R"({"TransID":1,"BaudRate":9600})", "operator"},
    {SETTINGS_PATH, R"({"Group":"health"})", "viewer"},
    {SETTINGS_PATH, R"({"Group":"antenna","Revision":"0000000000000000","Values":{"AntennaHeight":1.5}})", "operator"},
    {SETTINGS_PATH, R"({"Group":"recorder1","Revision":"0000000000000000","Values":{"Recording":1}})", "operator"},
    {SETTINGS_PATH, R"({"Group":"network","Revision":"0000000000000000","Values":{"IP":"10.0.0.1"}})", "admin"},
    {SETTINGS_PATH, R"({"Group":"maintenance","Action":"restart","Confirm":"restart"})", "admin"},
    {SETTINGS_PATH, R"({"Group":"maintenance","Action":"format storage","Confirm":"format storage"})", "admin"},
};

TEST_F(Accounts, EachRoleIsRefusedWhatItMayNotDoAndNothingChanges) {
    const std::map<std::string, std::string> cookies = {
        {"no cookie", ""},
        {"a made-up token", Cookie("0123456789abcdef0123456789abcdef")},
        {"not a token", Cookie("../../accounts/ada")},
        {"the HTTPS cookie over HTTP", "__Host-grshm_session=" + LoggedIn("ada")},
        {"viewer", Cookie(LoggedIn("vera"))},
        {"operator", Cookie(LoggedIn("otto"))},
    };
    const std::vector<std::string> rank = {"viewer", "operator", "admin"};
    for (const RequestRow &row : kRequests) {
        for (const auto &[who, cookie] : cookies) {
            const auto at = std::find(rank.begin(), rank.end(), who);
            const bool logged_in = at != rank.end();
            if (logged_in && at >= std::find(rank.begin(), rank.end(), row.least)) continue;  // allowed
            const auto config = testsupport::ConfigBytes();
            const auto monitor = testsupport::MonitorBytes();
            const auto gnss = testsupport::GnssBytes();
            const Reply reply = Serve(row.program, row.body, cookie);
            SCOPED_TRACE(std::string(row.program) + " " + row.body + " by " + who);
            if (logged_in) {
                EXPECT_EQ(reply.status, "403");
                EXPECT_EQ(reply.body,
                          "{ \"Res\": \"Failed\", \"Error\": \"the " + who + " role may not make this request\" }");
            } else {
                EXPECT_EQ(reply.status, "401");
                EXPECT_EQ(reply.body, R"({ "Res": "Failed", "Error": "log in first" })");
            }
            EXPECT_EQ(testsupport::ConfigBytes(), config);
            EXPECT_EQ(testsupport::MonitorBytes(), monitor);
            EXPECT_EQ(testsupport::GnssBytes(), gnss);
        }
    }
}

// Removes the keys a viewer may not see, wherever they are.
void RemoveSecrets(json_object *value) {
    if (json_object_is_type(value, json_type_array)) {
        for (std::size_t i = 0; i < json_object_array_length(value); ++i)
            RemoveSecrets(json_object_array_get_idx(value, i));
    } else if (json_object_is_type(value, json_type_object)) {
        json_object_object_del(value, "PWD");
        json_object_object_del(value, "Revision");
        json_object_object_foreach(value, key, member) {
            (void)key;
            RemoveSecrets(member);
        }
    }
}

TEST_F(Accounts, ViewersSeeEverythingButSecretsAndTheOthersSeeTodaysBytes) {
    const std::string viewer = Cookie(LoggedIn("vera"));
    const std::string operator_ = Cookie(LoggedIn("otto"));
    const std::string admin = Cookie(LoggedIn("ada"));
    std::vector<std::pair<const char *, std::string>> reads = {
        {LINKREPORT_PATH, "{}"}, {ROLEKIND_PATH, "{}"}, {GNSSREPORT_PATH, "{}"}};
    for (const int channel : {1, 3, 4, 5, 6, 7, 8, 9, 10})
        reads.emplace_back(LINKCONFIG_PATH, R"({"TransID":)" + std::to_string(channel) + "}");
    int secrets_seen = 0;
    for (const auto &[program, body] : reads) {
        SCOPED_TRACE(std::string(program) + " " + body);
        // Run directly, as before any login existed: today's bytes.
        const std::string direct = testsupport::ReplyBody(testsupport::Post(program, body));
        EXPECT_EQ(Serve(program, body, admin).body, direct);
        EXPECT_EQ(Serve(program, body, operator_).body, direct);
        const Reply seen = Serve(program, body, viewer);
        EXPECT_EQ(seen.status, "200");
        EXPECT_EQ(seen.body.find("PWD"), std::string::npos);
        EXPECT_EQ(seen.body.find("Revision"), std::string::npos);
        secrets_seen += direct.find("\"PWD\"") != std::string::npos;
        // Nothing else is left out: the same document without its secrets.
        json_object *expected = json_tokener_parse(direct.c_str());
        json_object *got = json_tokener_parse(seen.body.c_str());
        RemoveSecrets(expected);
        EXPECT_TRUE(json_object_equal(expected, got)) << seen.body;
        json_object_put(expected);
        json_object_put(got);
    }
    EXPECT_EQ(secrets_seen, 5) << "linkreport and the NTRIP servers', client's and caster's reads show passwords";
}

TEST(HiddenKeys, AreLeftOutWithTheirValuesWhereverTheyStand) {
    static constexpr std::string_view kHidden[] = {"PWD"};
    cgi::JsonWriter reply;
    reply.HideKeys(kHidden);
    reply.BeginObject();
    reply.Key("PWD");
    reply.String("first");
    reply.Key("A");
    reply.BeginArray();
    reply.BeginObject();
    reply.Key("PWD");
    reply.BeginObject();
    reply.Key("PWD");
    reply.Int(1);
    reply.EndObject();
    reply.Key("B");
    reply.Int(2);
    reply.Key("PWD");
    reply.Int(1234);
    reply.EndObject();
    reply.EndArray();
    reply.Key("PWD");
    reply.String("l\"ast");
    reply.EndObject();
    EXPECT_EQ(reply.Text(), R"({ "A": [ { "B": 2 } ] })");
}

// ---- Logging in ------------------------------------------------------------------------------

TEST_F(Accounts, BadLoginsAreRefusedWithTheirReason) {
    const struct {
        std::string body;
        const char *status;
        const char *error;
    } rows[] = {
        {"not json", "400", "the request must be one JSON object in UTF-8"},
        {"[1]", "400", "the request must be one JSON object in UTF-8"},
        {R"({"User":"ada","Password":"tractor-meadow-42"} {})", "400", "the request must be one JSON object in UTF-8"},
        {"{\"User\":\"ada\",\"Password\":\"\xff\xfe tractor\"}", "400", "the request must be one JSON object in UTF-8"},
        {std::string("{\"User\":\"ada\",\"Password\":\"tractor-meadow-42\"}\0", 46), "400",
         "the request must not hold NUL bytes"},
        {R"({"User":"ada","Password":"tractor-meadow-42\u0000"})", "400", "Password must not hold a NUL character"},
        {R"({"User":"ada\u0000x","Password":"tractor-meadow-42"})", "400", "User must not hold a NUL character"},
        {"{\"User\":\"ada\",\"Password\":\"" + std::string(1000, 'x') + "\"}", "400",
         "the request is longer than 1024 bytes"},
        {"{\"User\":\"ada\",\"Password\":\"" + std::string(300, 'x') + "\"}", "400", "the password is too long"},
        {R"({"User":"ada"})", "400", R"(a login is {\"User\": name, \"Password\": password})"},
        {R"({"User":"ada","Password":"tractor-meadow-42","Role":"admin"})", "400",
         R"(a login is {\"User\": name, \"Password\": password})"},
        {R"({"User":1,"Password":"tractor-meadow-42"})", "400", "User must be a text"},
        {R"({"Logout":1})", "400", R"(a logout is {\"Logout\": true})"},
        {R"({"User":"ada","Password":"tractor-meadow-43"})", "401", "wrong user name or password"},
        {R"({"User":"nobody","Password":"tractor-meadow-42"})", "401", "wrong user name or password"},
        {R"({"User":"../accounts/ada","Password":"tractor-meadow-42"})", "401", "wrong user name or password"},
        {R"({})", "401", "log in first"},
    };
    for (const auto &row : rows) {
        const Reply reply = Serve(LOGIN_PATH, row.body, "");
        SCOPED_TRACE(row.body);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.body, std::string(R"({ "Res": "Failed", "Error": ")") + row.error + "\" }");
        EXPECT_EQ(reply.headers.find("Set-Cookie"), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir_ + "/sessions"));
}

TEST_F(Accounts, TheCookieCarriesWhatEachSchemeAllows) {
    const std::regex plain("Set-Cookie: grshm_session=[0-9a-f]{32}; Path=/; HttpOnly; SameSite=Strict\n");
    const std::regex https(
        "Set-Cookie: __Host-grshm_session=[0-9a-f]{32}; Path=/; Secure; HttpOnly; SameSite=Strict\n");
    const Reply over_http = Login("ada", kPassword);
    EXPECT_TRUE(std::regex_search(over_http.headers, plain)) << over_http.headers;
    EXPECT_EQ(over_http.body, R"({ "Res": "Success", "User": "ada", "Role": "admin" })");
    const Reply over_https = Login("ada", kPassword, "", {{"HTTPS", "on"}});
    EXPECT_TRUE(std::regex_search(over_https.headers, https)) << over_https.headers;
    // Each cookie works only under its own scheme.
    std::smatch token;
    ASSERT_TRUE(std::regex_search(over_https.headers, token, std::regex("=([0-9a-f]{32});")));
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", "__Host-grshm_session=" + token[1].str(), {{"HTTPS", "on"}}).status, "200");
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(token[1].str()), {{"HTTPS", "on"}}).status, "401");
    // The receiver keeps only the token's hash.
    EXPECT_TRUE(std::filesystem::exists(SessionFile(token[1].str())));
    for (const auto &file : std::filesystem::directory_iterator(dir_ + "/sessions"))
        EXPECT_EQ(file.path().filename().string().find(token[1].str()), std::string::npos);
}

// What ends a session, and its replay afterwards.
TEST_F(Accounts, ASessionEndsAtLogoutExpiryOrAChangeOfItsAccount) {
    const struct {
        const char *what;
        std::function<void(Accounts &, const std::string &token)> end;
    } rows[] = {
        {"logout",
         [](Accounts &t, const std::string &token) {
             EXPECT_EQ(t.Serve(LOGIN_PATH, R"({"Logout":true})", Cookie(token)).body, R"({ "Res": "Success" })");
         }},
        {"password change",
         [](Accounts &t, const std::string &) {
             EXPECT_EQ(t.User({"passwd", "otto"}, "another-meadow-43").exit_status, 0);
         }},
        {"role change",
         [](Accounts &t, const std::string &) {
             EXPECT_EQ(t.User({"role", "otto", "viewer"}, "").exit_status, 0);
         }},
        {"removed and made again",
         [](Accounts &t, const std::string &) {
             EXPECT_EQ(t.User({"del", "otto"}, "").exit_status, 0);
             EXPECT_EQ(t.User({"add", "otto", "--role", "operator"}, kPassword).exit_status, 0);
         }},
        {"15 minutes idle",
         [](Accounts &t, const std::string &token) {
             const timespec back[2] = {{time(nullptr) - 15 * 60, 0}, {time(nullptr) - 15 * 60, 0}};
             EXPECT_EQ(utimensat(AT_FDCWD, t.SessionFile(token).c_str(), back, 0), 0);
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const std::string token = LoggedIn("otto");
        const std::string other = LoggedIn("ada");
        ASSERT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(token)).status, "200");
        row.end(*this, token);
        const Reply replay = Serve(LINKREPORT_PATH, "{}", Cookie(token));
        EXPECT_EQ(replay.status, "401");
        EXPECT_NE(replay.body.find("log in"), std::string::npos) << replay.body;
        EXPECT_FALSE(std::filesystem::exists(SessionFile(token)));
        EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(other)).status, "200") << "another user's session goes on";
        User({"del", "otto"}, "");
        User({"add", "otto", "--role", "operator"}, kPassword);
    }
}

TEST_F(Accounts, ASessionLastsNoLongerThanItsLifetime) {
    const std::string token = LoggedIn("ada");
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(token), {{"GRSHM_SESSION_LIFETIME", "2"}}).status, "200");
    sleep(2);
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(token), {{"GRSHM_SESSION_LIFETIME", "2"}}).body,
              R"({ "Res": "Failed", "Error": "the session has ended: log in again" })");
}

TEST_F(Accounts, ActivityIsWrittenAtMostOnceAMinuteAndNotForAPagesRefresh) {
    const std::string token = LoggedIn("ada");
    auto activity = [&] {
        struct stat status {};
        stat(SessionFile(token).c_str(), &status);
        return status.st_mtim.tv_sec;
    };
    auto set_back = [&](long seconds) {
        const timespec back[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, SessionFile(token).c_str(), back, 0), 0);
    };
    set_back(30);
    const long within_a_minute = activity();
    Serve(LINKREPORT_PATH, "{}", Cookie(token));
    EXPECT_EQ(activity(), within_a_minute);
    set_back(14 * 60);
    const long before_refresh = activity();
    Serve(GNSSREPORT_PATH, "{}", Cookie(token), {{"HTTP_X_GRSHM_REFRESH", "1"}});
    EXPECT_EQ(activity(), before_refresh);
    Serve(GNSSREPORT_PATH, "{}", Cookie(token));
    EXPECT_GE(activity(), time(nullptr) - 5);
}

TEST_F(Accounts, ATokenSetBeforeLoginIsNeverTakenAndTwoBrowsersKeepTheirOwn) {
    const std::string chosen = "0123456789abcdef0123456789abcdef";
    const Reply login = Login("ada", kPassword, Cookie(chosen));
    EXPECT_EQ(login.headers.find(chosen), std::string::npos);
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(chosen)).status, "401");
    // Two browsers of the same user: two sessions, and one's logout leaves the other.
    const std::string first = LoggedIn("ada");
    const std::string second = LoggedIn("ada");
    EXPECT_NE(first, second);
    EXPECT_EQ(Serve(LOGIN_PATH, "{}", Cookie(second)).body, R"({ "Res": "Success", "User": "ada", "Role": "admin" })");
    Serve(LOGIN_PATH, R"({"Logout":true})", Cookie(first));
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(first)).status, "401");
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(second)).status, "200");
    // A new login from a browser that still holds a session ends that one.
    EXPECT_EQ(Login("ada", kPassword, Cookie(second)).status, "200");
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(second)).status, "401");
}

TEST_F(Accounts, AThirdPasswordHashAtOnceIsTurnedAwayAtOnce) {
    std::vector<int> held;
    for (const char *slot : {"/hash-slot-0", "/hash-slot-1"}) {
        held.push_back(open((dir_ + slot).c_str(), O_RDWR | O_CREAT, 0600));
        ASSERT_EQ(flock(held.back(), LOCK_EX | LOCK_NB), 0);
    }
    const Reply busy = Login("ada", kPassword);
    EXPECT_EQ(busy.status, "429");
    EXPECT_NE(busy.headers.find("Retry-After: 1\n"), std::string::npos);
    close(held[0]);
    EXPECT_EQ(Login("ada", kPassword).status, "200");
    close(held[1]);
}

TEST_F(Accounts, LoginsKilledAtAnyPointLoseNothing) {
    const std::string body = std::string(R"({"User":"ada","Password":")") + kPassword + "\"}";
    int killed = 0;
    const std::string length = "CONTENT_LENGTH=" + std::to_string(body.size());
    const std::string state = "GRSHM_STATE_DIR=" + dir_;
    const std::vector<std::string> command = testsupport::WithEmulator({LOGIN_PATH});
    for (int round = 0; round < 40; ++round) {
        int input[2];
        ASSERT_EQ(pipe(input), 0);
        ASSERT_EQ(write(input[1], body.data(), body.size()), static_cast<ssize_t>(body.size()));
        close(input[1]);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(input[0], 0);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            std::vector<char *> argv;
            for (const std::string &word : command) argv.push_back(const_cast<char *>(word.c_str()));
            argv.push_back(nullptr);
            char *environment[] = {const_cast<char *>("GATEWAY_INTERFACE=CGI/1.1"),
                                   const_cast<char *>("REQUEST_METHOD=POST"), const_cast<char *>(length.c_str()),
                                   const_cast<char *>(state.c_str()), nullptr};
            execve(argv[0], argv.data(), environment);
            _exit(127);
        }
        close(input[0]);
        usleep(static_cast<useconds_t>(round * 700));  // from before the hash to after the rename
        int status = 0;
        killed += kill(pid, SIGKILL) == 0 && waitpid(pid, &status, 0) == pid && WIFSIGNALED(status);
    }
    std::printf("killed %d logins between 0 and 28 ms after their start\n", killed);
    EXPECT_EQ(User({"list"}, "").out, "ada admin\notto operator\nvera viewer\n");
    for (const auto &file : std::filesystem::directory_iterator(dir_ + "/sessions")) {
        if (file.path().filename().string()[0] == '.') continue;  // never renamed: never a session
        std::ifstream in(file.path());
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(std::regex_match(text, std::regex("user ada\ngeneration [0-9]+\ncreated [0-9]+\n"))) << text;
    }
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(LoggedIn("ada"))).status, "200");
}

TEST_F(Accounts, FiftyLoginsAtOnceAllGetInWhenTheyRetryAsThePageDoes) {
    const std::string body = std::string(R"({"User":"vera","Password":")") + kPassword + "\"}";
    std::vector<pid_t> children;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 50; ++i)
        children.push_back(testsupport::Spawn([&] {
            int turned_away = 0;
            for (;;) {
                const Reply reply = Serve(LOGIN_PATH, body, "");
                if (reply.status == "200") return std::min(turned_away, 100);
                if (reply.status != "429" && reply.status != "503") return 255;
                ++turned_away;
                usleep(20 * 1000);
            }
        }));
    int retries = 0;
    for (const pid_t child : children) {
        const int status = testsupport::WaitChild(child);
        EXPECT_NE(status, 255);
        retries += status;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("50 concurrent logins: all in after %.2f s, %d turned away and retried\n", seconds, retries);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(dir_ + "/sessions"), std::filesystem::directory_iterator{}),
        50);
}

// ---- The console tool --------------------------------------------------------------------------

// A folder of accounts that cannot be read is an error, never an empty list.
TEST_F(Accounts, AListThatCannotBeReadIsRefusedNotEmpty) {
    EXPECT_EQ(User({"list"}, "").out, "ada admin\notto operator\nvera viewer\n");
    ASSERT_EQ(rename((dir_ + "/accounts").c_str(), (dir_ + "/accounts.away").c_str()), 0);
    std::ofstream(dir_ + "/accounts") << "not a folder\n";
    const testsupport::CommandResult listed = User({"list"}, "");
    EXPECT_EQ(listed.exit_status, 1);
    EXPECT_EQ(listed.out, "");
    EXPECT_EQ(listed.err, "grshm-user: cannot read the accounts in " + dir_ + ": Not a directory\n");
}

TEST_F(Accounts, TheConsoleToolTakesOnlyPasswordsFitForTheReceiver) {
    const struct {
        const char *password;
        const char *error;  // empty: taken
    } rows[] = {
        {"1234567890",
         "the password is too weak: The password fails the dictionary check - it is too simplistic/systematic"},
        {"password12",
         "the password is too weak: The password fails the dictionary check - it is based on a dictionary word"},
        {"          ", "the password is too weak: The password is a palindrome"},
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80",
         "the password must have at least 10 characters"},
        {"tractor\xff meadow", "the password must be UTF-8 text without NUL characters"},
        {"carla-12345-x", "the password is too weak: The password contains the user name in some form"},
        {"gl\xC3\xA4nzende-Wiese", ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.password);
        const auto result = User({"add", "carla", "--role", "viewer"}, row.password);
        EXPECT_EQ(result.exit_status, *row.error == '\0' ? 0 : 2);
        EXPECT_EQ(result.err, *row.error == '\0' ? std::string() : std::string("grshm-user: ") + row.error + "\n");
    }
    EXPECT_EQ(Login("carla", "gl\xC3\xA4nzende-Wiese").status, "200");
    EXPECT_EQ(User({"add", "carla", "--role", "viewer"}, kPassword).exit_status, 2);
    EXPECT_EQ(User({"role", "carla", "root"}, "").exit_status, 2);
    EXPECT_EQ(User({"del", "nobody"}, "").exit_status, 1);
    EXPECT_EQ(User({"add", "../x", "--role", "viewer"}, kPassword).exit_status, 2);
    // Hashes only, yescrypt, readable by the owner alone.
    std::ifstream in(dir_ + "/accounts/carla");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(std::regex_search(text, std::regex("\nhash \\$y\\$j8T\\$[./0-9A-Za-z]+\\$[./0-9A-Za-z]{43}\n")))
        << text;
    EXPECT_EQ(text.find("nzende"), std::string::npos);
    struct stat status {};
    stat((dir_ + "/accounts/carla").c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

// ---- Lock-out --------------------------------------------------------------------------------

using Environment = std::map<std::string, std::string>;

Environment From(const std::string &address) {
    return {{"REMOTE_ADDR", address}};
}

// The reply's Retry-After, or "" when it has none.
std::string RetryAfter(const Reply &reply) {
    std::smatch seconds;
    return std::regex_search(reply.headers, seconds, std::regex("Retry-After: ([0-9]+)\n")) ? seconds[1].str() : "";
}

// A guesser at one address has five tries checked; then each try is answered 429 at once, the
// right password too, and each wait is twice the last. Meanwhile the owner, at another address,
// gets in: the account is far below its hourly bound.
TEST_F(Accounts, GuessesFromOneAddressWaitEachTimeTwiceAsLongWhileOthersGetIn) {
    // The steps follow the first waits of 1 and 2 s; an emulated login starts too slowly for them.
    const char *emulator = std::getenv("GRSHM_TEST_EMULATOR");
    if (emulator != nullptr && *emulator != '\0') GTEST_SKIP() << "an emulated login takes longer than the first wait";
    const struct {
        int sleep_ms;  // before the try
        const char *address;
        const char *password;
        const char *status;
        const char *retry_after;
    } steps[] = {
        {0, "192.0.2.66", "guess-1", "401", ""},    {0, "192.0.2.66", "guess-2", "401", ""},
        {0, "192.0.2.66", "guess-3", "401", ""},    {0, "192.0.2.66", "guess-4", "401", ""},
        {0, "192.0.2.66", "guess-5", "401", ""},    {0, "192.0.2.66", "guess-6", "429", "1"},
        {0, "192.0.2.66", kPassword, "429", "1"},   {0, "192.0.2.77", kPassword, "200", ""},
        {1100, "192.0.2.66", "guess-7", "401", ""}, {0, "192.0.2.66", "guess-8", "429", "2"},
        {2100, "192.0.2.66", "guess-9", "401", ""}, {0, "192.0.2.66", "guess-10", "429", "4"},
        {0, "192.0.2.77", "guess-11", "401", ""},   {0, "192.0.2.77", kPassword, "200", ""},
    };
    for (const auto &step : steps) {
        usleep(static_cast<useconds_t>(step.sleep_ms) * 1000);
        const Reply reply = Login("ada", step.password, {}, From(step.address));
        SCOPED_TRACE(std::string(step.address) + " " + step.password);
        EXPECT_EQ(reply.status, step.status) << reply.body;
        EXPECT_EQ(RetryAfter(reply), step.retry_after);
        if (reply.status == "429") {
            EXPECT_EQ(reply.body, std::string(R"({ "Res": "Failed", "Error": "too many failed logins: try again in )") +
                                      step.retry_after + " s\" }");
        }
    }
}

// 100 failures in an hour from 100 addresses: the account's password logins wait, from any
// address, while its sessions and the other accounts go on, until grshm-user unlock. Each login,
// failure, lock-out and logout is in the change log.
TEST_F(Accounts, PastAHundredFailuresAnHourTheAccountWaitsUntilUnlocked) {
    const std::string session = LoggedIn("ada");
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(Login("ada", "guess-" + std::to_string(i), {}, From("198.51.100." + std::to_string(i))).status,
                  "401");
    const Reply locked = Login("ada", kPassword, {}, From("203.0.113.1"));
    EXPECT_EQ(locked.status, "429");
    EXPECT_GT(std::stoi("0" + RetryAfter(locked)), 3000) << locked.headers;
    EXPECT_EQ(Serve(LINKREPORT_PATH, "{}", Cookie(session)).status, "200");
    EXPECT_EQ(Login("otto", kPassword, {}, From("203.0.113.1")).status, "200");
    EXPECT_EQ(User({"unlock", "ada"}, "").exit_status, 0);
    EXPECT_EQ(User({"unlock", "nobody"}, "").exit_status, 1);
    const std::string again = LoggedIn("ada");
    EXPECT_EQ(Serve(LOGIN_PATH, R"({"Logout":true})", Cookie(again), From("203.0.113.2")).status, "200");

    audit::Store store(dir_);
    std::map<std::string, int> kinds;
    for (const audit::LogEntry &entry : audit::Read(store, {"ada", "", 0, 1000})) ++kinds[entry.kind];
    EXPECT_EQ(kinds, (std::map<std::string, int>{{"failure", 100}, {"lockout", 1}, {"login", 2}, {"logout", 1}}));
    const std::vector<audit::LogEntry> newest = audit::Read(store, {"ada", "", 0, 1});
    ASSERT_EQ(newest.size(), 1u);
    EXPECT_EQ(newest[0].client + " " + newest[0].kind + " " + newest[0].outcome, "203.0.113.2 logout Success");
}

// No account discovery by timing: refusing a name that has no account takes as long as refusing
// a wrong password (medians of alternate tries, each from its own address; a check that skipped
// the hash would take a fraction).
TEST_F(Accounts, AnUnknownNameTakesAsLongToRefuseAsAWrongPassword) {
    constexpr int kTries = 15;
    std::vector<double> known;
    std::vector<double> unknown;
    for (int i = 0; i < 2 * kTries; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const Reply reply = Login(i % 2 == 0 ? "ada" : "adb", "guess-guess", {}, From("10.9.0." + std::to_string(i)));
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        ASSERT_EQ(reply.status, "401");
        (i % 2 == 0 ? known : unknown).push_back(took.count());
    }
    for (auto *times : {&known, &unknown}) std::sort(times->begin(), times->end());
    const double known_ms = known[kTries / 2];
    const double unknown_ms = unknown[kTries / 2];
    std::printf("refused in (median of %d): wrong password %.1f ms, unknown name %.1f ms\n", kTries, known_ms,
                unknown_ms);
    EXPECT_GT(unknown_ms, known_ms / 2);
    EXPECT_LT(unknown_ms, known_ms * 2);
}

// ---- API tokens ------------------------------------------------------------------------------

struct MadeToken {
    std::string token;
    std::string id;
};

// A token of grshm-user token add: printed once on standard output, its id on standard error.
MadeToken NewToken(Accounts &t, std::vector<std::string> args) {
    args.insert(args.begin(), {"token", "add"});
    const testsupport::CommandResult made = t.User(args, "");
    std::smatch id;
    EXPECT_EQ(made.exit_status, 0) << made.err;
    EXPECT_TRUE(std::regex_match(made.out, std::regex("grshm_[0-9a-f]{32}\n"))) << made.out;
    EXPECT_TRUE(std::regex_search(made.err, id, std::regex("^token ([0-9]+) of "))) << made.err;
    return {made.out.substr(0, made.out.size() - 1), id.size() > 1 ? id[1].str() : ""};
}

// Scripts send their token instead of a cookie: it acts with the lesser of its role and its
// account's; one that does not work, however it fails, gets the reply of a missing session.
TEST_F(Accounts, ATokenActsWithItsRoleAndAnyOtherGetsTheRefusalOfNoSession) {
    const std::string operator_token = NewToken(*this, {"otto"}).token;
    const std::string viewer_token = NewToken(*this, {"ada", "--role", "viewer"}).token;
    const std::string lowered = NewToken(*this, {"ada"}).token;
    const MadeToken revoked = NewToken(*this, {"ada"});
    EXPECT_EQ(User({"token", "add", "otto", "--role", "admin"}, "").exit_status, 2) << "never above its account";
    EXPECT_EQ(User({"token", "add", "nobody"}, "").exit_status, 1);
    ASSERT_EQ(User({"token", "del", revoked.id}, "").exit_status, 0);
    EXPECT_EQ(User({"token", "del", revoked.id}, "").exit_status, 1);
    ASSERT_EQ(User({"add", "temp", "--role", "admin"}, kPassword).exit_status, 0);
    const std::string removed = NewToken(*this, {"temp"}).token;
    ASSERT_EQ(User({"del", "temp"}, "").exit_status, 0);
    ASSERT_EQ(User({"add", "temp", "--role", "admin"}, kPassword).exit_status, 0);  // made again: no old token
    ASSERT_EQ(User({"role", "ada", "viewer"}, "").exit_status, 0);                  // lowers its tokens too
    // Another receiver's token: made in a state folder of its own.
    const std::string own_dir = dir_;
    dir_ += "/other";
    std::filesystem::create_directory(dir_);
    ASSERT_EQ(User({"add", "otto", "--role", "admin"}, kPassword).exit_status, 0);
    const std::string foreign = NewToken(*this, {"otto"}).token;
    dir_ = own_dir;

    // An operator's request (answered at once: its revision is not the stored one).
    const std::string change = R"({"TransID":5,"Revision":"0000000000000000","MountPoint":"BASE02"})";
    const std::string refused = R"({ "Res": "Failed", "Error": "log in first" })";
    const struct {
        std::string authorization;
        std::string cookie;
        const char *status;
        const char *user;  // X-Grshm-User of a served request
    } rows[] = {
        {"Bearer " + operator_token, "", "200", "otto"},
        {"bearer " + operator_token, "", "200", "otto"},
        {"Bearer " + operator_token, Cookie("0123456789abcdef0123456789abcdef"), "200", "otto"},
        {"Bearer " + viewer_token, "", "403", ""},
        {"Bearer " + lowered, "", "403", ""},
        {"Bearer " + revoked.token, "", "401", ""},
        {"Bearer " + operator_token + "0", "", "401", ""},
        {"Bearer " + operator_token.substr(6), "", "401", ""},
        {"Bearer " + operator_token.substr(0, 37), "", "401", ""},
        {"Bearer GRSHM_" + operator_token.substr(6), "", "401", ""},
        {"Bearer  " + operator_token, "", "401", ""},
        {"Basic " + operator_token, "", "401", ""},
        {"Bearer", "", "401", ""},
        {"", "", "401", ""},
        {"Bearer " + foreign, "", "401", ""},
        {"Bearer " + removed, "", "401", ""},
        {"", Cookie(operator_token), "401", ""},
        {"", Cookie(operator_token.substr(6)), "401", ""},
    };
    const Reply viewer_session = Serve(LINKCONFIG_PATH, change, Cookie(LoggedIn("vera")));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.authorization + " / " + row.cookie);
        Environment environment;
        if (!row.authorization.empty()) environment["HTTP_AUTHORIZATION"] = row.authorization;
        const Reply reply = Serve(LINKCONFIG_PATH, change, row.cookie, environment);
        EXPECT_EQ(reply.status, row.status) << reply.body;
        // Served as its account, or refused exactly as a viewer's session or a missing one is.
        const std::string expected =
            reply.status == "200" ? "X-Grshm-User: " + std::string(row.user) + "\n"
            : reply.status == "403"
                ? viewer_session.headers + viewer_session.body
                : "Status: 401 Unauthorized\nContent-type: application/text;charset=utf-8\n" + refused;
        EXPECT_EQ(reply.status == "200" ? reply.headers.substr(0, expected.size()) : reply.headers + reply.body,
                  expected);
    }
    EXPECT_EQ(viewer_session.status, "403");
    const std::string used = User({"token", "list"}, "").out;
    EXPECT_TRUE(std::regex_search(used, std::regex(" otto operator [0-9T:.-]+Z [0-9T:.-]+Z\n"))) << used;
    EXPECT_EQ(User({"token", "check"}, operator_token).exit_status, 0);
    EXPECT_EQ(User({"token", "check"}, revoked.token).exit_status, 1);
}

TEST(Sha256, MatchesTheStandardsVectors) {
    const std::pair<std::string, const char *> rows[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqr"
         "stu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(63, 'x'), "75220b47218278e656f2013bb8f0c455a25eaf01e86c64924e9d48d89776d6f2"},
        {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto &[data, digest] : rows) EXPECT_EQ(accounts::Sha256Hex(data), digest) << data.size();
}

}  // namespace
