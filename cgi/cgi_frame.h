// The request frame the CGI programs share: everything about the CGI envelope lives here,
// the programs only see a parsed request and fill a reply.
#pragma once

#include <json-c/json.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

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

// Prints the CGI header block; comes before anything is read from the segments or written to
// the reply. A request that the web server's cap on concurrent requests turns away is answered
// 503 here, and the process ends: a request that may wait on the receiver takes a place in the
// gate's waiting share, any other one in its prompt share (request_gate.h).
void PrintHeader(GateShare share = GateShare::Prompt);

// Reads the request of this process's CGI environment from standard input (a POST body of at
// most max_body characters) and parses it.
// Null when there is no request text or it is not valid JSON: such a request is served as a
// request without members.
JsonPtr ReadRequest(std::size_t max_body = kMaxBody);

// The reply of a request that could not be served: { "Res": "Failed", "Error": error }.
void WriteFailed(JsonWriter &reply, std::string_view error);

// The whole of a read-only report program: prints the header, reads (and ignores) the request,
// attaches the segments, builds the report and prints it, or "Failed" when one of its
// records could not be read (zeros are not the receiver's state). Returns the exit status.
int ServeReport(void (*write_report)(JsonWriter &reply));

// Prints the reply, written out at once, with no line end after it.
void PrintReply(const JsonWriter &reply);

}  // namespace cgi
