#include "cgi_frame.h"

#include <cstdlib>
#include <cstring>

#include "records.h"

namespace {

struct FreeDeleter {
    void operator()(char *text) const { std::free(text); }
};

// CONTENT_LENGTH as decimal text: leading blanks and a sign allowed, the digits up to the
// first other character count, no digits give 0. Out-of-range values saturate.
long long ParseContentLength(const char *text) {
    return std::strtoll(text, nullptr, 10);
}

// A length of 0 reads nothing; otherwise at most max_body characters are read, also for a
// negative length, which never counts down to zero.
std::size_t BodyCharactersToRead(long long length, std::size_t max_body) {
    if (length > 0 && length < static_cast<long long>(max_body)) return static_cast<std::size_t>(length);
    return length == 0 ? 0 : max_body;
}

char *ReadBody(FILE *fp, std::size_t max_body) {
    const char *length_text = std::getenv("CONTENT_LENGTH");
    if (length_text == nullptr) return nullptr;
    char *input = static_cast<char *>(std::malloc(max_body + 1));
    if (input == nullptr) return nullptr;
    // fread stops at the end of input: a short body holds exactly what arrived.
    const std::size_t stored =
        std::fread(input, 1, BodyCharactersToRead(ParseContentLength(length_text), max_body), fp);
    input[stored] = '\0';
    return input;
}

char *ReadRequestText(FILE *fp, const char *requestmethod, std::size_t max_body) {
    if (requestmethod == nullptr) return nullptr;
    if (std::strcmp(requestmethod, "GET") == 0) return std::getenv("QUERY_STRING");
    if (std::strcmp(requestmethod, "POST") == 0) return ReadBody(fp, max_body);
    return nullptr;
}

}  // namespace

char *getcgidata(FILE *fp, const char *requestmethod) {
    return ReadRequestText(fp, requestmethod, cgi::kMaxBody);
}

namespace cgi {

namespace {

constexpr char kContentType[] = "Content-type: application/text;charset=utf-8\n";

bool ByWebServer() {
    return std::getenv("GATEWAY_INTERFACE") != nullptr;
}

}  // namespace

bool OverHttps() {
    const char *https = std::getenv("HTTPS");
    return https != nullptr && std::strcmp(https, "on") == 0;
}

const char *SessionCookieName() {
    return OverHttps() ? "__Host-grshm_session" : "grshm_session";
}

std::string SessionToken() {
    const char *cookies = std::getenv("HTTP_COOKIE");
    if (cookies == nullptr) return {};
    const std::string_view name = SessionCookieName();
    std::string_view rest = cookies;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view pair = rest.substr(0, end);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name && pair[name.size()] == '=')
            return std::string(pair.substr(name.size() + 1));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return {};
}

void PrintFailure(int status, const char *reason, std::string_view error, std::string_view more_headers) {
    JsonWriter reply;
    WriteFailed(reply, error);
    std::printf("Status: %d %s\n%.*s%s\n", status, reason, static_cast<int>(more_headers.size()), more_headers.data(),
                kContentType);
    PrintReply(reply);
}

void PrintServedHeader(std::string_view more_headers) {
    std::printf("%.*s%s\n", static_cast<int>(more_headers.size()), more_headers.data(), kContentType);
}

Role AnyRole(json_object * /*request*/) {
    return Role::Viewer;
}

namespace {
Caller admitted;  // run directly, an admin's
}  // namespace

const Caller &AdmittedCaller() {
    return admitted;
}

Caller Admit(json_object *request, LeastRole least_role, JsonWriter &reply, GateShare share) {
    if (!EnterRequestGate(share)) {
        PrintBusyReply();
        std::exit(0);
    }
    Caller who;
    if (ByWebServer()) who = SessionCaller();
    if (who.role < least_role(request)) {
        PrintFailure(403, "Forbidden",
                     std::string("the ") + accounts::RoleName(who.role) + " role may not make this request");
        std::exit(0);
    }
    if (who.role == Role::Viewer) reply.HideKeys(kViewerHiddenKeys);
    // The web server writes the session's user into its access log from this line.
    PrintServedHeader(who.by_web_server ? "X-Grshm-User: " + who.user + "\n" : std::string());
    admitted = who;
    return who;
}

JsonPtr ReadRequest(std::size_t max_body) {
    const char *method = std::getenv("REQUEST_METHOD");
    char *text = ReadRequestText(stdin, method, max_body);
    if (text == nullptr) return JsonPtr{};
    // Only a POST body belongs to us; a GET query string stays with the environment.
    const std::unique_ptr<char, FreeDeleter> body(std::strcmp(method, "POST") == 0 ? text : nullptr);
    return JsonPtr{json_tokener_parse(text)};
}

void WriteFailed(JsonWriter &reply, std::string_view error) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Failed");
    reply.Key("Error");
    reply.String(error);
    reply.EndObject();
}

int ServeReport(void (*write_report)(JsonWriter &reply)) {
    const JsonPtr request = ReadRequest();  // consulted for nothing: a report is always the same
    JsonWriter reply;
    Admit(request.get(), AnyRole, reply);
    InitShareMemory();
    write_report(reply);
    if (const std::string failure = ReadFailure(); !failure.empty()) {
        reply.Clear();
        WriteFailed(reply, failure);
    }
    PrintReply(reply);
    return 0;
}

void PrintReply(const JsonWriter &reply) {
    const std::string_view text = reply.Text();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace cgi
