// The request frame the CGI programs share: everything about the CGI envelope lives here,
// the programs only see a parsed request and fill a reply.
#pragma once

#include <json-c/json.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "account_store.h"
#include "json_writer.h"
#include "request_gate.h"

// The request text of a CGI request: the query string of a GET (owned by the environment),
// or a newly allocated POST body of at most 1024 characters (owned by the caller, release
// with free). Null when there is no request text: a method other than "GET" or "POST", a GET
// without QUERY_STRING, a POST without CONTENT_LENGTH, or no memory for the body.
char *getcgidata(FILE *fp, const char *requestmethod);

namespace cgi {

struct JsonDeleter {
    void operator()(json_object *object) const { json_object_put(object); }
};
using JsonPtr = std::unique_ptr<json_object, JsonDeleter>;

inline constexpr std::size_t kMaxBody = 1024;
// A channel change carries a whole message list (about 2,000 characters): its program reads
// up to the web server's own limit instead.
inline constexpr std::size_t kMaxEditBody = std::size_t{16} * 1024;

using accounts::Role;

// The least role that may make a request, as its program tells from the parsed request (null
// when it is not JSON).
using LeastRole = Role (*)(json_object *request);

// What a viewer never sees in any reply: passwords, and the revisions hashed over them (a
// short password could be guessed from its revision offline).
inline constexpr std::string_view kViewerHiddenKeys[] = {"PWD", "Revision"};

// Who made the request. A program run directly rather than by the web server checks no
// session: whoever can run it there can write the segments already.
struct Caller {
    bool by_web_server = false;
    std::string user;
    Role role = Role::Admin;
};

// Admits a request read already, in this order: a place at the web server's gate (else 503;
// a request that may wait on the receiver takes a place in the gate's waiting share, any other
// one in its prompt share, request_gate.h), then, for a request from the web server, its
// session (else 401) and its role against least_role (else 403); only then the header, before
// anything is read from the segments or written to the reply. A refused request is answered
// here with a JSON "Error" and the process ends, having changed nothing. A viewer's reply leaves
// out kViewerHiddenKeys.
Caller Admit(json_object *request, LeastRole least_role, JsonWriter &reply, GateShare share = GateShare::Prompt);

// The caller Admit let in (an admin's, run directly, before it).
const Caller &AdmittedCaller();

// The caller of a request from the web server, from its session cookie; without a valid
// session the request is answered 401 and the process ends. (Its own file: the benchmark
// links a stand-in to measure the programs without it.)
Caller SessionCaller();

// For any request: the least role is a viewer's.
Role AnyRole(json_object *request);

// The session cookie's name: over HTTPS "__Host-grshm_session" (Secure, for this host only),
// over plain HTTP "grshm_session".
bool OverHttps();
const char *SessionCookieName();
// The token the request's session cookie carries, or an empty text.
std::string SessionToken();

// A whole reply with its status line: "Status: CODE REASON", any more header lines (each
// ending in a line end), and { "Res": "Failed", "Error": error }.
void PrintFailure(int status, const char *reason, std::string_view error, std::string_view more_headers = {});

// The header of a reply that is served: "Content-type: application/text;charset=utf-8", any
// more header lines, and the empty line.
void PrintServedHeader(std::string_view more_headers = {});

// Reads the request of this process's CGI environment from standard input (a POST body of at
// most max_body characters) and parses it.
// Null when there is no request text or it is not valid JSON: such a request is served as a
// request without members.
JsonPtr ReadRequest(std::size_t max_body = kMaxBody);

// The reply of a request that could not be served: { "Res": "Failed", "Error": error }.
void WriteFailed(JsonWriter &reply, std::string_view error);

// The whole of a read-only report program that any role may read: opens the request (and
// ignores it), attaches the segments, builds the report and prints it, or "Failed" when one of its
// records could not be read (zeros are not the receiver's state). Returns the exit status.
int ServeReport(void (*write_report)(JsonWriter &reply));

// Prints the reply, written out at once, with no line end after it.
void PrintReply(const JsonWriter &reply);

}  // namespace cgi
