// A program run as the web server would, with the call log preloaded (CALL_LOG_PATH, defined by
// the test target): its result and the library calls it made, in the order it made them. A
// call named in fail_call fails as if its segment's lock could not be taken.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "process.h"

namespace testsupport {

struct CallLogRun {
    ProgramResult result;
    std::vector<std::string> calls;
};

inline CallLogRun RunWithCallLog(const char *program, const std::string &body, const std::string &fail_call,
                                 std::map<std::string, std::string> environment = {}) {
    char log_path[] = "/tmp/grshm-calls-XXXXXX";
    const int log_fd = mkstemp(log_path);
    EXPECT_GE(log_fd, 0);
    close(log_fd);
    environment.insert({{"REQUEST_METHOD", "POST"},
                        {"CONTENT_LENGTH", std::to_string(body.size())},
                        {"GRSHM_CALL_LOG", log_path},
                        {"GRSHM_FAIL_CALL", fail_call},
                        {"ASAN_OPTIONS", "verify_asan_link_order=0"}});
    const char *emulator = std::getenv("GRSHM_TEST_EMULATOR");
    if (emulator != nullptr && *emulator != '\0')
        environment["QEMU_SET_ENV"] = std::string("LD_PRELOAD=") + CALL_LOG_PATH;  // for the emulated program only
    else
        environment["LD_PRELOAD"] = CALL_LOG_PATH;
    CallLogRun run{RunProgram(program, environment, body), {}};
    std::ifstream log(log_path);
    for (std::string line; std::getline(log, line);) run.calls.push_back(line);
    unlink(log_path);
    return run;
}

}  // namespace testsupport
