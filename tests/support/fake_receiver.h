// The receiver's side of the mailbox, in a separate process, for tests of the programs that
// post operations. It records each operation it takes together with the entries as they
// stood at that moment, so tests can check that every announced entry was written before
// its post.
#pragma once

#include <sys/types.h>

#include <vector>

#include "sharememory.h"

namespace testsupport {

struct TakenOperation {
    unsigned char code;
    unsigned char work_mode;
    unsigned char pps_enable;
    unsigned char event_enable;
    unsigned char station_state;
    char station_id[16];
    Coordinates station_pos;
    SmartBaseInfo smartbase[SMARTBASE_STATIONS];
};

struct FakeReceiverSettings {
    Coordinates current_position{};      // written to ENTRY_CUR_POS before a position query completes
    unsigned char smartbase_number = 3;  // written to ENTRY_SMARTBASE_ID after a change to SmartBase mode
};

class FakeReceiver {
 public:
    explicit FakeReceiver(const FakeReceiverSettings &settings);
    ~FakeReceiver();
    FakeReceiver(const FakeReceiver &) = delete;
    FakeReceiver &operator=(const FakeReceiver &) = delete;

    // Stops the receiver and returns what it took, in order.
    std::vector<TakenOperation> Stop();

 private:
    pid_t pid_ = -1;
    int log_fd_ = -1;
};

// The codes of the operations taken, in order.
std::vector<int> Codes(const std::vector<TakenOperation> &taken);

}  // namespace testsupport
