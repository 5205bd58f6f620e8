// The CPU time a rolekind request spends waiting while the mailbox stays busy for one second:
// the CPU of such a request minus that of the same request with a free mailbox.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sharememory.h"

namespace {

// Runs a base stop request; the mailbox frees after busy_seconds. Its CPU seconds, or -1.
double RequestCpu(const char *rolekind, unsigned busy_seconds) {
    if (busy_seconds > 0) SetMonitorOperate(ENTRY_RESTART_OP);
    const pid_t request = fork();
    if (request == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        setenv("REQUEST_METHOD", "GET", 1);
        setenv("QUERY_STRING", R"({"Key":"3"})", 1);
        execl(rolekind, rolekind, static_cast<char *>(nullptr));
        _exit(127);
    }
    sleep(busy_seconds);
    SetMonitorOperateState(OP_SUCCESS);  // the receiver finishes; the request posts and ends
    int status = 0;
    rusage usage{};
    wait4(request, &status, 0, &usage);
    SetMonitorOperateState(OP_SUCCESS);  // and takes the request's own operation
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2 || unshare(CLONE_NEWIPC) != 0) {
        std::fprintf(stderr, "usage (as root): busy_wait ROLEKIND\n");
        return 1;
    }
    InitShareMemory();
    double free_cpu = 0, busy_cpu = 0;
    constexpr int kRounds = 3;  // medians would need more; means over three are steady enough
    for (int i = 0; i < kRounds; ++i) {
        free_cpu += RequestCpu(argv[1], 0) / kRounds;
        busy_cpu += RequestCpu(argv[1], 1) / kRounds;
    }
    std::printf("%.4f %.4f\n", busy_cpu - free_cpu, free_cpu);
    return 0;
}
