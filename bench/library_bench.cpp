// Entry access of the library next to the floor of the same work done by hand: take the
// semaphore, copy the bytes, give the semaphore back.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/sem.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sharememory.h"

namespace {

struct Case {
    const char *name;
    const ShareMemoryHandle *handle;
    int (*get)(unsigned char, void *);
    unsigned char entry;
    std::size_t offset;
    std::size_t size;
};

const Case kCases[] = {
    {"config/WORK_MODE(1)", &OstrelConfig, GetReceiverConfigParaFromShareMemory, ENTRY_WORK_MODE,
     offsetof(ReceiverConfigPara, WORK_MODE), 1},
    {"config/TCP1(1904)", &OstrelConfig, GetReceiverConfigParaFromShareMemory, ENTRY_TCP1_CONFIG,
     offsetof(ReceiverConfigPara, TCP1), sizeof(EthTCPConfig)},
    {"monitor/TEMP(1)", &OstrelMonitor, GetMonitorParaFromShareMemory, ENTRY_TEMP, offsetof(MonitorPara, TEMP), 1},
    {"monitor/ANT_TYPE(21000)", &OstrelMonitor, GetMonitorParaFromShareMemory, ENTRY_ANT_TYPE,
     offsetof(MonitorPara, ANT_TYPE), sizeof(MonitorPara::ANT_TYPE)},
    {"gnss/ZDA(12)", &OstrelGNSS, GetGNSSInfoFromShareMemory, ENTRY_ZDA, offsetof(GNSSInfo, ZDA), 12},
    {"gnss/M925B(10240)", &OstrelGNSS, GetGNSSInfoFromShareMemory, ENTRY_M925B, offsetof(GNSSInfo, M925B), 10240},
};

void LibraryGet(benchmark::State &state, const Case &c) {
    std::vector<unsigned char> buffer(c.size);
    for (auto _ : state) {
        c.get(c.entry, buffer.data());
        benchmark::DoNotOptimize(buffer.data());
    }
}

// The same work by hand: P, memcpy, V.
void FloorGet(benchmark::State &state, const Case &c) {
    std::vector<unsigned char> buffer(c.size);
    const auto *base = static_cast<const unsigned char *>(c.handle->base_addr);
    sembuf p{0, -1, SEM_UNDO};
    sembuf v{0, 1, SEM_UNDO};
    for (auto _ : state) {
        semop(c.handle->sem_id, &p, 1);
        std::memcpy(buffer.data(), base + c.offset, c.size);
        semop(c.handle->sem_id, &v, 1);
        benchmark::DoNotOptimize(buffer.data());
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (unshare(CLONE_NEWIPC) != 0) {
        std::fprintf(stderr, "library_bench needs a private IPC namespace (run as root)\n");
        return 1;
    }
    InitShareMemory();
    for (const Case &c : kCases) {
        benchmark::RegisterBenchmark((std::string("library/") + c.name).c_str(), LibraryGet, c);
        benchmark::RegisterBenchmark((std::string("floor/") + c.name).c_str(), FloorGet, c);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
