// The receiver's side of the segments, as far as the web programs rely on it: a current
// position in ENTRY_GGA, the base station state, the live status and the recorders, and the
// operations posted to the mailbox.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "recording.h"
#include "sharememory.h"
#include "status.h"

namespace receiversim {

// Where the position comes from: a fixed point, or the next GGA of a recorded log.
class PositionSource {
 public:
    static PositionSource Fixed(const GGAInfo &gga);
    // Reads the log's lines; false when the file cannot be read or holds no GGA sentence.
    bool LoadLog(const std::string &path);

    // The next position with its GGA sentence, and the GSV sentences that came with it (from a
    // log).
    GGAInfo Next(std::vector<GSVInput> *gsv, std::string *sentence);

 private:
    GGAInfo fixed_{};
    std::vector<std::string> lines_;
    std::size_t cursor_ = 0;
};

// What the stand-in's processes are like: the storage, and how long a restart takes.
struct ReceiverOptions {
    StorageOptions storage;
    long long restart_ms = 5000;
};

class Receiver {
 public:
    Receiver(PositionSource source, FILE *log, const ReceiverOptions &options = {}, long long now_ms = -1);

    // Once per second: a new position, the base station state and the live status. While the
    // processes restart, nothing.
    void Tick(long long now_ms = -1);

    // Carries out a posted operation if there is one; true when it did. While the processes
    // restart, nothing is served.
    bool ServeMailbox(long long now_ms = -1);

    bool BaseRunning() const { return base_running_; }
    bool Restarting(long long now_ms) const { return now_ms < back_at_ms_; }
    // After a shutdown: nothing runs any more.
    bool PoweredOff() const { return powered_off_; }
    const Recorders &Recording() const { return recorders_; }

 private:
    void StoreSatellites(const std::vector<GSVInput> &epoch);
    OPERATE_STATE CarryOut(unsigned char code, long long now_ms);
    OPERATE_STATE Maintain(unsigned char code, long long now_ms);
    void ComeBack(long long now_ms);
    OPERATE_STATE ReadFailed(const char *what);
    OPERATE_STATE TakeAntennaIntoUse();
    OPERATE_STATE ReportSwitch(const char *what, unsigned char entry);
    OPERATE_STATE ChangeWorkMode();
    OPERATE_STATE StartSmartBase();
    OPERATE_STATE ReportPosition();
    void StartBase(const Coordinates &point, const char *what);
    void StopBase();

    PositionSource source_;
    FILE *log_;
    GGAInfo current_{};
    bool base_running_ = false;
    bool stopped_once_ = false;
    bool stored_[GNSS_GSV_SLOTS] = {};  // systems whose slot holds this stand-in's sentences
    ReceiverOptions options_;
    LiveStatus status_;
    Recorders recorders_;
    long long back_at_ms_ = -1;  // a restart ends then
    bool restarting_ = false;
    bool powered_off_ = false;
};

}  // namespace receiversim
