#include "channels.h"

#include <cstring>
#include <span>

#include "sharememory.h"

namespace receiversim {
namespace {

struct ChannelOperation {
    unsigned char code;
    const char *name;
};

constexpr ChannelOperation kChannelOperations[] = {
    {ENTRY_SP1_OP, "serial port 1"},  {ENTRY_TCP1_OP, "TCP channel 1"}, {ENTRY_TCP2_OP, "TCP channel 2"},
    {ENTRY_NS1_OP, "NTRIP server 1"}, {ENTRY_NS2_OP, "NTRIP server 2"}, {ENTRY_NC_OP, "NTRIP client"},
    {ENTRY_RADIO_OP, "radio modem"},  {ENTRY_NA_OP, "NTRIP caster"},    {ENTRY_UDP_OP, "UDP channel"},
};

// A read of the running receiver: a failed one (lock not to be had) leaves zeros and says so,
// without keeping later reads from trying again.
template <typename Record>
Record ReadEntry(unsigned char entry, bool *ok = nullptr) {
    Record record;
    std::memset(&record, 0, sizeof record);  // cppcheck-suppress memsetClassFloat ; all-zero bytes are 0.0
    const bool read = GetReceiverConfigParaFromShareMemory(entry, &record) == 0;
    if (ok != nullptr) *ok = read;
    return record;
}

const char *OnOff(unsigned char enable) {
    return enable != 0 ? "on" : "off";
}

// Text fields are printed up to their terminator, never past their width.
template <std::size_t N>
int Width(const char (&)[N]) {
    return static_cast<int>(N);
}

void LogAddress(FILE *log, const Ipv4Words &address, unsigned int port) {
    std::fprintf(log, "%u.%u.%u.%u:%u", address[0], address[1], address[2], address[3], port);
}

int MessagesOn(std::span<const MsgCfgPara> slots) {
    int on = 0;
    for (const MsgCfgPara &slot : slots) on += slot.Available != 0 || slot.Interval > 0;
    return on;
}

int MessagesOn(const TransDSPara &stream) {
    return MessagesOn(stream.NMEA) + MessagesOn(stream.EPH) + MessagesOn(stream.RTCM23) + MessagesOn(stream.RTCM30) +
           MessagesOn(stream.RTCM32) + MessagesOn(stream.CMR);
}

int MessagesOn(const DiffDSPara &stream) {
    return MessagesOn(stream.RTCM23) + MessagesOn(stream.RTCM30) + MessagesOn(stream.RTCM32) + MessagesOn(stream.CMR) +
           MessagesOn(stream.Custom);
}

template <typename Network>
void LogNetwork(FILE *log, const Network &channel, const TransDSPara &stream) {
    std::fprintf(log, "local port %u, remote ", channel.LocalPort);
    LogAddress(log, channel.ServerIP, channel.ServerPort);
    std::fprintf(log, ", stream type %d, %d messages, %s", stream.Switch.Type, MessagesOn(stream),
                 OnOff(stream.Switch.Enable));
}

void LogNtripServer(FILE *log, const NtripServerConfig &server) {
    const NtripServerCtrl &ctrl = server.CtrlPara;
    std::fprintf(log, "caster %.*s:%u, mount point \"%.*s\", user \"%.*s\", NTRIP %d, stream type %d, %d messages, %s",
                 Width(ctrl.Domain), ctrl.Domain, ctrl.CasterPort, Width(ctrl.MountPoint), ctrl.MountPoint,
                 Width(ctrl.UserName), ctrl.UserName, ctrl.Version, server.ServerDSPara.Switch.Type,
                 MessagesOn(server.ServerDSPara), OnOff(server.ServerDSPara.Switch.Enable));
}

bool LogChannel(unsigned char code, FILE *log) {
    bool ok = false;
    switch (code) {
        case ENTRY_SP1_OP: {
            const auto port = ReadEntry<SerialPortConfig>(ENTRY_SP1_CONFIG, &ok);
            std::fprintf(log, "%u baud, check %d, stream type %d, %d messages, %s", port.Baudrate, port.Verify,
                         port.COMDSPara.Switch.Type, MessagesOn(port.COMDSPara), OnOff(port.COMDSPara.Switch.Enable));
            break;
        }
        case ENTRY_TCP1_OP:
        case ENTRY_TCP2_OP: {
            const auto tcp =
                ReadEntry<EthTCPConfig>(code == ENTRY_TCP1_OP ? ENTRY_TCP1_CONFIG : ENTRY_TCP2_CONFIG, &ok);
            std::fprintf(log, "role %u, ", tcp.RoleKind);
            LogNetwork(log, tcp, tcp.TCPDSPara);
            break;
        }
        case ENTRY_UDP_OP: {
            const auto udp = ReadEntry<UDPConfig>(ENTRY_UDP_CONFIG, &ok);
            LogNetwork(log, udp, udp.UDPDSPara);
            break;
        }
        case ENTRY_NS1_OP:
        case ENTRY_NS2_OP:
            LogNtripServer(
                log, ReadEntry<NtripServerConfig>(code == ENTRY_NS1_OP ? ENTRY_NS1_CONFIG : ENTRY_NS2_CONFIG, &ok));
            break;
        case ENTRY_NC_OP: {
            const auto client = ReadEntry<NtripClientConfig>(ENTRY_NC_CONFIG, &ok);
            std::fprintf(log, "caster %.*s:%u, mount point \"%.*s\", user \"%.*s\", %s", Width(client.Domain),
                         client.Domain, client.ServerPort, Width(client.MountPoint), client.MountPoint,
                         Width(client.UserName), client.UserName, OnOff(client.ClientEnable));
            break;
        }
        case ENTRY_RADIO_OP: {
            const auto radio = ReadEntry<RadioConfig>(ENTRY_RADIO_CONFIG, &ok);
            std::fprintf(log,
                         "model \"%.*s\", channel %d, receive %.4f, send %.4f, protocol %d, power %d, %d messages, %s",
                         Width(radio.model), radio.model, radio.channel, static_cast<double>(radio.rx_freq),
                         static_cast<double>(radio.tx_freq), radio.protocol, radio.power, MessagesOn(radio.RadioDSPara),
                         OnOff(radio.sw));
            break;
        }
        case ENTRY_NA_OP: {
            const auto caster = ReadEntry<NtripCasterConfig>(ENTRY_NA_CONFIG, &ok);
            std::fprintf(log, "port %u, user \"%.*s\", %s", caster.port, Width(caster.usr_name), caster.usr_name,
                         OnOff(caster.enable));
            break;
        }
        default:
            return false;
    }
    return ok;
}

// The message arrays of a stream, by the family codes of the timestamp calls.
struct FamilySlots {
    unsigned char family;
    std::span<const MsgCfgPara> slots;
};

template <typename Stamp>
void StampOn(std::span<const FamilySlots> families, unsigned int timestamp, Stamp stamp) {
    for (const FamilySlots &family : families)
        for (std::size_t index = 0; index < family.slots.size(); ++index)
            if (family.slots[index].Available != 0 || family.slots[index].Interval > 0)
                stamp(family.family, static_cast<unsigned short>(index), timestamp);
}

template <typename Stamp>
void StampTrans(const TransDSPara &stream, unsigned int timestamp, Stamp stamp) {
    const FamilySlots families[] = {{MSG_FAMILY_NMEA, stream.NMEA},     {MSG_FAMILY_EPH, stream.EPH},
                                    {MSG_FAMILY_RTCM23, stream.RTCM23}, {MSG_FAMILY_RTCM30, stream.RTCM30},
                                    {MSG_FAMILY_RTCM32, stream.RTCM32}, {MSG_FAMILY_CMR, stream.CMR}};
    if (stream.Switch.Enable != 0) StampOn(families, timestamp, stamp);
}

template <typename Stamp>
void StampDiff(const DiffDSPara &stream, unsigned int timestamp, Stamp stamp) {
    const FamilySlots families[] = {{MSG_FAMILY_RTCM23, stream.RTCM23},
                                    {MSG_FAMILY_RTCM30, stream.RTCM30},
                                    {MSG_FAMILY_RTCM32, stream.RTCM32},
                                    {MSG_FAMILY_CMR, stream.CMR},
                                    {MSG_FAMILY_CUSTOM, stream.Custom}};
    StampOn(families, timestamp, stamp);
}

}  // namespace

const char *ChannelOperationName(unsigned char code) {
    for (const ChannelOperation &operation : kChannelOperations)
        if (operation.code == code) return operation.name;
    return nullptr;
}

bool TakeChannelIntoUse(unsigned char code, FILE *log) {
    if (ChannelOperationName(code) == nullptr) return false;
    std::fprintf(log, "taken into use: ");
    return LogChannel(code, log);
}

void StampChannelMessages(unsigned int timestamp) {
    for (const unsigned char entry : {ENTRY_TCP1_CONFIG, ENTRY_TCP2_CONFIG}) {
        const auto tcp = ReadEntry<EthTCPConfig>(entry);
        StampTrans(tcp.TCPDSPara, timestamp, [entry](unsigned char family, unsigned short index, unsigned int time) {
            SetReceiverTCPMsgSampleTimestamp(entry, family, index, time);
        });
    }
    const auto udp = ReadEntry<UDPConfig>(ENTRY_UDP_CONFIG);
    StampTrans(udp.UDPDSPara, timestamp, [](unsigned char family, unsigned short index, unsigned int time) {
        SetReceiverUDPMsgSampleTimestamp(ENTRY_UDP_CONFIG, family, index, time);
    });
    for (const unsigned char server : {static_cast<unsigned char>(1), static_cast<unsigned char>(2)}) {
        const auto ntrip = ReadEntry<NtripServerConfig>(server == 1 ? ENTRY_NS1_CONFIG : ENTRY_NS2_CONFIG);
        if (ntrip.ServerDSPara.Switch.Enable == 0) continue;
        StampDiff(ntrip.ServerDSPara, timestamp,
                  [server](unsigned char family, unsigned short index, unsigned int time) {
                      SetReceiverNtripServerMsgSampleTimestamp(family, index, time, server);
                  });
    }
    const auto radio = ReadEntry<RadioConfig>(ENTRY_RADIO_CONFIG);
    if (radio.sw != 0)
        StampDiff(radio.RadioDSPara, timestamp, [](unsigned char family, unsigned short index, unsigned int time) {
            SetReceiverRadioMsgSampleTimestamp(family, index, time);
        });
}

}  // namespace receiversim
