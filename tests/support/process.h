// Running the built programs as the web server does, and helper processes for tests.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// How long a test waits for any one program or helper process before it kills it and fails:
// far above what the slowest of them takes under emulation, far below ctest's timeout.
constexpr int kProcessBoundMs = 90 * 1000;

struct ProgramResult {
    std::string out;
    int exit_status = -1;  // -1 when the program did not exit normally
};

// Runs a program with exactly this environment and this standard input. A program may exit
// without reading its input (a GET, no CONTENT_LENGTH): the rest of the input is dropped. A
// program still running after kProcessBoundMs is killed and the test fails.
// With run_as_user >= 0 the program runs as that user and group instead of the test's own, from
// a copy that user can reach (with the library and the emulator), wherever the build tree lies.
ProgramResult RunProgram(const std::string &path, const std::map<std::string, std::string> &environment,
                         const std::string &input, int run_as_user = -1);

// A CGI POST with the body's own length.
ProgramResult Post(const std::string &path, const std::string &body);

// The reply part of a CGI answer, after the header block; fails the test if the header is
// not exactly the expected one.
std::string ReplyBody(const ProgramResult &result);

struct CommandResult {
    std::string out;
    std::string err;
    int exit_status = -1;
};

// Runs a command line (argv[0] is the program's path) with this process's environment, with
// the emulator of GRSHM_TEST_EMULATOR in front when the programs are built for another
// architecture (unless it is one of the machine's own commands: emulated false).
CommandResult RunCommand(const std::vector<std::string> &command, bool emulated = true);

// The command line with that emulator in front, if there is one.
std::vector<std::string> WithEmulator(std::vector<std::string> argv);

// A child process that runs fn and exits with its result.
pid_t Spawn(const std::function<int()> &fn);

// Waits for a child; its exit status, or 128 + signal. A child still running after
// bound_ms is killed, the test fails, and the result is -1.
int WaitChild(pid_t pid, int bound_ms = kProcessBoundMs);

// Sets a segment's lock from a separate process: 0 takes it (without undo, so it stays taken
// after that process ends), another value is set as the count. False if that failed.
bool SetLockFromAnotherProcess(int sem_id, int value);

// Reads exactly size bytes, or fails the test after bound_ms (or at end of file) and returns
// false.
bool ReadWithin(int fd, void *data, std::size_t size, int bound_ms);

}  // namespace testsupport
