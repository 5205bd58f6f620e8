// The nine data channels as data: each channel's entry, "TransID" and record, and its keys as
// rows (the key, the record member it shows and how), in the order the report prints them.
// A row names its member by offset, size and kind, so the same row serves reading a member
// out of a record and writing one into it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>

#include "message_tables.h"
#include "sharememory.h"

namespace linkreport {

// What the bytes of a record member are.
enum class MemberKind : unsigned char {
    None,     // the row shows no member
    Byte,     // unsigned char
    Word,     // unsigned int
    Float,    // float
    Text,     // char[N]: the text up to its zero byte, or the whole field when it has none
    Address,  // Ipv4Words, first octet in word 0
    Slots,    // MsgCfgPara[N], a message array
    Stream,   // TransDSPara or DiffDSPara
};

template <typename T>
constexpr MemberKind KindOf() {
    if constexpr (std::is_same_v<T, unsigned char>) return MemberKind::Byte;
    if constexpr (std::is_same_v<T, unsigned int>) return MemberKind::Word;
    if constexpr (std::is_same_v<T, float>) return MemberKind::Float;
    if constexpr (std::is_array_v<T> && std::is_same_v<std::remove_extent_t<T>, char>) return MemberKind::Text;
    if constexpr (std::is_same_v<T, Ipv4Words>) return MemberKind::Address;
    if constexpr (std::is_array_v<T> && std::is_same_v<std::remove_extent_t<T>, MsgCfgPara>) return MemberKind::Slots;
    if constexpr (std::is_same_v<T, TransDSPara> || std::is_same_v<T, DiffDSPara>) return MemberKind::Stream;
    return MemberKind::None;
}

// Where a member lies in its record.
struct Member {
    std::size_t offset = 0;
    std::size_t size = 0;
    MemberKind kind = MemberKind::None;
};

// The member at path (e.g. CtrlPara.Domain) of Record.
// (Record names a type, which a template argument cannot take in parentheses.)
// NOLINTBEGIN(bugprone-macro-parentheses)
#define CHANNEL_MEMBER(Record, path)                                                           \
    (::linkreport::Member{offsetof(Record, path), sizeof(std::declval<const Record &>().path), \
                          ::linkreport::KindOf<std::remove_cvref_t<decltype(std::declval<Record &>().path)>>()})
// NOLINTEND(bugprone-macro-parentheses)

// One list of a channel's "Messages".
enum class ListShape : unsigned char {
    Items,            // an item per row of the table, its value from the slots
    Empty,            // [ ]
    TwoEmptyObjects,  // [ { }, { } ]
};
struct MessageList {
    ListShape shape;
    const MessageTable *table = nullptr;
    Member slots{};  // within the stream
};
constexpr MessageList Items(const MessageTable &table, Member slots) {
    return {ListShape::Items, &table, slots};
}
inline constexpr MessageList kEmptyList{ListShape::Empty};

// How a key shows its member.
enum class Shown : unsigned char {
    Constant,          // the row's number, no member
    Number,            // the member's value (a word as its 32-bit pattern)
    Flag,              // true when the member is nonzero
    Text,              // the text field
    DottedAddress,     // "%d.%d.%d.%d" of the words, cut to 23 characters
    Frequency,         // the float; one that is not a number shows as 0
    ConnectionStatus,  // "Connect" when the member is nonzero, else "Disconnect"
    TcpRole,           // stored role 1 shows as 0, any other as 1
    StreamType,        // the stream's type byte through the row's stream type table
    Messages,          // the stream through the row's message lists
    RadioModel,        // the model text's code; no key at all for a text of no known model
    MsmLevel,          // the NTRIP server form's RTCM 3.2 slots' level; no key at all when none
};

struct KeyRow {
    const char *key;
    Shown shown;
    Member member{};
    int constant = 0;
    const StreamTypeTable *stream_types = nullptr;
    std::span<const MessageList> messages{};
    unsigned char from_entry = 0;  // the member is another channel's record's (0: this channel's)
    // Storing a Number: the values that may be stored (max 0: what the member's width holds,
    // as far as the report can show it).
    int min = 0;
    int max = 0;
};

struct Channel {
    unsigned char entry;
    int trans_id;
    std::size_t record_size;
    std::span<const KeyRow> keys;
    const char *name;         // as a person says it, for messages ("the NTRIP client")
    OPERATE_ENTRY operation;  // posted after the channel's entry changed
};

// ---- Rows ----------------------------------------------------------------------------------

constexpr KeyRow Constant(const char *key, int value) {
    return {.key = key, .shown = Shown::Constant, .constant = value};
}
constexpr KeyRow Row(const char *key, Shown shown, Member member) {
    return {.key = key, .shown = shown, .member = member};
}
constexpr KeyRow StreamTypeRow(Member type, const StreamTypeTable &table) {
    return {.key = "DataStreamType", .shown = Shown::StreamType, .member = type, .stream_types = &table};
}
// A Number that may be stored only within min to max.
constexpr KeyRow Within(KeyRow row, int min, int max) {
    row.min = min;
    row.max = max;
    return row;
}
constexpr KeyRow MessagesRow(Member stream, std::span<const MessageList> lists) {
    return {.key = "Messages", .shown = Shown::Messages, .member = stream, .messages = lists};
}

#define TRANS_SLOTS(name) CHANNEL_MEMBER(TransDSPara, name)
#define DIFF_SLOTS(name) CHANNEL_MEMBER(DiffDSPara, name)

// Serial port, TCP and UDP share the first six lists; their tails differ.
inline constexpr MessageList kSerialMessages[] = {
    Items(kRawObservation, TRANS_SLOTS(EPH)),
    Items(kNmeaShort, TRANS_SLOTS(NMEA)),
    Items(kRtcm23, TRANS_SLOTS(RTCM23)),
    Items(kRtcm30, TRANS_SLOTS(RTCM30)),
    Items(kRtcm32Short, TRANS_SLOTS(RTCM32)),
    Items(kCmr, TRANS_SLOTS(CMR)),
    kEmptyList,
    {ListShape::TwoEmptyObjects},
};
inline constexpr MessageList kTcpMessages[] = {
    Items(kRawObservation, TRANS_SLOTS(EPH)),
    Items(kNmeaTcp, TRANS_SLOTS(NMEA)),
    Items(kRtcm23, TRANS_SLOTS(RTCM23)),
    Items(kRtcm30, TRANS_SLOTS(RTCM30)),
    Items(kRtcm32Short, TRANS_SLOTS(RTCM32)),
    Items(kCmr, TRANS_SLOTS(CMR)),
    kEmptyList,
    kEmptyList,
    kEmptyList,
};
inline constexpr MessageList kUdpMessages[] = {
    Items(kRawObservation, TRANS_SLOTS(EPH)),
    Items(kNmeaShort, TRANS_SLOTS(NMEA)),
    Items(kRtcm23, TRANS_SLOTS(RTCM23)),
    Items(kRtcm30, TRANS_SLOTS(RTCM30)),
    Items(kRtcm32Short, TRANS_SLOTS(RTCM32)),
    Items(kCmr, TRANS_SLOTS(CMR)),
    kEmptyList,
    kEmptyList,
    kEmptyList,
};
inline constexpr MessageList kNtripServerMessages[] = {
    Items(kRtcm23, DIFF_SLOTS(RTCM23)),
    Items(kRtcm30, DIFF_SLOTS(RTCM30)),
    Items(kRtcm32Ntrip, DIFF_SLOTS(RTCM32)),
    Items(kCmr, DIFF_SLOTS(CMR)),
};
inline constexpr MessageList kRadioMessages[] = {
    Items(kRtcm23, DIFF_SLOTS(RTCM23)),      Items(kRtcm30, DIFF_SLOTS(RTCM30)),
    Items(kRtcm32Short, DIFF_SLOTS(RTCM32)), Items(kCmr, DIFF_SLOTS(CMR)),
    Items(kRadioCustom, DIFF_SLOTS(Custom)),
};

#undef TRANS_SLOTS
#undef DIFF_SLOTS

#define SERIAL(path) CHANNEL_MEMBER(SerialPortConfig, path)
inline constexpr KeyRow kSerialKeys[] = {
    Within(Row("BaudRate", Shown::Number, SERIAL(Baudrate)), 1, 2147483647),
    Constant("Port", 1),
    Row("Check", Shown::Number, SERIAL(Verify)),
    StreamTypeRow(SERIAL(COMDSPara.Switch.Type), kSerialStreamTypes),
    MessagesRow(SERIAL(COMDSPara), kSerialMessages),
    Row("Startup", Shown::Flag, SERIAL(COMDSPara.Switch.Enable)),
};
#undef SERIAL

#define TCP(path) CHANNEL_MEMBER(EthTCPConfig, path)
template <int TcpId>
inline constexpr KeyRow kTcpKeys[] = {
    Constant("TCPID", TcpId),
    Row("RoleKind", Shown::TcpRole, TCP(RoleKind)),
    StreamTypeRow(TCP(TCPDSPara.Switch.Type), kNetworkStreamTypes),
    MessagesRow(TCP(TCPDSPara), kTcpMessages),
    Within(Row("LocalPort", Shown::Number, TCP(LocalPort)), 0, 65535),
    Row("RemoteIP", Shown::DottedAddress, TCP(ServerIP)),
    Within(Row("RemotePort", Shown::Number, TCP(ServerPort)), 0, 65535),
    Row("Startup", Shown::Flag, TCP(TCPDSPara.Switch.Enable)),
};
#undef TCP

#define SERVER(path) CHANNEL_MEMBER(NtripServerConfig, path)
template <int ServerId>
inline constexpr KeyRow kNtripServerKeys[] = {
    Constant("NtripServerID", ServerId),
    Row("CasterAddress", Shown::Text, SERVER(CtrlPara.Domain)),
    Within(Row("CasterPort", Shown::Number, SERVER(CtrlPara.CasterPort)), 1, 65535),
    Within(Row("NtripVersion", Shown::Number, SERVER(CtrlPara.Version)), 1, 2),
    Row("USR", Shown::Text, SERVER(CtrlPara.UserName)),
    Row("PWD", Shown::Text, SERVER(CtrlPara.UserPwd)),
    Row("MountPoint", Shown::Text, SERVER(CtrlPara.MountPoint)),
    Row("Startup", Shown::Flag, SERVER(ServerDSPara.Switch.Enable)),
    Row("Status", Shown::ConnectionStatus, SERVER(ServerDSPara.Switch.Enable)),
    StreamTypeRow(SERVER(ServerDSPara.Switch.Type), kNtripServerStreamTypes),
    Row("MSM", Shown::MsmLevel, SERVER(ServerDSPara.RTCM32)),
    MessagesRow(SERVER(ServerDSPara), kNtripServerMessages),
};

#define CLIENT(path) CHANNEL_MEMBER(NtripClientConfig, path)
inline constexpr KeyRow kNtripClientKeys[] = {
    Row("CasterAddress", Shown::Text, CLIENT(Domain)),
    Within(Row("CasterPort", Shown::Number, CLIENT(ServerPort)), 1, 65535),
    // The client has no version of its own: it shows NTRIP server 1's.
    {.key = "NtripVersion", .shown = Shown::Number, .member = SERVER(CtrlPara.Version), .from_entry = ENTRY_NS1_CONFIG},
    Row("USR", Shown::Text, CLIENT(UserName)),
    Row("PWD", Shown::Text, CLIENT(UserPwd)),
    Row("MountPoint", Shown::Text, CLIENT(MountPoint)),
    Row("Startup", Shown::Flag, CLIENT(ClientEnable)),
    Row("Status", Shown::ConnectionStatus, CLIENT(ClientEnable)),
};
#undef CLIENT
#undef SERVER

#define RADIO(path) CHANNEL_MEMBER(RadioConfig, path)
inline constexpr KeyRow kRadioKeys[] = {
    Row("Model", Shown::RadioModel, RADIO(model)),   Row("RoleKind", Shown::Number, RADIO(mode)),
    Row("Channel", Shown::Number, RADIO(channel)),   Row("RXFREQ", Shown::Frequency, RADIO(rx_freq)),
    Row("TXFREQ", Shown::Frequency, RADIO(tx_freq)), Row("Protocol", Shown::Number, RADIO(protocol)),
    Row("ABR", Shown::Number, RADIO(air_baudrate)),  Row("Power", Shown::Number, RADIO(power)),
    Row("FEC", Shown::Number, RADIO(fec)),           StreamTypeRow(RADIO(RadioDSPara.Switch.Type), kRadioStreamTypes),
    MessagesRow(RADIO(RadioDSPara), kRadioMessages), Row("Startup", Shown::Flag, RADIO(sw)),
};
#undef RADIO

#define CASTER(path) CHANNEL_MEMBER(NtripCasterConfig, path)
inline constexpr KeyRow kCasterKeys[] = {
    Within(Row("CasterPort", Shown::Number, CASTER(port)), 1, 65535),
    Row("USR", Shown::Text, CASTER(usr_name)),
    Row("PWD", Shown::Text, CASTER(pwd)),
    Row("Startup", Shown::Flag, CASTER(enable)),
    Row("Status", Shown::ConnectionStatus, CASTER(enable)),
};
#undef CASTER

#define UDP(path) CHANNEL_MEMBER(UDPConfig, path)
inline constexpr KeyRow kUdpKeys[] = {
    Constant("UDPID", 1),
    Constant("RoleKind", 0),
    StreamTypeRow(UDP(UDPDSPara.Switch.Type), kNetworkStreamTypes),
    MessagesRow(UDP(UDPDSPara), kUdpMessages),
    Within(Row("LocalPort", Shown::Number, UDP(LocalPort)), 0, 65535),
    Row("RemoteIP", Shown::DottedAddress, UDP(ServerIP)),
    Within(Row("RemotePort", Shown::Number, UDP(ServerPort)), 0, 65535),
    Row("Startup", Shown::Flag, UDP(UDPDSPara.Switch.Enable)),
};
#undef UDP

// ---- The channels, in the order of the report's "DataTrans" array ------------------------

inline constexpr Channel kChannels[] = {
    {ENTRY_SP1_CONFIG, 1, sizeof(SerialPortConfig), kSerialKeys, "serial port 1", ENTRY_SP1_OP},
    {ENTRY_TCP1_CONFIG, 3, sizeof(EthTCPConfig), kTcpKeys<1>, "TCP channel 1", ENTRY_TCP1_OP},
    {ENTRY_TCP2_CONFIG, 4, sizeof(EthTCPConfig), kTcpKeys<2>, "TCP channel 2", ENTRY_TCP2_OP},
    {ENTRY_NS1_CONFIG, 5, sizeof(NtripServerConfig), kNtripServerKeys<1>, "NTRIP server 1", ENTRY_NS1_OP},
    {ENTRY_NC_CONFIG, 6, sizeof(NtripClientConfig), kNtripClientKeys, "the NTRIP client", ENTRY_NC_OP},
    {ENTRY_RADIO_CONFIG, 7, sizeof(RadioConfig), kRadioKeys, "the radio modem", ENTRY_RADIO_OP},
    {ENTRY_NA_CONFIG, 8, sizeof(NtripCasterConfig), kCasterKeys, "the NTRIP caster", ENTRY_NA_OP},
    {ENTRY_NS2_CONFIG, 9, sizeof(NtripServerConfig), kNtripServerKeys<2>, "NTRIP server 2", ENTRY_NS2_OP},
    {ENTRY_UDP_CONFIG, 10, sizeof(UDPConfig), kUdpKeys, "the UDP channel", ENTRY_UDP_OP},
};

inline constexpr std::size_t kLargestRecord = [] {
    std::size_t largest = 0;
    for (const Channel &channel : kChannels) largest = std::max(largest, channel.record_size);
    return largest;
}();

}  // namespace linkreport
