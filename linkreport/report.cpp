#include "report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "json_build.h"
#include "message_tables.h"
#include "messages_json.h"
#include "number_text.h"
#include "records.h"
#include "sharememory.h"

namespace linkreport {
namespace {

using cgi::Add;
using cgi::AddBool;
using cgi::AddInt;
using cgi::AddString;
using cgi::AddText;

// Unsigned 32-bit fields are reported as their 32-bit pattern.
int AsInt(unsigned int value) {
    return static_cast<int>(value);
}

int ItemValue(const MessageTable &table, const MessageRow &row, const MsgCfgPara *slots) {
    if (table.byte == ValueByte::Interval) return slots[row.first_index].Interval;
    if (row.first_index == row.last_index) return slots[row.first_index].Available;
    for (int index = row.first_index; index <= row.last_index; ++index)
        if (slots[index].Available != 0) return 1;
    return 0;
}

// One message list: an item per table row, in table order.
void AddMessageList(Messages &messages, const MessageTable &table, const MsgCfgPara *slots) {
    messages.BeginList();
    for (const MessageRow &row : table.rows) messages.AddItem({&row, ItemValue(table, row, slots)});
}

// Serial port, TCP and UDP share the first six lists; their tails differ.
enum class TransChannel { Serial, Tcp, Udp };

json_object *TransMessages(const TransDSPara &stream, TransChannel channel) {
    Messages messages;
    AddMessageList(messages, kRawObservation, stream.EPH);
    AddMessageList(messages, channel == TransChannel::Tcp ? kNmeaTcp : kNmeaShort, stream.NMEA);
    AddMessageList(messages, kRtcm23, stream.RTCM23);
    AddMessageList(messages, kRtcm30, stream.RTCM30);
    AddMessageList(messages, kRtcm32Short, stream.RTCM32);
    AddMessageList(messages, kCmr, stream.CMR);
    if (channel == TransChannel::Serial) {
        messages.AddEmptyArray();
        messages.AddArrayOfTwoEmptyObjects();
    } else {
        for (int i = 0; i < 3; ++i) messages.AddEmptyArray();
    }
    return std::move(messages).ToJson();
}

json_object *NtripServerMessages(const DiffDSPara &stream) {
    Messages messages;
    AddMessageList(messages, kRtcm23, stream.RTCM23);
    AddMessageList(messages, kRtcm30, stream.RTCM30);
    AddMessageList(messages, kRtcm32Ntrip, stream.RTCM32);
    AddMessageList(messages, kCmr, stream.CMR);
    return std::move(messages).ToJson();
}

json_object *RadioMessages(const DiffDSPara &stream) {
    Messages messages;
    AddMessageList(messages, kRtcm23, stream.RTCM23);
    AddMessageList(messages, kRtcm30, stream.RTCM30);
    AddMessageList(messages, kRtcm32Short, stream.RTCM32);
    AddMessageList(messages, kCmr, stream.CMR);
    AddMessageList(messages, kRadioCustom, stream.Custom);
    return std::move(messages).ToJson();
}

// "MSM" of an NTRIP server: absent (0) when none of the rule slots is set.
int MsmLevel(const DiffDSPara &stream) {
    for (const MsmRule &rule : kMsmRules)
        if (stream.RTCM32[rule.index].Available != 0) return rule.level;
    return 0;
}

// The enable byte of the NTRIP channels and the caster as "Startup" and "Status".
void AddConnectionPair(json_object *channel, unsigned char enable) {
    AddBool(channel, "Startup", enable != 0);
    AddString(channel, "Status", enable != 0 ? "Connect" : "Disconnect");
}

// "%d.%d.%d.%d" of the four words, cut to 23 characters as it always was (a word above 255
// is not an octet, and shows as its own number).
void AddDottedAddress(json_object *channel, const char *key, const Ipv4Words &address) {
    char text[4 * 12] = {};
    std::size_t length = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text[length++] = '.';
        length += cgi::IntegerText(AsInt(address[i]), text + length, sizeof text - length);
    }
    text[std::min<std::size_t>(length, 23)] = '\0';
    AddString(channel, key, text);
}

int RadioModelCode(const char (&model)[sizeof(RadioConfig::model)]) {
    const std::size_t length = strnlen(model, sizeof model);
    for (const RadioModel &known : kRadioModels)
        if (std::strlen(known.text) == length && std::memcmp(known.text, model, length) == 0) return known.code;
    return 0;
}

json_object *SerialChannel() {
    const auto port = cgi::ReadConfigEntry<SerialPortConfig>(ENTRY_SP1_CONFIG);
    json_object *channel = json_object_new_object();
    AddInt(channel, "TransID", 1);
    AddInt(channel, "BaudRate", AsInt(port.Baudrate));
    AddInt(channel, "Port", 1);
    AddInt(channel, "Check", port.Verify);
    AddInt(channel, "DataStreamType", StreamType(kSerialStreamTypes, port.COMDSPara.Switch.Type));
    Add(channel, "Messages", TransMessages(port.COMDSPara, TransChannel::Serial));
    AddBool(channel, "Startup", port.COMDSPara.Switch.Enable != 0);
    return channel;
}

// What a TCP and the UDP channel object share, after their identifiers and role: the stream
// and the addresses, from a record of either layout.
template <typename Channel>
void AddNetworkChannel(json_object *channel, const Channel &record, const TransDSPara &stream, TransChannel kind) {
    AddInt(channel, "DataStreamType", StreamType(kNetworkStreamTypes, stream.Switch.Type));
    Add(channel, "Messages", TransMessages(stream, kind));
    AddInt(channel, "LocalPort", AsInt(record.LocalPort));
    AddDottedAddress(channel, "RemoteIP", record.ServerIP);
    AddInt(channel, "RemotePort", AsInt(record.ServerPort));
    AddBool(channel, "Startup", stream.Switch.Enable != 0);
}

json_object *TcpChannel(unsigned char entry, int trans_id, int tcp_id) {
    const auto tcp = cgi::ReadConfigEntry<EthTCPConfig>(entry);
    json_object *channel = json_object_new_object();
    AddInt(channel, "TransID", trans_id);
    AddInt(channel, "TCPID", tcp_id);
    AddInt(channel, "RoleKind", tcp.RoleKind == 1 ? 0 : 1);
    AddNetworkChannel(channel, tcp, tcp.TCPDSPara, TransChannel::Tcp);
    return channel;
}

json_object *UdpChannel() {
    const auto udp = cgi::ReadConfigEntry<UDPConfig>(ENTRY_UDP_CONFIG);
    json_object *channel = json_object_new_object();
    AddInt(channel, "TransID", 10);
    AddInt(channel, "UDPID", 1);
    AddInt(channel, "RoleKind", 0);
    AddNetworkChannel(channel, udp, udp.UDPDSPara, TransChannel::Udp);
    return channel;
}

json_object *NtripServerChannel(unsigned char entry, int trans_id, int server_id) {
    const auto server = cgi::ReadConfigEntry<NtripServerConfig>(entry);
    const NtripServerCtrl &ctrl = server.CtrlPara;
    json_object *channel = json_object_new_object();
    AddInt(channel, "TransID", trans_id);
    AddInt(channel, "NtripServerID", server_id);
    AddText(channel, "CasterAddress", ctrl.Domain);
    AddInt(channel, "CasterPort", AsInt(ctrl.CasterPort));
    AddInt(channel, "NtripVersion", ctrl.Version);
    AddText(channel, "USR", ctrl.UserName);
    AddText(channel, "PWD", ctrl.UserPwd);
    AddText(channel, "MountPoint", ctrl.MountPoint);
    AddConnectionPair(channel, server.ServerDSPara.Switch.Enable);
    AddInt(channel, "DataStreamType", StreamType(kNtripServerStreamTypes, server.ServerDSPara.Switch.Type));
    if (const int msm = MsmLevel(server.ServerDSPara); msm != 0) AddInt(channel, "MSM", msm);
    Add(channel, "Messages", NtripServerMessages(server.ServerDSPara));
    return channel;
}

json_object *NtripClientChannel() {
    const auto client = cgi::ReadConfigEntry<NtripClientConfig>(ENTRY_NC_CONFIG);
    // The client has no version of its own: it reports NTRIP server 1's.
    const auto server1 = cgi::ReadConfigEntry<NtripServerConfig>(ENTRY_NS1_CONFIG);
    json_object *channel = json_object_new_object();
    AddInt(channel, "TransID", 6);
    AddText(channel, "CasterAddress", client.Domain);
    AddInt(channel, "CasterPort", AsInt(client.ServerPort));
    AddInt(channel, "NtripVersion", server1.CtrlPara.Version);
    AddText(channel, "USR", client.UserName);
    AddText(channel, "PWD", client.UserPwd);
    AddText(channel, "MountPoint", client.MountPoint);
    AddConnectionPair(channel, client.ClientEnable);
    return channel;
}

json_object *RadioChannel() {
    const auto radio = cgi::ReadConfigEntry<RadioConfig>(ENTRY_RADIO_CONFIG);
    json_object *channel = json_object_new_object();
    AddInt(channel, "TransID", 7);
    if (const int model = RadioModelCode(radio.model); model != 0) AddInt(channel, "Model", model);
    AddInt(channel, "RoleKind", radio.mode);
    AddInt(channel, "Channel", radio.channel);
    Add(channel, "RXFREQ", json_object_new_double(static_cast<double>(radio.rx_freq)));
    Add(channel, "TXFREQ", json_object_new_double(static_cast<double>(radio.tx_freq)));
    AddInt(channel, "Protocol", radio.protocol);
    AddInt(channel, "ABR", radio.air_baudrate);
    AddInt(channel, "Power", radio.power);
    AddInt(channel, "FEC", radio.fec);
    AddInt(channel, "DataStreamType", StreamType(kRadioStreamTypes, radio.RadioDSPara.Switch.Type));
    Add(channel, "Messages", RadioMessages(radio.RadioDSPara));
    AddBool(channel, "Startup", radio.sw != 0);
    return channel;
}

json_object *CasterChannel() {
    const auto caster = cgi::ReadConfigEntry<NtripCasterConfig>(ENTRY_NA_CONFIG);
    json_object *channel = json_object_new_object();
    AddInt(channel, "TransID", 8);
    AddInt(channel, "CasterPort", AsInt(caster.port));
    AddText(channel, "USR", caster.usr_name);
    AddText(channel, "PWD", caster.pwd);
    AddConnectionPair(channel, caster.enable);
    return channel;
}

}  // namespace

cgi::JsonPtr BuildDataTransReport() {
    cgi::JsonPtr root{json_object_new_object()};
    json_object *channels = json_object_new_array_ext(9);
    json_object_array_add(channels, SerialChannel());
    json_object_array_add(channels, TcpChannel(ENTRY_TCP1_CONFIG, 3, 1));
    json_object_array_add(channels, TcpChannel(ENTRY_TCP2_CONFIG, 4, 2));
    json_object_array_add(channels, NtripServerChannel(ENTRY_NS1_CONFIG, 5, 1));
    json_object_array_add(channels, NtripClientChannel());
    json_object_array_add(channels, RadioChannel());
    json_object_array_add(channels, CasterChannel());
    json_object_array_add(channels, NtripServerChannel(ENTRY_NS2_CONFIG, 9, 2));
    json_object_array_add(channels, UdpChannel());
    Add(root.get(), "DataTrans", channels);
    return root;
}

}  // namespace linkreport
