// Segment set-up and removal.
#include "sharememory.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "lock_set.h"

extern "C" {
ShareMemoryHandle OstrelConfig;
ShareMemoryHandle OstrelMonitor;
ShareMemoryHandle OstrelGNSS;
}

namespace {

struct SegmentSpec {
    key_t sem_key;
    key_t shm_key;
    std::size_t size;
};

constexpr SegmentSpec kConfigSegment{CONFIG_SEM_KEY, CONFIG_SHM_KEY, sizeof(ReceiverConfigPara)};
constexpr SegmentSpec kMonitorSegment{MONITOR_SEM_KEY, MONITOR_SHM_KEY, sizeof(MonitorPara)};
constexpr SegmentSpec kGnssSegment{GNSS_SEM_KEY, GNSS_SHM_KEY, sizeof(GNSSInfo)};

void *const kFailedAttach = reinterpret_cast<void *>(-1);  // NOLINT: shmat's failure value

// Writes one fixed line to standard error and ends the process.
[[noreturn]] void Fail(const char *line) {
    const ssize_t written = write(STDERR_FILENO, line, std::strlen(line));
    (void)written;
    std::exit(1);
}

void ResetHandle(ShareMemoryHandle *handle) {
    // A second InitShareMemory in one process must not leave the first mapping behind.
    if (handle->shm_addr != nullptr && handle->shm_addr != kFailedAttach) shmdt(handle->shm_addr);
    handle->shm_addr = nullptr;
    handle->base_addr = nullptr;
    handle->shm_id = -1;
    handle->sem_id = 0;
}

void AttachSegment(ShareMemoryHandle *handle, const SegmentSpec &spec) {
    handle->sem_id = grshm::OpenLockSet(spec.sem_key);
    if (handle->sem_id == -1) Fail("semget failed.\n");
    handle->shm_id = shmget(spec.shm_key, spec.size, IPC_CREAT | 0666);
    if (handle->shm_id == -1) Fail("shmget failed\n");
    handle->shm_addr = shmat(handle->shm_id, nullptr, 0);
    if (handle->shm_addr == kFailedAttach) Fail("shmat failed\n");
    handle->base_addr = handle->shm_addr;
}

void InitSegment(ShareMemoryHandle *handle, const SegmentSpec &spec) {
    ResetHandle(handle);
    AttachSegment(handle, spec);
}

void DeleteSegment(const ShareMemoryHandle &handle) {
    del_semaphore(handle.sem_id);
    if (shmdt(handle.shm_addr) == -1) Fail("shmdt failed\n");
    if (shmctl(handle.shm_id, IPC_RMID, nullptr) == -1) Fail("shmctl(IPC_RMID) failed\n");
}

}  // namespace

extern "C" {

int InitShareMemory(void) {
    InitSegment(&OstrelConfig, kConfigSegment);
    InitSegment(&OstrelMonitor, kMonitorSegment);
    InitSegment(&OstrelGNSS, kGnssSegment);
    return 0;
}

void DeleteShareMemory(void) {
    DeleteSegment(OstrelConfig);
    DeleteSegment(OstrelMonitor);
    DeleteSegment(OstrelGNSS);
    std::exit(0);
}

}  // extern "C"
