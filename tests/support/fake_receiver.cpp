#include "fake_receiver.h"

#include <unistd.h>

#include <csignal>
#include <cstring>

#include "process.h"

namespace testsupport {
namespace {

TakenOperation Observe(unsigned char code) {
    TakenOperation taken;
    std::memset(&taken, 0, sizeof taken);
    taken.code = code;
    GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &taken.work_mode);
    GetReceiverConfigParaFromShareMemory(ENTRY_PPS_ENABLE, &taken.pps_enable);
    GetReceiverConfigParaFromShareMemory(ENTRY_EVENT_ENABLE, &taken.event_enable);
    GetMonitorParaFromShareMemory(ENTRY_STATION_STATE, &taken.station_state);
    GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, taken.station_id);
    GetReceiverConfigParaFromShareMemory(ENTRY_STATION_POS, &taken.station_pos);
    for (int n = 0; n < SMARTBASE_STATIONS; ++n)
        GetReceiverConfigParaFromShareMemory(static_cast<unsigned char>(ENTRY_SMARTBASE1_CONFIG + n),
                                             &taken.smartbase[n]);
    return taken;
}

void CarryOut(const TakenOperation &taken, const FakeReceiverSettings &settings) {
    if (taken.code == ENTRY_GPOS_OP) SetMonitorParaToShareMemory(ENTRY_CUR_POS, &settings.current_position);
    if (taken.code == ENTRY_WMODE_OP && taken.work_mode == SMARTBASE_MODE)
        SetMonitorParaToShareMemory(ENTRY_SMARTBASE_ID, &settings.smartbase_number);
}

int Serve(int log_fd, const FakeReceiverSettings &settings) {
    InitShareMemory();
    for (;;) {
        unsigned char mailbox[2];
        GetMonitorOperate(mailbox);
        if (static_cast<signed char>(mailbox[1]) != OP_EXE) {
            usleep(500);
            continue;
        }
        const TakenOperation taken = Observe(mailbox[0]);
        CarryOut(taken, settings);  // results first, then the state
        if (write(log_fd, &taken, sizeof taken) != static_cast<ssize_t>(sizeof taken)) return 1;
        SetMonitorOperateState(OP_SUCCESS);
    }
}

}  // namespace

FakeReceiver::FakeReceiver(const FakeReceiverSettings &settings) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = Spawn([&] {
        close(fds[0]);
        return Serve(fds[1], settings);
    });
    close(fds[1]);
    log_fd_ = fds[0];
}

FakeReceiver::~FakeReceiver() {
    Stop();
}

std::vector<TakenOperation> FakeReceiver::Stop() {
    std::vector<TakenOperation> taken;
    if (pid_ <= 0) return taken;
    // A program does not wait for its last operation to be carried out: let the receiver
    // finish it (it logs before it frees the mailbox).
    WaitMonitorOperateIdle(5000);
    kill(pid_, SIGTERM);
    WaitChild(pid_);
    pid_ = -1;
    TakenOperation one;
    while (read(log_fd_, &one, sizeof one) == static_cast<ssize_t>(sizeof one)) taken.push_back(one);
    close(log_fd_);
    return taken;
}

std::vector<int> Codes(const std::vector<TakenOperation> &taken) {
    std::vector<int> codes;
    for (const TakenOperation &one : taken) codes.push_back(one.code);
    return codes;
}

}  // namespace testsupport
