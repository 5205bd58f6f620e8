#include "http.h"

#include <arpa/inet.h>
#include <json-c/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>

#include "process.h"

namespace testsupport {
namespace {

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
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

HttpReply HttpRequest(int port, const std::string &method, const std::string &target, const std::string &body,
                      const HttpLogin &login, const std::vector<std::string> &extra_headers) {
    char body_path[] = "/tmp/grshm-http-body-XXXXXX";
    char headers_path[] = "/tmp/grshm-http-headers-XXXXXX";
    const int body_fd = mkstemp(body_path);
    const int headers_fd = mkstemp(headers_path);
    close(body_fd);
    close(headers_fd);
    std::vector<std::string> curl = {"/usr/bin/curl",
                                     "-sS",
                                     "--max-time",
                                     std::to_string(kProcessBoundMs / 1000),
                                     "-o",
                                     body_path,
                                     "-D",
                                     headers_path,
                                     "-w",
                                     "%{http_code}",
                                     "-X",
                                     method};
    if (!login.user.empty()) {
        const std::string token = SessionToken(port, login);
        if (!token.empty()) curl.insert(curl.end(), {"-H", "Cookie: grshm_session=" + token});
    }
    bool own_type = false;
    for (const std::string &header : extra_headers) {
        curl.insert(curl.end(), {"-H", header});
        own_type |= header.rfind("Content-Type:", 0) == 0;
    }
    if (method == "POST") curl.insert(curl.end(), {"--data-binary", body});
    if (method == "POST" && !own_type) curl.insert(curl.end(), {"-H", "Content-Type: application/json"});
    curl.push_back("http://127.0.0.1:" + std::to_string(port) + target);
    const CommandResult result = RunCommand(curl, false);

    HttpReply reply;
    reply.status = std::atoi(result.out.c_str());
    std::ifstream body_file(body_path);
    reply.body.assign(std::istreambuf_iterator<char>(body_file), std::istreambuf_iterator<char>());
    std::ifstream headers_file(headers_path);
    const std::string headers{std::istreambuf_iterator<char>(headers_file), std::istreambuf_iterator<char>()};
    reply.headers = headers;
    unlink(body_path);
    unlink(headers_path);
    return reply;
}

std::string SessionToken(int port, const HttpLogin &login) {
    static std::map<std::string, std::string> tokens;  // by port, user and password
    const std::string key = std::to_string(port) + "\n" + login.user + "\n" + login.password;
    if (const auto known = tokens.find(key); known != tokens.end()) return known->second;
    json_object *body = json_object_new_object();
    json_object_object_add(body, "User", json_object_new_string(login.user.c_str()));
    json_object_object_add(body, "Password", json_object_new_string(login.password.c_str()));
    const std::string text = json_object_to_json_string(body);
    json_object_put(body);
    const HttpReply reply = HttpRequest(port, "POST", "/cgi-bin/login", text, HttpLogin{"", ""});
    std::smatch token;
    if (reply.status != 200 || !std::regex_search(reply.headers, token, std::regex("grshm_session=([0-9a-f]{32});")))
        return {};
    return tokens[key] = token[1].str();
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
