// Entry access of the monitor segment and the operation mailbox.
#include <ctime>

#include "segment.h"

namespace grshm {
namespace {

#define MONITOR_SPAN(member, access) GRSHM_SPAN(MonitorPara, member, access)

constexpr EntryRow kMonitorRows[] = {
    {ENTRY_TEMP, MONITOR_SPAN(TEMP, Access::Both)},
    {ENTRY_ALL_SPACE, MONITOR_SPAN(ALL_SPACE, Access::Both)},
    {ENTRY_FREE_SPACE, MONITOR_SPAN(FREE_SPACE, Access::Both)},
    {ENTRY_TCP1_LINK, MONITOR_SPAN(TCP1_LINK, Access::Both)},
    {ENTRY_TCP2_LINK, MONITOR_SPAN(TCP2_LINK, Access::Both)},
    {ENTRY_REC1_STATE, MONITOR_SPAN(REC1_STATE, Access::Both)},
    {ENTRY_REC2_STATE, MONITOR_SPAN(REC2_STATE, Access::Both)},
    {ENTRY_CUR_POS, MONITOR_SPAN(CUR_POS, Access::Both)},
    {ENTRY_STATION_STATE, MONITOR_SPAN(STATION_STATE, Access::Both)},
    {ENTRY_NC_STATE, MONITOR_SPAN(NC_STATE, Access::Both)},
    {ENTRY_GET_NST, MONITOR_SPAN(GET_NST, Access::Both)},
    {ENTRY_NST, MONITOR_SPAN(NST, Access::Both)},
    {ENTRY_NS1_STATE, MONITOR_SPAN(NS1_STATE, Access::Both)},
    {ENTRY_NS2_STATE, MONITOR_SPAN(NS2_STATE, Access::Both)},
    {ENTRY_CALL_INFO, MONITOR_SPAN(CALL_INFO, Access::Both)},
    {ENTRY_CALL_STATE, MONITOR_SPAN(CALL_INFO.State, Access::Both)},
    {ENTRY_DSPARA_UPDATE, MONITOR_SPAN(DSPARA_UPDATE, Access::Both)},
    {ENTRY_SMARTBASE_ID, MONITOR_SPAN(SMARTBASE_ID, Access::Both)},
    {ENTRY_WEB_STATE, MONITOR_SPAN(WEB_STATE, Access::Both)},
    {ENTRY_FW_STATE, MONITOR_SPAN(FW_STATE, Access::Both)},
    {ENTRY_MATCH_AT, MONITOR_SPAN(MATCH_AT, Access::Both)},
    {ENTRY_ANT_TYPE, MONITOR_SPAN(ANT_TYPE, Access::Both)},
    {ENTRY_GNSS_VERS, MONITOR_SPAN(GNSS_VERS, Access::Both)},
    {ENTRY_RUNTIME, MONITOR_SPAN(RUNTIME, Access::Both)},
    {ENTRY_DELFILE, MONITOR_SPAN(DELFILE, Access::Both)},
    {ENTRY_GNSS_MODULE, MONITOR_SPAN(GNSS_MODULE, Access::Both)},
    {ENTRY_BATTERY_EQ, MONITOR_SPAN(BATTERY_EQ, Access::Both)},
    {ENTRY_POWER_SUPPLY, MONITOR_SPAN(POWER_SUPPLY, Access::Both)},
    {ENTRY_LED_BLINK, MONITOR_SPAN(LED_BLINK, Access::Both)},
    {ENTRY_BT_CLIENT, MONITOR_SPAN(BT_CLIENT, Access::Both)},
    {ENTRY_POWER_OFF, MONITOR_SPAN(POWER_OFF, Access::Both)},
    {ENTRY_PPK, MONITOR_SPAN(PPK, Access::Both)},
    {ENTRY_REC_TIMER, MONITOR_SPAN(REC_TIMER, Access::Both)},
    // The mailbox bytes can be read as entries but only changed through the mailbox calls.
    {ENTRY_OP_TYPE, MONITOR_SPAN(OperateCode, Access::GetOnly)},
    {ENTRY_OP_STATE, MONITOR_SPAN(OperateState, Access::GetOnly)},
};

constexpr EntryTable kMonitorTable = MakeEntryTable(kMonitorRows);

// Pause between two looks at a busy mailbox: short enough to notice the executor quickly,
// long enough that a waiting poster costs next to no CPU.
constexpr long kPollPauseNs = 2L * 1000 * 1000;

MonitorPara *Monitor(unsigned char *base) {
    return reinterpret_cast<MonitorPara *>(base);
}

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void PausePoll() {
    const timespec pause{0, kPollPauseNs};
    nanosleep(&pause, nullptr);
}

// Polls step() (which runs under the monitor lock and says whether it is done) until it is
// done or timeout_ms has passed.
template <typename Step>
int PollMailbox(unsigned int timeout_ms, Step &&step) {
    const long long deadline = MonotonicNs() + static_cast<long long>(timeout_ms) * 1000000LL;
    for (;;) {
        bool done = false;
        if (WithLock(OstrelMonitor, [&](unsigned char *base) { done = step(Monitor(base)); }) != 0) return -1;
        if (done) return 0;
        if (MonotonicNs() >= deadline) return -1;
        PausePoll();
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
