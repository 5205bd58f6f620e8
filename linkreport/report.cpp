#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "json_build.h"
#include "message_tables.h"
#include "messages_json.h"
#include "number_text.h"
#include "records.h"
#include "sharememory.h"

namespace linkreport {
namespace {

// Unsigned 32-bit fields are reported as their 32-bit pattern.
int AsInt(unsigned int value) {
    return static_cast<int>(value);
}

// What the report shows, read before anything is printed (a failed read turns the reply
// into "Failed"), in the order the channels appear.
struct ChannelRecords {
    SerialPortConfig serial;
    EthTCPConfig tcp1;
    EthTCPConfig tcp2;
    NtripServerConfig server1;  // also gives the client its version
    NtripClientConfig client;
    RadioConfig radio;
    NtripCasterConfig caster;
    NtripServerConfig server2;
    UDPConfig udp;
};

ChannelRecords *ReadChannelRecords() {
    using cgi::ReadConfigEntry;
    // Members of a braced list are read in order, each straight into its place.
    return new ChannelRecords{
        ReadConfigEntry<SerialPortConfig>(ENTRY_SP1_CONFIG), ReadConfigEntry<EthTCPConfig>(ENTRY_TCP1_CONFIG),
        ReadConfigEntry<EthTCPConfig>(ENTRY_TCP2_CONFIG),    ReadConfigEntry<NtripServerConfig>(ENTRY_NS1_CONFIG),
        ReadConfigEntry<NtripClientConfig>(ENTRY_NC_CONFIG), ReadConfigEntry<RadioConfig>(ENTRY_RADIO_CONFIG),
        ReadConfigEntry<NtripCasterConfig>(ENTRY_NA_CONFIG), ReadConfigEntry<NtripServerConfig>(ENTRY_NS2_CONFIG),
        ReadConfigEntry<UDPConfig>(ENTRY_UDP_CONFIG)};
}

// Serial port, TCP and UDP share the first six lists; their tails differ.
enum class TransChannel { Serial, Tcp, Udp };

void WriteTransMessages(cgi::JsonWriter &writer, const TransDSPara &stream, TransChannel channel) {
    writer.Key("Messages");
    MessagesWriter messages(writer);
    messages.List(kRawObservation, stream.EPH);
    messages.List(channel == TransChannel::Tcp ? kNmeaTcp : kNmeaShort, stream.NMEA);
    messages.List(kRtcm23, stream.RTCM23);
    messages.List(kRtcm30, stream.RTCM30);
    messages.List(kRtcm32Short, stream.RTCM32);
    messages.List(kCmr, stream.CMR);
    if (channel == TransChannel::Serial) {
        messages.EmptyArray();
        messages.ArrayOfTwoEmptyObjects();
    } else {
        for (int i = 0; i < 3; ++i) messages.EmptyArray();
    }
}

void WriteNtripServerMessages(cgi::JsonWriter &writer, const DiffDSPara &stream) {
    writer.Key("Messages");
    MessagesWriter messages(writer);
    messages.List(kRtcm23, stream.RTCM23);
    messages.List(kRtcm30, stream.RTCM30);
    messages.List(kRtcm32Ntrip, stream.RTCM32);
    messages.List(kCmr, stream.CMR);
}

void WriteRadioMessages(cgi::JsonWriter &writer, const DiffDSPara &stream) {
    writer.Key("Messages");
    MessagesWriter messages(writer);
    messages.List(kRtcm23, stream.RTCM23);
    messages.List(kRtcm30, stream.RTCM30);
    messages.List(kRtcm32Short, stream.RTCM32);
    messages.List(kCmr, stream.CMR);
    messages.List(kRadioCustom, stream.Custom);
}

// "MSM" of an NTRIP server: absent (0) when none of the rule slots is set.
int MsmLevel(const DiffDSPara &stream) {
    for (const MsmRule &rule : kMsmRules)
        if (stream.RTCM32[rule.index].Available != 0) return rule.level;
    return 0;
}

void WriteInt(cgi::JsonWriter &writer, std::string_view key, int value) {
    writer.Key(key);
    writer.Int(value);
}

void WriteBool(cgi::JsonWriter &writer, std::string_view key, bool value) {
    writer.Key(key);
    writer.Bool(value);
}

void WriteString(cgi::JsonWriter &writer, std::string_view key, const char *text, std::size_t length) {
    writer.Key(key);
    writer.String(text, length);
}

// A fixed-size text field of a record: the text up to its zero byte, or the whole field
// when it has none. Nothing past the field is ever read.
template <std::size_t N>
void WriteText(cgi::JsonWriter &writer, std::string_view key, const char (&field)[N]) {
    WriteString(writer, key, field, strnlen(field, N));
}

// The enable byte of the NTRIP channels and the caster as "Startup" and "Status".
void WriteConnectionPair(cgi::JsonWriter &writer, unsigned char enable) {
    WriteBool(writer, "Startup", enable != 0);
    const std::string_view status = enable != 0 ? "Connect" : "Disconnect";
    WriteString(writer, "Status", status.data(), status.size());
}

// "%d.%d.%d.%d" of the four words, cut to 23 characters as it always was (a word above 255
// is not an octet, and shows as its own number).
void WriteDottedAddress(cgi::JsonWriter &writer, std::string_view key, const Ipv4Words &address) {
    char text[4 * 12] = {};
    std::size_t length = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text[length++] = '.';
        length += cgi::IntegerText(AsInt(address[i]), text + length, sizeof text - length);
    }
    WriteString(writer, key, text, std::min<std::size_t>(length, 23));
}

int RadioModelCode(const char (&model)[sizeof(RadioConfig::model)]) {
    const std::size_t length = strnlen(model, sizeof model);
    for (const RadioModel &known : kRadioModels)
        if (std::strlen(known.text) == length && std::memcmp(known.text, model, length) == 0) return known.code;
    return 0;
}

void WriteSerialChannel(cgi::JsonWriter &writer, const SerialPortConfig &port) {
    WriteInt(writer, "TransID", 1);
    WriteInt(writer, "BaudRate", AsInt(port.Baudrate));
    WriteInt(writer, "Port", 1);
    WriteInt(writer, "Check", port.Verify);
    WriteInt(writer, "DataStreamType", StreamType(kSerialStreamTypes, port.COMDSPara.Switch.Type));
    WriteTransMessages(writer, port.COMDSPara, TransChannel::Serial);
    WriteBool(writer, "Startup", port.COMDSPara.Switch.Enable != 0);
}

// What a TCP and the UDP channel object share, after their identifiers and role: the stream
// and the addresses, from a record of either layout.
template <typename Channel>
void WriteNetworkChannel(cgi::JsonWriter &writer, const Channel &record, const TransDSPara &stream, TransChannel kind) {
    WriteInt(writer, "DataStreamType", StreamType(kNetworkStreamTypes, stream.Switch.Type));
    WriteTransMessages(writer, stream, kind);
    WriteInt(writer, "LocalPort", AsInt(record.LocalPort));
    WriteDottedAddress(writer, "RemoteIP", record.ServerIP);
    WriteInt(writer, "RemotePort", AsInt(record.ServerPort));
    WriteBool(writer, "Startup", stream.Switch.Enable != 0);
}

void WriteTcpChannel(cgi::JsonWriter &writer, const EthTCPConfig &tcp, int trans_id, int tcp_id) {
    WriteInt(writer, "TransID", trans_id);
    WriteInt(writer, "TCPID", tcp_id);
    WriteInt(writer, "RoleKind", tcp.RoleKind == 1 ? 0 : 1);
    WriteNetworkChannel(writer, tcp, tcp.TCPDSPara, TransChannel::Tcp);
}

void WriteUdpChannel(cgi::JsonWriter &writer, const UDPConfig &udp) {
    WriteInt(writer, "TransID", 10);
    WriteInt(writer, "UDPID", 1);
    WriteInt(writer, "RoleKind", 0);
    WriteNetworkChannel(writer, udp, udp.UDPDSPara, TransChannel::Udp);
}

void WriteNtripServerChannel(cgi::JsonWriter &writer, const NtripServerConfig &server, int trans_id, int server_id) {
    const NtripServerCtrl &ctrl = server.CtrlPara;
    WriteInt(writer, "TransID", trans_id);
    WriteInt(writer, "NtripServerID", server_id);
    WriteText(writer, "CasterAddress", ctrl.Domain);
    WriteInt(writer, "CasterPort", AsInt(ctrl.CasterPort));
    WriteInt(writer, "NtripVersion", ctrl.Version);
    WriteText(writer, "USR", ctrl.UserName);
    WriteText(writer, "PWD", ctrl.UserPwd);
    WriteText(writer, "MountPoint", ctrl.MountPoint);
    WriteConnectionPair(writer, server.ServerDSPara.Switch.Enable);
    WriteInt(writer, "DataStreamType", StreamType(kNtripServerStreamTypes, server.ServerDSPara.Switch.Type));
    if (const int msm = MsmLevel(server.ServerDSPara); msm != 0) WriteInt(writer, "MSM", msm);
    WriteNtripServerMessages(writer, server.ServerDSPara);
}

// The client has no version of its own: it reports NTRIP server 1's.
void WriteNtripClientChannel(cgi::JsonWriter &writer, const NtripClientConfig &client,
                             const NtripServerConfig &server1) {
    WriteInt(writer, "TransID", 6);
    WriteText(writer, "CasterAddress", client.Domain);
    WriteInt(writer, "CasterPort", AsInt(client.ServerPort));
    WriteInt(writer, "NtripVersion", server1.CtrlPara.Version);
    WriteText(writer, "USR", client.UserName);
    WriteText(writer, "PWD", client.UserPwd);
    WriteText(writer, "MountPoint", client.MountPoint);
    WriteConnectionPair(writer, client.ClientEnable);
}

// JSON has no NaN or infinity (json-c would print them as words no JSON reader takes): a
// frequency that is not a number shows as 0.
double Frequency(float stored) {
    const auto value = static_cast<double>(stored);
    return std::isfinite(value) ? value : 0.0;
}

void WriteRadioChannel(cgi::JsonWriter &writer, const RadioConfig &radio) {
    WriteInt(writer, "TransID", 7);
    if (const int model = RadioModelCode(radio.model); model != 0) WriteInt(writer, "Model", model);
    WriteInt(writer, "RoleKind", radio.mode);
    WriteInt(writer, "Channel", radio.channel);
    writer.Key("RXFREQ");
    writer.Double(Frequency(radio.rx_freq));
    writer.Key("TXFREQ");
    writer.Double(Frequency(radio.tx_freq));
    WriteInt(writer, "Protocol", radio.protocol);
    WriteInt(writer, "ABR", radio.air_baudrate);
    WriteInt(writer, "Power", radio.power);
    WriteInt(writer, "FEC", radio.fec);
    WriteInt(writer, "DataStreamType", StreamType(kRadioStreamTypes, radio.RadioDSPara.Switch.Type));
    WriteRadioMessages(writer, radio.RadioDSPara);
    WriteBool(writer, "Startup", radio.sw != 0);
}

void WriteCasterChannel(cgi::JsonWriter &writer, const NtripCasterConfig &caster) {
    WriteInt(writer, "TransID", 8);
    WriteInt(writer, "CasterPort", AsInt(caster.port));
    WriteText(writer, "USR", caster.usr_name);
    WriteText(writer, "PWD", caster.pwd);
    WriteConnectionPair(writer, caster.enable);
}

// Each channel is one object of the "DataTrans" array.
template <typename Write, typename... Records>
void WriteChannel(cgi::JsonWriter &writer, Write write, const Records &...records) {
    writer.Element();
    writer.BeginObject();
    write(writer, records...);
    writer.EndObject();
}

void WriteChannels(const void *userdata, cgi::JsonWriter &writer) {
    const auto &records = *static_cast<const ChannelRecords *>(userdata);
    writer.BeginArray();
    WriteChannel(writer, WriteSerialChannel, records.serial);
    WriteChannel(
        writer, [](cgi::JsonWriter &w, const EthTCPConfig &tcp) { WriteTcpChannel(w, tcp, 3, 1); }, records.tcp1);
    WriteChannel(
        writer, [](cgi::JsonWriter &w, const EthTCPConfig &tcp) { WriteTcpChannel(w, tcp, 4, 2); }, records.tcp2);
    WriteChannel(
        writer, [](cgi::JsonWriter &w, const NtripServerConfig &server) { WriteNtripServerChannel(w, server, 5, 1); },
        records.server1);
    WriteChannel(writer, WriteNtripClientChannel, records.client, records.server1);
    WriteChannel(writer, WriteRadioChannel, records.radio);
    WriteChannel(writer, WriteCasterChannel, records.caster);
    WriteChannel(
        writer, [](cgi::JsonWriter &w, const NtripServerConfig &server) { WriteNtripServerChannel(w, server, 9, 2); },
        records.server2);
    WriteChannel(writer, WriteUdpChannel, records.udp);
    writer.EndArray();
}

void DeleteChannelRecords(void *userdata) {
    delete static_cast<ChannelRecords *>(userdata);
}

}  // namespace

cgi::JsonPtr BuildDataTransReport() {
    cgi::JsonPtr root{json_object_new_object()};
    cgi::Add(root.get(), "DataTrans",
             cgi::SelfPrintingValue(ReadChannelRecords(), WriteChannels, DeleteChannelRecords));
    return root;
}

}  // namespace linkreport
