// The receiver's side of the segments, as far as the web programs rely on it: a current
// position in ENTRY_GGA, the base station state, and the operations posted to the mailbox.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "sharememory.h"

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

class Receiver {
 public:
    Receiver(PositionSource source, FILE *log) : source_(std::move(source)), log_(log) {}

    // Once per second: a new position, and the base station state.
    void Tick();

    // Carries out a posted operation if there is one; true when it did.
    bool ServeMailbox();

    bool BaseRunning() const { return base_running_; }

 private:
    void StoreSatellites(const std::vector<GSVInput> &epoch);
    OPERATE_STATE CarryOut(unsigned char code);
    OPERATE_STATE ReadFailed(const char *what);
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
};

}  // namespace receiversim
