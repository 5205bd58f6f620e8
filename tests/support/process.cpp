#include "process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace testsupport {

pid_t Spawn(const std::function<int()> &fn) {
    const pid_t pid = fork();
    if (pid == 0) _exit(fn());
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

ProgramResult Post(const std::string &path, const std::string &body) {
    return RunProgram(path, {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", std::to_string(body.size())}}, body);
}

std::string ReplyBody(const ProgramResult &result) {
    static const std::string kHeader = "Content-type: application/text;charset=utf-8\n\n";
    EXPECT_EQ(result.out.substr(0, kHeader.size()), kHeader);
    return result.out.size() >= kHeader.size() ? result.out.substr(kHeader.size()) : std::string{};
}

}  // namespace testsupport
