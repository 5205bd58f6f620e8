// The nine data channels as data: each channel's "TransID" and its keys as setting rows (the
// key, the record member it shows and how, its rule, label and unit), in the order the
// report prints them, in the channel's entry of the configuration segment.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>

#include "message_tables.h"
#include "setting_row.h"

namespace linkreport {

using rows::Choice;
using rows::Row;
using rows::Shown;

struct Channel {
    int trans_id;
    rows::Group group;
};

// ---- Choices: what exists ------------------------------------------------------------------

inline constexpr Choice kBaudRates[] = {{4800, "4800"},     {9600, "9600"},     {19200, "19200"},
                                        {38400, "38400"},   {57600, "57600"},   {115200, "115200"},
                                        {230400, "230400"}, {460800, "460800"}, {921600, "921600"}};
inline constexpr Choice kParities[] = {{0, "none"}, {1, "odd"}, {2, "even"}};
inline constexpr Choice kSerialStreams[] = {{1, "Raw observations"}, {2, "NMEA"}, {3, "RTCM 2.3"}, {4, "RTCM 3.0"},
                                            {5, "RTCM 3.2"},         {6, "CMR"},  {7, "BINEX"},    {8, "Custom"}};
inline constexpr Choice kNetworkStreams[] = {{1, "Raw observations"}, {2, "NMEA"}, {3, "RTCM 2.3"}, {4, "RTCM 3.0"},
                                             {5, "RTCM 3.2"},         {6, "CMR"},  {7, "BINEX"},    {8, "Custom"},
                                             {9, "Transparent"}};
inline constexpr Choice kCorrectionStreams[] = {{3, "RTCM 2.3"}, {4, "RTCM 3.0"}, {5, "RTCM 3.2"}, {6, "CMR"}};
inline constexpr Choice kRadioStreams[] = {
    {3, "RTCM 2.3"}, {4, "RTCM 3.0"}, {5, "RTCM 3.2"}, {6, "CMR"}, {7, "Custom"}};
inline constexpr Choice kTcpRoles[] = {{0, "server"}, {1, "client"}};
inline constexpr unsigned char kTcpRoleShown[] = {1, 0};  // stored 1 is the server; any other the client
inline constexpr Choice kNtripVersions[] = {{1, "NTRIP 1.0"}, {2, "NTRIP 2.0"}};
inline constexpr Choice kConnection[] = {{0, "Disconnect"}, {1, "Connect"}};
inline constexpr Choice kRadioModels[] = {
    {1, "MV-TX", "MV-TX"}, {2, "PN-WAVE", "PN-WAVE"}, {3, "7731K", "7731K"}, {4, "T3", "T3"}, {4, "T8", "T8"}};
inline constexpr Choice kRadioModes[] = {{0, "receive"}, {1, "transmit"}, {2, "relay"}};
inline constexpr Choice kRadioProtocols[] = {{0, "Transparent"}, {1, "TrimTalk 450S"}, {2, "SATEL 3AS"},
                                             {3, "PCC EOT"},     {4, "TrimMark 3"},    {5, "South"}};
inline constexpr Choice kAirBaudRates[] = {{0, "2400 bit/s"}, {1, "4800 bit/s"}, {2, "9600 bit/s"}, {3, "19200 bit/s"}};
inline constexpr Choice kRadioPowers[] = {{0, "low, 0.5 W"}, {1, "medium, 1 W"}, {2, "high, 2 W"}};
inline constexpr Choice kOnOff[] = {{0, "off"}, {1, "on"}};

// ---- Rows ----------------------------------------------------------------------------------

constexpr Row Choose(const char *key, const grshm::Member &member, std::span<const Choice> choices, const char *label,
                     const char *unit = nullptr) {
    return rows::OneOf(rows::Show(key, Shown::Choice, member, label, unit), choices);
}
constexpr Row StreamTypeRow(const grshm::Member &type, const StreamTypeTable &shown_of,
                            std::span<const Choice> choices) {
    Row row = Choose("DataStreamType", type, choices, "Data stream");
    row.shown_of = shown_of;
    return row;
}
constexpr Row MessagesRow(const grshm::Member &stream, std::span<const rows::MessageList> lists) {
    Row row = rows::Show("Messages", Shown::Messages, stream, "Messages");
    row.messages = lists;
    return row;
}
constexpr Row Port(const char *key, const grshm::Member &member, const char *label, int min = 1) {
    return rows::Within(rows::Show(key, Shown::Number, member, label), min, 65535);
}
constexpr Row TextRow(const char *key, const grshm::Member &member, const char *label) {
    return rows::Show(key, Shown::Text, member, label);
}
constexpr Row Startup(const grshm::Member &enable) {
    return rows::Show("Startup", Shown::Flag, enable, "On");
}
constexpr Row Status(const grshm::Member &enable) {
    return rows::Fixed(rows::OneOf(rows::Show("Status", Shown::FlagWords, enable, "Connection"), kConnection),
                       "Status follows Startup: set Startup to connect or disconnect");
}

using rows::Items;
using rows::kEmptyList;
using rows::ListShape;
using rows::MessageList;

#define TRANS_SLOTS(name) GRSHM_MEMBER(TransDSPara, name)
#define DIFF_SLOTS(name) GRSHM_MEMBER(DiffDSPara, name)

// Serial port, TCP and UDP share the first six lists; their tails differ.
inline constexpr MessageList kSerialMessages[] = {
    Items("Raw observations", kRawObservation, TRANS_SLOTS(EPH)),
    Items("NMEA", kNmeaShort, TRANS_SLOTS(NMEA)),
    Items("RTCM 2.3", kRtcm23, TRANS_SLOTS(RTCM23)),
    Items("RTCM 3.0", kRtcm30, TRANS_SLOTS(RTCM30)),
    Items("RTCM 3.2", kRtcm32Short, TRANS_SLOTS(RTCM32)),
    Items("CMR", kCmr, TRANS_SLOTS(CMR)),
    kEmptyList,
    {ListShape::TwoEmptyObjects},
};
inline constexpr MessageList kTcpMessages[] = {
    Items("Raw observations", kRawObservation, TRANS_SLOTS(EPH)),
    Items("NMEA", kNmeaTcp, TRANS_SLOTS(NMEA)),
    Items("RTCM 2.3", kRtcm23, TRANS_SLOTS(RTCM23)),
    Items("RTCM 3.0", kRtcm30, TRANS_SLOTS(RTCM30)),
    Items("RTCM 3.2", kRtcm32Short, TRANS_SLOTS(RTCM32)),
    Items("CMR", kCmr, TRANS_SLOTS(CMR)),
    kEmptyList,
    kEmptyList,
    kEmptyList,
};
inline constexpr MessageList kUdpMessages[] = {
    Items("Raw observations", kRawObservation, TRANS_SLOTS(EPH)),
    Items("NMEA", kNmeaShort, TRANS_SLOTS(NMEA)),
    Items("RTCM 2.3", kRtcm23, TRANS_SLOTS(RTCM23)),
    Items("RTCM 3.0", kRtcm30, TRANS_SLOTS(RTCM30)),
    Items("RTCM 3.2", kRtcm32Short, TRANS_SLOTS(RTCM32)),
    Items("CMR", kCmr, TRANS_SLOTS(CMR)),
    kEmptyList,
    kEmptyList,
    kEmptyList,
};
inline constexpr MessageList kNtripServerMessages[] = {
    Items("RTCM 2.3", kRtcm23, DIFF_SLOTS(RTCM23)),
    Items("RTCM 3.0", kRtcm30, DIFF_SLOTS(RTCM30)),
    Items("RTCM 3.2", kRtcm32Ntrip, DIFF_SLOTS(RTCM32)),
    Items("CMR", kCmr, DIFF_SLOTS(CMR)),
};
inline constexpr MessageList kRadioMessages[] = {
    Items("RTCM 2.3", kRtcm23, DIFF_SLOTS(RTCM23)),      Items("RTCM 3.0", kRtcm30, DIFF_SLOTS(RTCM30)),
    Items("RTCM 3.2", kRtcm32Short, DIFF_SLOTS(RTCM32)), Items("CMR", kCmr, DIFF_SLOTS(CMR)),
    Items("Custom", kRadioCustom, DIFF_SLOTS(Custom)),
};

#undef TRANS_SLOTS
#undef DIFF_SLOTS

#define SERIAL(path) GRSHM_MEMBER(SerialPortConfig, path)
inline constexpr Row kSerialKeys[] = {
    Choose("BaudRate", SERIAL(Baudrate), kBaudRates, "Baud rate", "bit/s"),
    rows::Constant("Port", 1, "Port"),
    Choose("Check", SERIAL(Verify), kParities, "Parity"),
    StreamTypeRow(SERIAL(COMDSPara.Switch.Type), kSerialStreamTypes, kSerialStreams),
    MessagesRow(SERIAL(COMDSPara), kSerialMessages),
    Startup(SERIAL(COMDSPara.Switch.Enable)),
};
#undef SERIAL

#define TCP(path) GRSHM_MEMBER(EthTCPConfig, path)
constexpr Row TcpRole() {
    Row row = Choose("RoleKind", TCP(RoleKind), kTcpRoles, "Role");
    row.shown_of = kTcpRoleShown;
    return row;
}
template <int TcpId>
inline constexpr Row kTcpKeys[] = {
    rows::Constant("TCPID", TcpId, "TCP channel"),
    TcpRole(),
    StreamTypeRow(TCP(TCPDSPara.Switch.Type), kNetworkStreamTypes, kNetworkStreams),
    MessagesRow(TCP(TCPDSPara), kTcpMessages),
    Port("LocalPort", TCP(LocalPort), "Local port", 0),
    rows::Show("RemoteIP", Shown::DottedAddress, TCP(ServerIP), "Remote address"),
    Port("RemotePort", TCP(ServerPort), "Remote port"),
    Startup(TCP(TCPDSPara.Switch.Enable)),
#ifdef LINKREPORT_TEST_ROW  // a row more, in the test build the page test uses (linkconfig_test_row)
    rows::Within(rows::Show("MaxClients", Shown::Number, TCP(MaxConNum), "Most clients"), 1, 8),
#endif
};
#undef TCP

inline constexpr rows::Place kNtripServer1 = ROWS_PLACE(Configuration, ENTRY_NS1_CONFIG, ENTRY_NS1_OP);

#define SERVER(path) GRSHM_MEMBER(NtripServerConfig, path)
template <int ServerId>
inline constexpr Row kNtripServerKeys[] = {
    rows::Constant("NtripServerID", ServerId, "NTRIP server"),
    TextRow("CasterAddress", SERVER(CtrlPara.Domain), "Caster address"),
    Port("CasterPort", SERVER(CtrlPara.CasterPort), "Caster port"),
    Choose("NtripVersion", SERVER(CtrlPara.Version), kNtripVersions, "NTRIP version"),
    TextRow("USR", SERVER(CtrlPara.UserName), "User name"),
    rows::Secret(TextRow("PWD", SERVER(CtrlPara.UserPwd), "Password")),
    TextRow("MountPoint", SERVER(CtrlPara.MountPoint), "Mount point"),
    Startup(SERVER(ServerDSPara.Switch.Enable)),
    Status(SERVER(ServerDSPara.Switch.Enable)),
    StreamTypeRow(SERVER(ServerDSPara.Switch.Type), kNtripServerStreamTypes, kCorrectionStreams),
    [] {
        Row row = rows::Fixed(rows::Show("MSM", Shown::SlotLevel, SERVER(ServerDSPara.RTCM32), "MSM level"),
                              "MSM follows the RTCM 3.2 messages that are on, and cannot be set");
        row.levels = kMsmLevels;
        return row;
    }(),
    MessagesRow(SERVER(ServerDSPara), kNtripServerMessages),
};

#define CLIENT(path) GRSHM_MEMBER(NtripClientConfig, path)
inline constexpr Row kNtripClientKeys[] = {
    TextRow("CasterAddress", CLIENT(Domain), "Caster address"),
    Port("CasterPort", CLIENT(ServerPort), "Caster port"),
    // The client has no version of its own: it shows NTRIP server 1's.
    [] {
        Row row = rows::Fixed(Choose("NtripVersion", SERVER(CtrlPara.Version), kNtripVersions, "NTRIP version"),
                              "NtripVersion of the NTRIP client follows NTRIP server 1: change it there");
        row.place = &kNtripServer1;
        return row;
    }(),
    TextRow("USR", CLIENT(UserName), "User name"),
    rows::Secret(TextRow("PWD", CLIENT(UserPwd), "Password")),
    TextRow("MountPoint", CLIENT(MountPoint), "Mount point"),
    Startup(CLIENT(ClientEnable)),
    Status(CLIENT(ClientEnable)),
};
#undef CLIENT
#undef SERVER

#define RADIO(path) GRSHM_MEMBER(RadioConfig, path)
// The UHF band of survey radios, on the finest channel raster (6.25 kHz).
constexpr Row Frequency(const char *key, const grshm::Member &member, const char *label) {
    return rows::Within(rows::Show(key, Shown::Decimal, member, label, "MHz"), 410, 470, 0.00625);
}
inline constexpr Row kRadioKeys[] = {
    rows::OneOf(rows::Show("Model", Shown::TextChoice, RADIO(model), "Radio model"), kRadioModels),
    Choose("RoleKind", RADIO(mode), kRadioModes, "Mode"),
    rows::Within(rows::Show("Channel", Shown::Number, RADIO(channel), "Radio channel"), 0, 99),
    Frequency("RXFREQ", RADIO(rx_freq), "Receive frequency"),
    Frequency("TXFREQ", RADIO(tx_freq), "Transmit frequency"),
    Choose("Protocol", RADIO(protocol), kRadioProtocols, "Air protocol"),
    Choose("ABR", RADIO(air_baudrate), kAirBaudRates, "Air baud rate"),
    Choose("Power", RADIO(power), kRadioPowers, "Transmit power"),
    Choose("FEC", RADIO(fec), kOnOff, "Forward error correction"),
    StreamTypeRow(RADIO(RadioDSPara.Switch.Type), kRadioStreamTypes, kRadioStreams),
    MessagesRow(RADIO(RadioDSPara), kRadioMessages),
    Startup(RADIO(sw)),
};
#undef RADIO

#define CASTER(path) GRSHM_MEMBER(NtripCasterConfig, path)
inline constexpr Row kCasterKeys[] = {
    Port("CasterPort", CASTER(port), "Caster port"),
    TextRow("USR", CASTER(usr_name), "User name"),
    rows::Secret(TextRow("PWD", CASTER(pwd), "Password")),
    Startup(CASTER(enable)),
    Status(CASTER(enable)),
};
#undef CASTER

#define UDP(path) GRSHM_MEMBER(UDPConfig, path)
inline constexpr Row kUdpKeys[] = {
    rows::Constant("UDPID", 1, "UDP channel"),
    rows::Constant("RoleKind", 0, "Role"),
    StreamTypeRow(UDP(UDPDSPara.Switch.Type), kNetworkStreamTypes, kNetworkStreams),
    MessagesRow(UDP(UDPDSPara), kUdpMessages),
    Port("LocalPort", UDP(LocalPort), "Local port", 0),
    rows::Show("RemoteIP", Shown::DottedAddress, UDP(ServerIP), "Remote address"),
    Port("RemotePort", UDP(ServerPort), "Remote port"),
    Startup(UDP(UDPDSPara.Switch.Enable)),
};
#undef UDP

// ---- The channels, in the order of the report's "DataTrans" array ------------------------

#define CHANNEL(entry, operation, Record, name, title, keys)                           \
    rows::Group {                                                                      \
        name, title, ROWS_PLACE(Configuration, entry, operation), sizeof(Record), keys \
    }
inline constexpr Channel kChannels[] = {
    {1, CHANNEL(ENTRY_SP1_CONFIG, ENTRY_SP1_OP, SerialPortConfig, "serial port 1", "Serial port 1", kSerialKeys)},
    {3, CHANNEL(ENTRY_TCP1_CONFIG, ENTRY_TCP1_OP, EthTCPConfig, "TCP channel 1", "TCP channel 1", kTcpKeys<1>)},
    {4, CHANNEL(ENTRY_TCP2_CONFIG, ENTRY_TCP2_OP, EthTCPConfig, "TCP channel 2", "TCP channel 2", kTcpKeys<2>)},
    {5, CHANNEL(ENTRY_NS1_CONFIG, ENTRY_NS1_OP, NtripServerConfig, "NTRIP server 1", "NTRIP server 1",
                kNtripServerKeys<1>)},
    {6, CHANNEL(ENTRY_NC_CONFIG, ENTRY_NC_OP, NtripClientConfig, "the NTRIP client", "NTRIP client", kNtripClientKeys)},
    {7, CHANNEL(ENTRY_RADIO_CONFIG, ENTRY_RADIO_OP, RadioConfig, "the radio modem", "Radio modem", kRadioKeys)},
    {8, CHANNEL(ENTRY_NA_CONFIG, ENTRY_NA_OP, NtripCasterConfig, "the NTRIP caster", "NTRIP caster", kCasterKeys)},
    {9, CHANNEL(ENTRY_NS2_CONFIG, ENTRY_NS2_OP, NtripServerConfig, "NTRIP server 2", "NTRIP server 2",
                kNtripServerKeys<2>)},
    {10, CHANNEL(ENTRY_UDP_CONFIG, ENTRY_UDP_OP, UDPConfig, "the UDP channel", "UDP channel", kUdpKeys)},
};
#undef CHANNEL

inline constexpr std::size_t kLargestRecord = [] {
    std::size_t largest = 0;
    for (const Channel &channel : kChannels) largest = std::max(largest, channel.group.record_size);
    return largest;
}();

}  // namespace linkreport
