// A minimal HTTP/1.0 client for talking to the real web server on loopback.
#pragma once

#include <string>

namespace testsupport {

struct HttpReply {
    int status = 0;  // 0 when no answer came
    std::string headers;
    std::string body;
};

HttpReply HttpRequest(int port, const std::string &method, const std::string &target, const std::string &body = "");

// True once something accepts connections on the port (waits up to timeout_ms).
bool WaitForPort(int port, int timeout_ms);

// A port that was free a moment ago.
int FreePort();

}  // namespace testsupport
