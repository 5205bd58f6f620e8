// login: logs a user in with {"User": U, "Password": P} and sets the session cookie; {"Logout":
// true} ends the session the request carries; {} tells whose session it is. Password logins
// pass the lock-out guard (audit/login_guard.h): a try that must wait is answered 429 at once.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "account_store.h"
#include "cgi_frame.h"
#include "change_log.h"
#include "login_guard.h"
#include "passwords.h"
#include "request_gate.h"

namespace {

using accounts::Account;

// At most this many password hashes are computed at once (each takes yescrypt's memory).
constexpr int kHashSlots = 2;

struct LoginRequest {
    enum Kind { Whoami, Login, Logout } kind = Whoami;
    std::string user;
    std::string password;
};

[[noreturn]] void Refuse(int status, const char *reason, std::string_view error, std::string_view headers = {}) {
    cgi::PrintFailure(status, reason, error, headers);
    std::exit(0);
}

[[noreturn]] void BadRequest(std::string_view error) {
    Refuse(400, "Bad Request", error);
}

// The body, exactly CONTENT_LENGTH bytes of at most cgi::kMaxBody.
std::string ReadBody() {
    const char *length_text = std::getenv("CONTENT_LENGTH");
    const char *method = std::getenv("REQUEST_METHOD");
    if (method == nullptr || std::strcmp(method, "POST") != 0 || length_text == nullptr)
        BadRequest("a login is a POST of a JSON object");
    std::size_t length = 0;
    const char *end = length_text + std::strlen(length_text);
    if (std::from_chars(length_text, end, length).ptr != end) BadRequest("a login is a POST of a JSON object");
    if (length > cgi::kMaxBody) BadRequest("the request is longer than " + std::to_string(cgi::kMaxBody) + " bytes");
    std::string body(length, '\0');
    if (std::fread(body.data(), 1, length, stdin) != length) BadRequest("the request ended early");
    return body;
}

// A string member's text, refused when it holds a NUL (JSON can carry one as \u0000).
std::optional<std::string> TextMember(json_object *request, const char *key) {
    json_object *value = nullptr;
    if (!json_object_object_get_ex(request, key, &value)) return std::nullopt;
    if (!json_object_is_type(value, json_type_string)) BadRequest(std::string(key) + " must be a text");
    const std::string text(json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value)));
    if (text.find('\0') != std::string::npos) BadRequest(std::string(key) + " must not hold a NUL character");
    return text;
}

LoginRequest ParseLogin(const std::string &body) {
    if (body.find('\0') != std::string::npos) BadRequest("the request must not hold NUL bytes");
    json_tokener *tokener = json_tokener_new();
    json_tokener_set_flags(tokener, JSON_TOKENER_STRICT | JSON_TOKENER_VALIDATE_UTF8);
    const cgi::JsonPtr request{json_tokener_parse_ex(tokener, body.data(), static_cast<int>(body.size()))};
    const bool whole =
        json_tokener_get_error(tokener) == json_tokener_success && json_tokener_get_parse_end(tokener) == body.size();
    json_tokener_free(tokener);
    if (!request || !whole || !json_object_is_type(request.get(), json_type_object))
        BadRequest("the request must be one JSON object in UTF-8");

    LoginRequest login;
    json_object *logout = nullptr;
    if (json_object_object_get_ex(request.get(), "Logout", &logout)) {
        if (!json_object_is_type(logout, json_type_boolean) || !json_object_get_boolean(logout) ||
            json_object_object_length(request.get()) != 1)
            BadRequest("a logout is {\"Logout\": true}");
        login.kind = LoginRequest::Logout;
        return login;
    }
    const auto user = TextMember(request.get(), "User");
    const auto password = TextMember(request.get(), "Password");
    if (!user && !password && json_object_object_length(request.get()) == 0) return login;
    if (!user || !password || json_object_object_length(request.get()) != 2)
        BadRequest("a login is {\"User\": name, \"Password\": password}");
    if (password->size() > accounts::kMaxPasswordBytes) BadRequest("the password is too long");
    login.kind = LoginRequest::Login;
    login.user = *user;
    login.password = *password;
    return login;
}

// One of the hash places, held until the process ends; -1 when both are taken.
int TakeHashSlot(const std::string &dir) {
    for (int slot = 0; slot < kHashSlots; ++slot) {
        const std::string path = dir + "/hash-slot-" + std::to_string(slot);
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            Refuse(500, "Internal Server Error", "the receiver cannot keep sessions: its state folder is missing");
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
        close(fd);
    }
    return -1;
}

std::string CookieAttributes() {
    // __Host- needs Secure, which plain HTTP cannot carry; the rest holds on both.
    return cgi::OverHttps() ? "; Path=/; Secure; HttpOnly; SameSite=Strict" : "; Path=/; HttpOnly; SameSite=Strict";
}

void PrintWho(std::string_view headers, const std::string &user, accounts::Role role) {
    cgi::PrintServedHeader(headers);
    cgi::JsonWriter reply;
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.Key("User");
    reply.String(user);
    reply.Key("Role");
    reply.String(accounts::RoleName(role));
    reply.EndObject();
    cgi::PrintReply(reply);
}

std::string ClientAddress() {
    const char *address = std::getenv("REMOTE_ADDR");
    return address != nullptr ? address : "";
}

struct PasswordCheck {
    const std::string &dir;
    const LoginRequest &login;
    std::optional<Account> account;
};

// The guard's password check: in one of the hash places, and as long for an unknown name as
// for a wrong password (the same hash cost either way).
bool CheckPassword(void *context) {
    auto &check = *static_cast<PasswordCheck *>(context);
    // Nothing is counted yet when every place is taken: the password was not tried.
    const int slot = TakeHashSlot(check.dir);
    if (slot < 0) Refuse(429, "Too Many Requests", "other logins are being checked; try again", "Retry-After: 1\n");
    check.account = accounts::ReadAccount(check.dir, check.login.user);
    const bool matches = accounts::PasswordMatches(check.login.password, check.account ? check.account->hash : "");
    close(slot);
    return matches;
}

void ServeLogin(const std::string &dir, const LoginRequest &login) {
    audit::Store store(dir);
    PasswordCheck check{dir, login, std::nullopt};
    const audit::GuardedLogin guarded = audit::GuardLogin(store, ClientAddress(), login.user, CheckPassword, &check);
    switch (guarded.verdict) {
        case audit::LoginVerdict::Accepted:
            break;
        case audit::LoginVerdict::Refused:
            Refuse(401, "Unauthorized", "wrong user name or password");
        case audit::LoginVerdict::Wait:
            Refuse(429, "Too Many Requests",
                   "too many failed logins: try again in " + std::to_string(guarded.retry_after_s) + " s",
                   "Retry-After: " + std::to_string(guarded.retry_after_s) + "\n");
        case audit::LoginVerdict::Unavailable:
            Refuse(503, "Service Unavailable", "the receiver cannot check logins now: " + store.Error());
    }
    const Account &account = *check.account;

    // A login always makes a new token: one set before (fixation) or still held is ended.
    accounts::EndSession(dir, cgi::SessionToken());
    accounts::SweepSessions(dir, accounts::SessionTimesFromEnvironment());
    const std::string token = accounts::NewToken();
    if (token.empty() || !accounts::CreateSession(dir, token, account))
        Refuse(500, "Internal Server Error", "the receiver could not keep the session");
    PrintWho("Set-Cookie: " + std::string(cgi::SessionCookieName()) + "=" + token + CookieAttributes() +
                 "\nX-Grshm-User: " + account.name + "\n",
             account.name, account.role);
}

// Ends the session on the receiver, records it, and has the browser forget the cookie.
void ServeLogout(const std::string &dir) {
    const std::string token = cgi::SessionToken();
    const auto session = accounts::CheckSession(dir, token, accounts::SessionTimesFromEnvironment(), false);
    accounts::EndSession(dir, token);
    if (session.state == accounts::SessionCheck::Valid) {
        audit::Store store(dir);
        if (!audit::Append(store, {0, 0, session.user, ClientAddress(), "logout", {}, "Success"}))
            std::fprintf(stderr, "the change log was not written: %s\n", store.Error().c_str());
    }
    cgi::PrintServedHeader("Set-Cookie: " + std::string(cgi::SessionCookieName()) + "=" + CookieAttributes() +
                           "; Max-Age=0\n");
    cgi::JsonWriter reply;
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.EndObject();
    cgi::PrintReply(reply);
}

}  // namespace

int main() {
    if (!cgi::EnterRequestGate()) {
        cgi::PrintBusyReply();
        return 0;
    }
    const LoginRequest login = ParseLogin(ReadBody());
    const std::string dir = accounts::StateDir();
    switch (login.kind) {
        case LoginRequest::Login:
            ServeLogin(dir, login);
            break;
        case LoginRequest::Logout:
            ServeLogout(dir);
            break;
        case LoginRequest::Whoami: {
            const auto session =
                accounts::CheckSession(dir, cgi::SessionToken(), accounts::SessionTimesFromEnvironment(),
                                       std::getenv("HTTP_X_GRSHM_REFRESH") == nullptr);
            if (session.state != accounts::SessionCheck::Valid) Refuse(401, "Unauthorized", "log in first");
            PrintWho({}, session.user, session.role);
            break;
        }
    }
    return 0;
}
