#include "process.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

// A write to a program that has exited without reading its input raises SIGPIPE; the test
// process must see EPIPE instead. Programs get the default back before they start.
void IgnoreBrokenPipes() {
    static const bool ignored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)ignored;
}

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Feeds input to the child and collects its output until it closes its output, both at once
// (a program may write before it reads). False when the deadline passed first.
bool Exchange(int to_child, int from_child, const std::string &input, std::string *output, Clock::time_point deadline) {
    std::size_t sent = 0;
    if (input.empty()) {
        close(to_child);
        to_child = -1;
    }
    for (;;) {
        pollfd fds[2] = {{from_child, POLLIN, 0}, {to_child, POLLOUT, 0}};
        const int ready = poll(fds, to_child >= 0 ? 2 : 1, MsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        if (to_child >= 0 && fds[1].revents != 0) {
            const ssize_t n = write(to_child, input.data() + sent, input.size() - sent);
            if (n > 0) sent += static_cast<std::size_t>(n);
            if (n < 0 || sent == input.size()) {  // EPIPE: the program did not want the rest
                close(to_child);
                to_child = -1;
            }
        }
        if (fds[0].revents != 0) {
            char buffer[65536];
            const ssize_t n = read(from_child, buffer, sizeof buffer);
            if (n <= 0) {
                if (to_child >= 0) close(to_child);
                return true;
            }
            output->append(buffer, static_cast<std::size_t>(n));
        }
    }
    if (to_child >= 0) close(to_child);
    return false;
}

// The build tree may lie in a home that only its owner enters (root's is 0700): a program run as
// another user runs from a copy, with the library it loads and the emulator in front of it, in
// a folder of its own that every user may enter, removed afterwards.
class ReachableCopy {
 public:
    ReachableCopy(const std::string &program, const std::string &emulator) {
        char folder[] = "/tmp/grshm-other-user.XXXXXX";
        if (mkdtemp(folder) == nullptr) return;
        folder_ = folder;
        std::filesystem::permissions(folder_, std::filesystem::perms(0755));
        program_ = Copy(program, std::filesystem::path(program).filename());
        Copy(GRSHM_LIBRARY_PATH, GRSHM_LIBRARY_SONAME);
        if (!emulator.empty()) emulator_ = Copy(emulator, "emulator");
    }
    ~ReachableCopy() {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    ReachableCopy(const ReachableCopy &) = delete;
    ReachableCopy &operator=(const ReachableCopy &) = delete;

    const std::string &Folder() const { return folder_; }
    const std::string &Program() const { return program_; }
    const std::string &Emulator() const { return emulator_; }

 private:
    std::string Copy(const std::string &from, const std::filesystem::path &name) {
        const std::filesystem::path to = std::filesystem::path(folder_) / name;
        std::error_code failed;
        std::filesystem::copy_file(from, to, failed);
        if (!failed) std::filesystem::permissions(to, std::filesystem::perms(0755), failed);
        EXPECT_FALSE(failed) << "cannot copy " << from << " to " << to << ": " << failed.message();
        return to;
    }

    std::string folder_;
    std::string program_;
    std::string emulator_;
};

}  // namespace

pid_t Spawn(const std::function<int()> &fn) {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // a helper never outlives its test
        _exit(fn());
    }
    return pid;
}

int WaitChild(pid_t pid, int bound_ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(bound_ms);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done == -1 && errno != EINTR) {
            ADD_FAILURE() << "no child process " << pid << " to wait for";
            return -1;
        }
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "process " << pid << " was still running after " << bound_ms << " ms: killed";
            return -1;
        }
        usleep(1000);
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

// Taking the lock rather than overwriting the count with 0: a fake receiver polling the mailbox
// may hold the lock at that moment, and its release would turn an overwritten 0 back into a
// free lock.
bool SetLockFromAnotherProcess(int sem_id, int value) {
    const pid_t setter = Spawn([sem_id, value] {
        sembuf take{0, -1, 0};
        return (value == 0 ? semop(sem_id, &take, 1) : semctl(sem_id, 0, SETVAL, value)) == 0 ? 0 : 1;
    });
    return WaitChild(setter) == 0;
}

bool ReadWithin(int fd, void *data, std::size_t size, int bound_ms) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(bound_ms);
    auto *bytes = static_cast<unsigned char *>(data);
    for (std::size_t done = 0; done < size;) {
        pollfd one{fd, POLLIN, 0};
        const int ready = poll(&one, 1, MsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        const ssize_t n = ready > 0 ? read(fd, bytes + done, size - done) : 0;
        if (n <= 0) {
            ADD_FAILURE() << (ready == 0 ? "nothing came within " + std::to_string(bound_ms) + " ms"
                                         : std::string("the writer closed early"))
                          << " (" << done << " of " << size << " bytes)";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

ProgramResult RunProgram(const std::string &path, const std::map<std::string, std::string> &environment,
                         const std::string &input, int run_as_user) {
    IgnoreBrokenPipes();
    int to_child[2];
    int from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return {};
    // An emulator (for programs of another architecture) may have to stand in front.
    const char *emulator_setting = std::getenv("GRSHM_TEST_EMULATOR");
    std::string emulator = emulator_setting != nullptr ? emulator_setting : "";
    std::string program = path;
    std::map<std::string, std::string> variables = environment;
    std::optional<ReachableCopy> copy;
    if (run_as_user >= 0) {
        copy.emplace(path, emulator);
        program = copy->Program();
        emulator = copy->Emulator();
        variables["LD_LIBRARY_PATH"] = copy->Folder();
    }
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGPIPE, SIG_DFL);
        dup2(to_child[0], STDIN_FILENO);
        dup2(from_child[1], STDOUT_FILENO);
        close(to_child[0]);
        close(to_child[1]);
        close(from_child[0]);
        close(from_child[1]);
        clearenv();
        for (const auto &[name, value] : variables) setenv(name.c_str(), value.c_str(), 1);
        if (run_as_user >= 0 && (setgroups(0, nullptr) != 0 || setgid(static_cast<gid_t>(run_as_user)) != 0 ||
                                 setuid(static_cast<uid_t>(run_as_user)) != 0))
            _exit(126);
        if (emulator.empty())
            execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        else
            execl(emulator.c_str(), emulator.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    ProgramResult result;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kProcessBoundMs);
    if (!Exchange(to_child[1], from_child[0], input, &result.out, deadline)) kill(pid, SIGKILL);
    close(from_child[0]);
    const int status = WaitChild(pid, MsLeft(deadline) + 1000);
    result.exit_status = status >= 0 && status < 128 ? status : -1;
    return result;
}

std::vector<std::string> WithEmulator(std::vector<std::string> argv) {
    const char *emulator = std::getenv("GRSHM_TEST_EMULATOR");
    if (emulator != nullptr && *emulator != '\0') argv.insert(argv.begin(), emulator);
    return argv;
}

CommandResult RunCommand(const std::vector<std::string> &command, bool emulated) {
    const std::vector<std::string> argv = emulated ? WithEmulator(command) : command;
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
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kProcessBoundMs);
    for (int open_streams = 2; open_streams > 0;) {
        if (poll(fds, 2, MsLeft(deadline)) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
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
    for (const pollfd &stream : fds)
        if (stream.fd >= 0) close(stream.fd);
    result.exit_status = WaitChild(pid, MsLeft(deadline) + 1000);
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
