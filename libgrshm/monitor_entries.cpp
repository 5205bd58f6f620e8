// Entry access of the monitor segment and the operation mailbox.
#include <cerrno>

#include "clock.h"
#include "entry_tables.h"

namespace grshm {
namespace {

// Pauses between two looks at a busy mailbox: the first ones short, to notice a quick
// executor at once; then longer, so that a long wait costs next to no CPU.
constexpr long kFirstPollPauseNs = 1L * 1000 * 1000;
constexpr long kLongestPollPauseNs = 10L * 1000 * 1000;

MonitorPara *Monitor(unsigned char *base) {
    return reinterpret_cast<MonitorPara *>(base);
}

void PausePoll(long *pause_ns) {
    SleepNs(*pause_ns);
    *pause_ns = *pause_ns * 2 > kLongestPollPauseNs ? kLongestPollPauseNs : *pause_ns * 2;
}

// The mailbox state as it is now, without the lock: one byte, read in one load. Only used to
// decide whether taking the lock is worth it; every decision is made again under the lock.
bool MailboxLooksBusy() {
    const auto *monitor = static_cast<const MonitorPara *>(OstrelMonitor.base_addr);
    return __atomic_load_n(&monitor->OperateState, __ATOMIC_ACQUIRE) == OP_EXE;
}

// Polls step() (which runs under the monitor lock and says whether it is done) until it is
// done or timeout_ms has passed. While the mailbox looks busy, a poll costs one load and a
// pause, not two semaphore operations.
template <typename Step>
int PollMailbox(unsigned int timeout_ms, Step &&step) {
    const long long deadline = MonotonicNs() + static_cast<long long>(timeout_ms) * 1000000LL;
    long pause_ns = kFirstPollPauseNs;
    for (;;) {
        if (!MailboxLooksBusy()) {
            bool done = false;
            if (WithLock(OstrelMonitor, [&](unsigned char *base) { done = step(Monitor(base)); }) != 0) return -1;
            if (done) return 0;
        }
        if (MonotonicNs() >= deadline) {
            errno = EBUSY;  // tells a busy mailbox from a lock that could not be taken
            return -1;
        }
        PausePoll(&pause_ns);
    }
}

}  // namespace
}  // namespace grshm

extern "C" {

int SetMonitorParaToShareMemory(unsigned char entry, const void *data) {
    return grshm::SetTableEntry(OstrelMonitor, grshm::kMonitorTable, entry, data);
}

int GetMonitorParaFromShareMemory(unsigned char entry, void *data) {
    return grshm::GetTableEntry(OstrelMonitor, grshm::kMonitorTable, entry, data);
}

int SetMonitorOperate(OPERATE_ENTRY op) {
    return grshm::WithLock(OstrelMonitor, [op](unsigned char *base) {
        grshm::Monitor(base)->OperateState = OP_EXE;
        grshm::Monitor(base)->OperateCode = static_cast<unsigned char>(op);
    });
}

int ClearMonitorOperate(void) {
    return grshm::WithLock(OstrelMonitor,
                           [](unsigned char *base) { grshm::Monitor(base)->OperateCode = ENTRY_NULL_OP; });
}

int GetMonitorOperate(unsigned char *out) {
    if (out == nullptr) return -1;
    return grshm::WithLock(OstrelMonitor, [out](unsigned char *base) {
        out[0] = grshm::Monitor(base)->OperateCode;
        out[1] = static_cast<unsigned char>(grshm::Monitor(base)->OperateState);
    });
}

int SetMonitorOperateState(OPERATE_STATE state) {
    return grshm::WithLock(OstrelMonitor, [state](unsigned char *base) {
        grshm::Monitor(base)->OperateState = static_cast<signed char>(state);
    });
}

OPERATE_STATE GetMonitorOperateState(void) {
    int state = OP_FAILED;
    // The state byte is signed on purpose: 0xFF is OP_FAILED.
    auto read_state = [&state](unsigned char *base) {
        state = grshm::Monitor(base)->OperateState;  // NOLINT(bugprone-signed-char-misuse)
    };
    if (grshm::WithLock(OstrelMonitor, read_state) != 0) return OP_FAILED;
    return static_cast<OPERATE_STATE>(state);
}

int RefreshReceiverMonitorFreeSpace(void) {
    const unsigned int zero = 0;
    return SetMonitorParaToShareMemory(ENTRY_FREE_SPACE, &zero);
}

int PostMonitorOperate(OPERATE_ENTRY op, unsigned int timeout_ms) {
    return grshm::PollMailbox(timeout_ms, [op](MonitorPara *monitor) {
        if (monitor->OperateState == OP_EXE) return false;
        monitor->OperateState = OP_EXE;
        monitor->OperateCode = static_cast<unsigned char>(op);
        return true;
    });
}

int WaitMonitorOperateIdle(unsigned int timeout_ms) {
    return grshm::PollMailbox(timeout_ms, [](MonitorPara *monitor) { return monitor->OperateState != OP_EXE; });
}

}  // extern "C"
