// Talking to the real web server on loopback, through curl, logged in as our pages log in: a
// session cookie from the login program.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The login the tests give the run script (GRSHM_WEB_PASSWORD) and use by default.
inline constexpr const char *kWebUser = "admin";
inline constexpr const char *kWebPassword = "test-login-7Qz";

struct HttpLogin {
    std::string user = kWebUser;
    std::string password = kWebPassword;
};

struct HttpReply {
    int status = 0;       // 0 when no answer came
    std::string headers;  // of the last response (after a login, the answer to the request)
    std::string body;
};

// A request as our pages send it: a POST carries a JSON body with Content-Type
// application/json, unless extra_headers ("Name: value" lines) name another type. With a
// user, the request carries that user's session cookie (logged in once per server and user;
// none when the login is refused). An empty user sends no cookie.
HttpReply HttpRequest(int port, const std::string &method, const std::string &target, const std::string &body = "",
                      const HttpLogin &login = {}, const std::vector<std::string> &extra_headers = {});

// The session token the login program gives this user on the server at port, or an empty
// text when it refuses the login.
std::string SessionToken(int port, const HttpLogin &login);

// True once something accepts connections on the port (waits up to timeout_ms).
bool WaitForPort(int port, int timeout_ms);

// A port that was free a moment ago.
int FreePort();

}  // namespace testsupport
