// The receiver's live status in the monitor segment, as docs/receiver.md writes it: the
// board's health (temperature, power, running time) and the link states of the five channels
// that connect to a peer.
#pragma once

#include "sharememory.h"

namespace receiversim {

// Link states of ENTRY_TCP1_LINK, ENTRY_TCP2_LINK, ENTRY_NC_STATE, ENTRY_NS1_STATE, ENTRY_NS2_STATE.
enum LinkState : unsigned char {
    kLinkOff = 0,
    kLinkConnecting = 1,
    kLinkConnected = 2,
    kLinkListening = 3,
    kLinkRefused = 4,
    kLinkUnreachable = 5,
    kLinkNoNetwork = 6,
};

// How long a link takes from switched on to connected.
constexpr long long kConnectDelayMs = 3000;

class LiveStatus {
 public:
    // The processes start (or start again after a restart) at this time: the running time counts
    // from it and every link connects afresh.
    void Start(long long now_ms);

    // Once a tick: health and link states written from the channels' stored switches.
    void Tick(long long now_ms);

    // A channel's settings were taken into use (its operation code): its link connects again.
    void Reconnect(unsigned char code, long long now_ms);

    // The processes go (restart, shut down): running time 0; for a shutdown the links go off and
    // ENTRY_POWER_OFF is set.
    static void Stop(bool power_off);

 private:
    struct Link {
        unsigned char state_entry;
        long long on_since_ms = -1;  // -1 while switched off
    };
    Link links_[5] = {{ENTRY_TCP1_LINK}, {ENTRY_TCP2_LINK}, {ENTRY_NC_STATE}, {ENTRY_NS1_STATE}, {ENTRY_NS2_STATE}};
    long long started_ms_ = 0;
};

}  // namespace receiversim
