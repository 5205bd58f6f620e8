#include "status.h"

#include <cmath>

#include "reads.h"

namespace receiversim {
namespace {

bool HasAddress(const Ipv4Words &address, unsigned int port) {
    return port != 0 && (address[0] | address[1] | address[2] | address[3]) != 0;
}

// What a switched-on channel would reach: whether it is on, and where it ends once it has had
// its time to connect (a server first listens; a caster refuses a missing mount point).
struct Reach {
    bool on = false;
    bool server = false;
    LinkState settled = kLinkConnected;
};

template <std::size_t N, std::size_t M>
Reach NtripReach(bool on, const char (&domain)[N], const char (&mount)[M]) {
    Reach reach{on};
    if (domain[0] == '\0')
        reach.settled = kLinkUnreachable;
    else if (mount[0] == '\0')
        reach.settled = kLinkRefused;
    return reach;
}

std::optional<Reach> ChannelReach(unsigned char state_entry) {
    switch (state_entry) {
        case ENTRY_TCP1_LINK:
        case ENTRY_TCP2_LINK: {
            const auto tcp =
                ReadConfig<EthTCPConfig>(state_entry == ENTRY_TCP1_LINK ? ENTRY_TCP1_CONFIG : ENTRY_TCP2_CONFIG);
            if (!tcp) return std::nullopt;
            Reach reach{tcp->TCPDSPara.Switch.Enable != 0, tcp->RoleKind == 1};
            if (!reach.server && !HasAddress(tcp->ServerIP, tcp->ServerPort)) reach.settled = kLinkUnreachable;
            return reach;
        }
        case ENTRY_NC_STATE: {
            const auto client = ReadConfig<NtripClientConfig>(ENTRY_NC_CONFIG);
            if (!client) return std::nullopt;
            return NtripReach(client->ClientEnable != 0, client->Domain, client->MountPoint);
        }
        default: {
            const auto server =
                ReadConfig<NtripServerConfig>(state_entry == ENTRY_NS1_STATE ? ENTRY_NS1_CONFIG : ENTRY_NS2_CONFIG);
            if (!server) return std::nullopt;
            return NtripReach(server->ServerDSPara.Switch.Enable != 0, server->CtrlPara.Domain,
                              server->CtrlPara.MountPoint);
        }
    }
}

// The link state entry a channel operation's link is kept in, or 0.
unsigned char LinkOfOperation(unsigned char code) {
    switch (code) {
        case ENTRY_TCP1_OP:
            return ENTRY_TCP1_LINK;
        case ENTRY_TCP2_OP:
            return ENTRY_TCP2_LINK;
        case ENTRY_NC_OP:
            return ENTRY_NC_STATE;
        case ENTRY_NS1_OP:
            return ENTRY_NS1_STATE;
        case ENTRY_NS2_OP:
            return ENTRY_NS2_STATE;
        default:
            return 0;
    }
}

// The board warms up over its first minutes and then drifts a few degrees with a period of
// ten minutes; whole degrees, as the sensor reports them.
signed char Temperature(long long running_ms) {
    const double seconds = static_cast<double>(running_ms) / 1000.0;
    const double warm_up = 6.0 * (1.0 - std::exp(-seconds / 120.0));
    const double drift = 3.0 * std::sin(seconds * 2.0 * M_PI / 600.0);
    return static_cast<signed char>(std::lround(35.0 + warm_up + drift));
}

}  // namespace

void LiveStatus::Start(long long now_ms) {
    started_ms_ = now_ms;
    for (Link &link : links_) link.on_since_ms = -1;
    WriteMonitorByte(ENTRY_POWER_OFF, 0);
    WriteMonitorByte(ENTRY_FW_STATE, 0);  // running
    Tick(now_ms);
}

void LiveStatus::Tick(long long now_ms) {
    const long long running_ms = now_ms - started_ms_;
    const auto temperature = static_cast<unsigned char>(Temperature(running_ms));
    WriteMonitorByte(ENTRY_TEMP, temperature);
    WriteMonitorByte(ENTRY_POWER_SUPPLY, 1);  // mains
    WriteMonitorByte(ENTRY_BATTERY_EQ,
                     static_cast<unsigned char>(std::min(100LL, 86 + running_ms / 60000)));  // charging
    WriteMonitorWord(ENTRY_RUNTIME, static_cast<unsigned int>(running_ms / 1000));

    for (Link &link : links_) {
        const auto reach = ChannelReach(link.state_entry);
        if (!reach) continue;  // read again at the next tick
        if (!reach->on) {
            link.on_since_ms = -1;
            WriteMonitorByte(link.state_entry, kLinkOff);
            continue;
        }
        if (link.on_since_ms < 0) link.on_since_ms = now_ms;
        const bool settled = now_ms - link.on_since_ms >= kConnectDelayMs;
        const LinkState first = reach->server ? kLinkListening : kLinkConnecting;
        WriteMonitorByte(link.state_entry, settled ? reach->settled : first);
    }
}

void LiveStatus::Reconnect(unsigned char code, long long now_ms) {
    const unsigned char entry = LinkOfOperation(code);
    for (Link &link : links_)
        if (link.state_entry == entry && link.on_since_ms >= 0) link.on_since_ms = now_ms;
}

void LiveStatus::Stop(bool power_off) {
    WriteMonitorWord(ENTRY_RUNTIME, 0);
    if (!power_off) return;
    for (unsigned char entry : {ENTRY_TCP1_LINK, ENTRY_TCP2_LINK, ENTRY_NC_STATE, ENTRY_NS1_STATE, ENTRY_NS2_STATE})
        WriteMonitorByte(entry, kLinkOff);
    WriteMonitorByte(ENTRY_POWER_OFF, 1);
}

}  // namespace receiversim
