// Password guessing against the login program, run as the web server runs it (one process per
// request, CGI environment, the request gate): wrong guesses sent as fast as they are answered,
// from one client, from 100 connections of one address and from 100 addresses, each for a
// while; then the right password from an address of its own. Prints what the guessers got.
// Usage: guessing [SECONDS]   (default 60; run as root, it takes a private IPC namespace)
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char *kPassword = "tractor-meadow-42";

// Runs a program with this environment and standard input; its standard output.
std::string Run(const char *program, const std::vector<std::string> &environment, const std::string &input) {
    std::array<int, 2> to{};
    std::array<int, 2> from{};
    if (pipe(to.data()) != 0 || pipe(from.data()) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(to[0], STDIN_FILENO);
        dup2(from[1], STDOUT_FILENO);
        for (const int fd : {to[0], to[1], from[0], from[1]}) close(fd);
        std::vector<char *> env;
        env.reserve(environment.size() + 1);
        for (const std::string &entry : environment) env.push_back(const_cast<char *>(entry.c_str()));
        env.push_back(nullptr);
        char *argv[] = {const_cast<char *>(program), nullptr};
        execve(program, argv, env.data());
        _exit(127);
    }
    close(to[0]);
    close(from[1]);
    (void)!write(to[1], input.data(), input.size());
    close(to[1]);
    std::string out;
    std::array<char, 4096> buffer{};
    for (ssize_t got = 0; (got = read(from[0], buffer.data(), buffer.size())) > 0;)
        out.append(buffer.data(), static_cast<std::size_t>(got));
    close(from[0]);
    waitpid(child, nullptr, 0);
    return out;
}

// What a reply was: "checked" (401: the password was tried), "wait" (429 of the lock-out),
// "busy" (429: both hash places taken, or 503 at the gate), "in" (200) or "other".
std::string Kind(const std::string &reply) {
    if (reply.starts_with("Status: 401")) return "checked";
    if (reply.starts_with("Status: 429") && reply.find("too many failed") != std::string::npos) return "wait";
    if (reply.starts_with("Status: 429") || reply.starts_with("Status: 503")) return "busy";
    return reply.find("\"Res\": \"Success\"") != std::string::npos ? "in" : "other";
}

std::string Login(const std::string &dir, const std::string &address, const std::string &password) {
    const std::string body = R"({"User":"ada","Password":")" + password + R"("})";
    return Kind(
        Run(LOGIN_PATH,
            {"GATEWAY_INTERFACE=CGI/1.1", "REQUEST_METHOD=POST", "CONTENT_LENGTH=" + std::to_string(body.size()),
             "GRSHM_STATE_DIR=" + dir, "REMOTE_ADDR=" + address},
            body));
}

// A state folder of its own with the account ada.
std::string NewState() {
    char pattern[] = "/tmp/grshm-guessing-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::exit(1);
    const std::string command = std::string("printf '%s\\n' ") + kPassword + " | " + GRSHM_USER_PATH + " --dir " +
                                pattern + " add ada --role admin";
    if (std::system(command.c_str()) != 0) std::exit(1);
    return pattern;
}

void Attack(const char *what, int connections, bool own_addresses, int seconds) {
    const std::string dir = NewState();
    std::mutex lock;
    std::map<std::string, long> counts;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const auto first_minute = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::atomic<long> checked_in_first_minute{0};
    std::vector<std::thread> guessers;
    guessers.reserve(static_cast<std::size_t>(connections));
    for (int c = 0; c < connections; ++c) {
        guessers.emplace_back([&, c] {
            const std::string address =
                own_addresses ? "198.51." + std::to_string(c / 250) + "." + std::to_string(c % 250 + 1) : "203.0.113.9";
            for (long n = 0; std::chrono::steady_clock::now() < end; ++n) {
                const std::string kind = Login(dir, address, "guess-" + std::to_string(c) + "-" + std::to_string(n));
                if (kind == "checked" && std::chrono::steady_clock::now() < first_minute) ++checked_in_first_minute;
                const std::scoped_lock hold(lock);
                ++counts[kind];
            }
        });
    }
    for (std::thread &guesser : guessers) guesser.join();
    long answered = 0;
    for (const auto &[kind, count] : counts) answered += count;
    std::printf(
        "%s for %d s: %ld answered (%.0f/s): %ld passwords checked (%ld in the first minute), %ld told "
        "to wait (429), %ld busy (429/503), %ld other; the right password from another address then: %s\n",
        what, seconds, answered, static_cast<double>(answered) / seconds, counts["checked"],
        checked_in_first_minute.load(), counts["wait"], counts["busy"], counts["other"],
        Login(dir, "192.0.2.200", kPassword).c_str());
    std::fflush(stdout);
    (void)!std::system(("rm -rf " + dir).c_str());
}

}  // namespace

int main(int argc, char **argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: guessing [SECONDS]\n");
        return 2;
    }
    if (unshare(CLONE_NEWIPC) != 0) std::fprintf(stderr, "guessing: no private IPC namespace: the gate is shared\n");
    Attack("1 client", 1, false, seconds);
    Attack("100 connections of one address", 100, false, seconds);
    Attack("100 connections of 100 addresses", 100, true, seconds);
    return 0;
}
