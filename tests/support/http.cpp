#include "http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "process.h"

namespace testsupport {
namespace {

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const timeval bound{kProcessBoundMs / 1000, 0};  // a server that never answers fails the test
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

HttpReply HttpRequest(int port, const std::string &method, const std::string &target, const std::string &body) {
    HttpReply reply;
    const int fd = Connect(port);
    if (fd < 0) return reply;
    std::string request = method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    if (method == "POST")
        request += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    request += "\r\n" + body;
    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n = write(fd, request.data() + sent, request.size() - sent);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    std::string response;
    char buffer[16384];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) response.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    const std::size_t end = response.find("\r\n\r\n");
    if (response.rfind("HTTP/", 0) != 0 || end == std::string::npos) return reply;
    reply.status = std::atoi(response.c_str() + response.find(' ') + 1);
    reply.headers = response.substr(0, end);
    reply.body = response.substr(end + 4);
    return reply;
}

bool WaitForPort(int port, int timeout_ms) {
    for (int waited = 0; waited < timeout_ms; waited += 20) {
        const int fd = Connect(port);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        usleep(20 * 1000);
    }
    return false;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

}  // namespace testsupport
