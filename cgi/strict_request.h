// Reading a request the strict way, for the programs that change settings: the body is taken
// only whole (one over the limit is refused, saying the limit), read as strict JSON (no
// leading zeros, trailing commas, comments or bare words; nothing after the value), and an
// object naming a key twice is refused: json-c would keep the last of them, so a request could
// say two things and be taken for one. (json-c has no option for that: the text is scanned.)
#pragma once

#include <string>

#include "cgi_frame.h"

namespace cgi {

struct StrictRequest {
    JsonPtr document;   // null when there was no request text, or it was refused
    std::string error;  // why it was refused; empty when it was not
};

// The request of this process's CGI environment: a POST body of at most max_body characters.
StrictRequest ReadStrictRequest(std::size_t max_body);

// The same for a request text already read (the fuzz targets and tests).
StrictRequest ParseStrictRequest(const char *text, std::size_t length);

// The first key that some object of a JSON text names twice (decoded: "A" and "\u0041" are
// one key); empty when none is. The text must be valid JSON.
std::string DuplicateKey(const char *text, std::size_t length);

}  // namespace cgi
