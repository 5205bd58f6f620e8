#include "process.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

namespace testsupport {

pid_t Spawn(const std::function<int()> &fn) {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // a helper never outlives its test
        _exit(fn());
    }
    return pid;
}

int WaitChild(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) == -1) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

ProgramResult RunProgram(const std::string &path, const std::map<std::string, std::string> &environment,
                         const std::string &input) {
    int to_child[2];
    int from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return {};
    // An emulator (for programs of another architecture) may have to stand in front.
    const char *emulator_setting = std::getenv("GRSHM_TEST_EMULATOR");
    const std::string emulator = emulator_setting != nullptr ? emulator_setting : "";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(to_child[0], STDIN_FILENO);
        dup2(from_child[1], STDOUT_FILENO);
        close(to_child[0]);
        close(to_child[1]);
        close(from_child[0]);
        close(from_child[1]);
        clearenv();
        for (const auto &[name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
        if (emulator.empty())
            execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
        else
            execl(emulator.c_str(), emulator.c_str(), path.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    ssize_t ignored = write(to_child[1], input.data(), input.size());
    (void)ignored;
    close(to_child[1]);
    ProgramResult result;
    char buffer[65536];
    for (ssize_t n; (n = read(from_child[0], buffer, sizeof buffer)) > 0;) result.out.append(buffer, n);
    close(from_child[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::vector<std::string> WithEmulator(std::vector<std::string> argv) {
    const char *emulator = std::getenv("GRSHM_TEST_EMULATOR");
    if (emulator != nullptr && *emulator != '\0') argv.insert(argv.begin(), emulator);
    return argv;
}

CommandResult RunCommand(const std::vector<std::string> &command) {
    const std::vector<std::string> argv = WithEmulator(command);
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        std::vector<char *> args;
        for (const std::string &arg : argv) args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    CommandResult result;
    // Both streams at once: a command that fills one pipe must not wait on the other.
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string *texts[2] = {&result.out, &result.err};
    for (int open_streams = 2; open_streams > 0;) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_streams;
            }
        }
    }
    result.exit_status = WaitChild(pid);
    return result;
}

ProgramResult Post(const std::string &path, const std::string &body) {
    return RunProgram(path, {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(body.size())}}, body);
}

std::string ReplyBody(const ProgramResult &result) {
    static const std::string kHeader = "Content-type: application/text;charset=utf-8\n\n";
    EXPECT_EQ(result.out.substr(0, kHeader.size()), kHeader);
    return result.out.size() >= kHeader.size() ? result.out.substr(kHeader.size()) : std::string{};
}

}  // namespace testsupport
