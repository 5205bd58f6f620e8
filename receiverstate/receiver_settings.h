// The receiver's own settings as groups of setting rows: the antenna ("antenna"), the two
// recorders ("recorder1", "recorder2") and the network ("network", shown only), and the
// maintenance actions. Encodings in docs/receiver.md.
#pragma once

#include <cstddef>

#include "status_rows.h"

namespace receiverstate {

// ---- Antenna: one form for the three 44-byte blocks ----------------------------------------

// The block's fields (its offsets within the block).
inline constexpr grshm::Member kAntennaType{"Type", 0, 21, grshm::Kind::Text};
inline constexpr grshm::Member kHeightMethod{"HeightMethod", 21, 1, grshm::Kind::Unsigned};
inline constexpr grshm::Member kAntennaHeight{"Height", 24, 4, grshm::Kind::Signed};
inline constexpr std::size_t kAntennaBlock = sizeof(ReceiverConfigPara::ANTENNA_INFO);
static_assert(sizeof(RecConfig::Antenna) == kAntennaBlock, "one form for the three blocks");

inline constexpr rows::Place kAntennaTypes = ROWS_PLACE(Monitor, ENTRY_ANT_TYPE, ENTRY_NULL_OP);
inline constexpr const char *kAntennaTypesKey = "AntennaTypes";  // of the antenna group's read
inline constexpr std::size_t kAntennaTypeSlot = 21;              // 1,000 slots; the list ends at an empty one
inline constexpr Choice kHeightMethods[] = {{0, "vertical, from the mark to the antenna reference point"},
                                            {1, "slant, from the mark to the antenna's slant-measurement point"}};

inline constexpr Row kAntennaRows[] = {
    [] {
        Row row =
            rows::Length(rows::Show("AntennaType", Shown::Text, kAntennaType, "Antenna and radome (IGS)"), 20, 20);
        row.choices_from = &kAntennaTypes;
        row.choices_in = kAntennaTypesKey;
        return row;
    }(),
    rows::Scaled(rows::Show("AntennaHeight", Shown::Decimal, kAntennaHeight, "Antenna height", "m"), 10000, -10, 100),
    rows::OneOf(rows::Show("HeightMethod", Shown::Choice, kHeightMethod, "Height measured"), kHeightMethods),
};

// ENTRY_ANTENNA_INFO, and the same block at this offset of each recorder's record (written
// for both by WriteReceiverRecConfAntenna; announced with ENTRY_REC1_OP and ENTRY_REC2_OP).
inline constexpr rows::Group kAntenna = {
    "the antenna", "Antenna", ROWS_PLACE(Configuration, ENTRY_ANTENNA_INFO, ENTRY_ANT_OP), kAntennaBlock, kAntennaRows};
inline constexpr std::size_t kRecorderAntennaOffset = offsetof(RecConfig, Antenna);
template <int N>
inline constexpr rows::Place kRecorderAntenna = N == 1 ? ROWS_PLACE(Configuration, ENTRY_REC1_CONFIG, ENTRY_REC1_OP)
                                                       : ROWS_PLACE(Configuration, ENTRY_REC2_CONFIG, ENTRY_REC2_OP);

// ---- Recorders -----------------------------------------------------------------------------

inline constexpr Choice kFileTypes[] = {
    {0, "the receiver's own binary"}, {1, "RINEX 2.11"}, {2, "RINEX 3.04"}, {3, "RTCM 3"}};
inline constexpr Choice kRecordModes[] = {{0, "manual"}, {1, "automatic, from the start"}};
inline constexpr Choice kIntervals[] = {{50, "50 ms (20 Hz)"},  {100, "100 ms (10 Hz)"}, {200, "200 ms (5 Hz)"},
                                        {500, "500 ms (2 Hz)"}, {1000, "1 s"},           {2000, "2 s"},
                                        {5000, "5 s"},          {10000, "10 s"},         {15000, "15 s"},
                                        {30000, "30 s"},        {60000, "1 min"}};
inline constexpr Choice kStartStop[] = {{0, "stopped"}, {1, "recording"}};
inline constexpr unsigned char kStartStopShown[] = {0, 1, 0, 0};  // stopped for any reason shows as stopped
inline constexpr Choice kRecorderStates[] = {
    {0, "stopped"}, {1, "recording"}, {2, "stopped: the space is used up"}, {3, "stopped: storage error"}};

template <int N>
inline constexpr rows::Place kRecorderState = N == 1 ? ROWS_PLACE(Monitor, ENTRY_REC1_STATE, ENTRY_REC1_STATE_OP)
                                                     : ROWS_PLACE(Monitor, ENTRY_REC2_STATE, ENTRY_REC2_STATE_OP);
template <int N>
inline constexpr rows::Place kRecorderStateShown = N == 1 ? ROWS_PLACE(Monitor, ENTRY_REC1_STATE, ENTRY_NULL_OP)
                                                          : ROWS_PLACE(Monitor, ENTRY_REC2_STATE, ENTRY_NULL_OP);

#define RECORD(field) GRSHM_FIELD(RecConfig, field)
inline constexpr grshm::Member kUserState{"State", 0, 1, grshm::Kind::Unsigned};

template <int N>
inline constexpr Row kRecorderRows[] = {
    rows::Length(rows::Show("FolderName", Shown::Text, RECORD(FolderName), "Folder"), 1, 16,
                 rows::Characters::FileName),
    rows::Length(rows::Show("MarkName", Shown::Text, RECORD(MarkName), "Mark name"), 1, 11, rows::Characters::FileName),
    rows::OneOf(rows::Show("FileType", Shown::Choice, RECORD(FileType), "File type"), kFileTypes),
    rows::OneOf(rows::Show("Mode", Shown::Choice, RECORD(RecMode), "Starts"), kRecordModes),
    rows::OneOf(rows::Show("Interval", Shown::Choice, RECORD(RecInterval), "Interval", "ms"), kIntervals),
    rows::Within(rows::Show("MaxSpace", Shown::Number, RECORD(MaxSpace), "Space limit (0: none)", "MB"), 0, 2147483647),
    rows::Show("Circular", Shown::Flag, RECORD(CircularFlag), "Circular (delete the oldest file)"),
    // The recording process writes it as it records: shown, never written, never in a Revision.
    rows::Live(
        rows::Within(rows::Show("FreeSpace", Shown::Number, RECORD(FreeSpace), "Space left", "MB"), 0, 4294967295.0)),
    [] {
        Row row = rows::OneOf(rows::Show("Recording", Shown::Choice, kUserState, "Record"), kStartStop);
        row.shown_of = kStartStopShown;
        row.place = &kRecorderState<N>;
        return row;
    }(),
    StateOf("State", kUserState, kRecorderStateShown<N>, "Recorder", kRecorderStates),
};
#undef RECORD

template <int N>
inline constexpr rows::Group kRecorder = {N == 1 ? "recorder 1" : "recorder 2", N == 1 ? "Recorder 1" : "Recorder 2",
                                          N == 1 ? ROWS_PLACE(Configuration, ENTRY_REC1_CONFIG, ENTRY_REC1_OP)
                                                 : ROWS_PLACE(Configuration, ENTRY_REC2_CONFIG, ENTRY_REC2_OP),
                                          sizeof(RecConfig), kRecorderRows<N>};

// ---- Network, shown only -------------------------------------------------------------------

#define NETWORK_PLACE(entry) ROWS_PLACE(Configuration, entry, ENTRY_NULL_OP)
inline constexpr rows::Place kIp = NETWORK_PLACE(ENTRY_IP);
inline constexpr rows::Place kNetmask = NETWORK_PLACE(ENTRY_NETMASK);
inline constexpr rows::Place kGateway = NETWORK_PLACE(ENTRY_GATEWAY);
inline constexpr rows::Place kDns1 = NETWORK_PLACE(ENTRY_DNS1);
inline constexpr rows::Place kDns2 = NETWORK_PLACE(ENTRY_DNS2);
inline constexpr rows::Place kHttpPort = NETWORK_PLACE(ENTRY_HTTP_PORT);
inline constexpr rows::Place kFtpPort = NETWORK_PLACE(ENTRY_FTP_PORT);
inline constexpr rows::Place kHostName = NETWORK_PLACE(ENTRY_DN);
inline constexpr rows::Place kAutoIp = NETWORK_PLACE(ENTRY_AUTO_IP);
#undef NETWORK_PLACE

inline constexpr Choice kAddressing[] = {{0, "fixed"}, {1, "automatic (DHCP)"}};

// Shown in the receiver's form; a change waits until the web server can follow a new address
// (docs/receiver.md, "Network").
#define READ_ONLY(key) key " is read-only: the network settings are changed on the receiver itself for now"
constexpr Row Network(Row row, const rows::Place &place, const char *reason) {
    row.place = &place;
    return rows::Fixed(row, reason);
}
#define WHOLE(field, kind)                                                \
    ::grshm::Member {                                                     \
#field, 0, sizeof(ReceiverConfigPara::field), ::grshm::Kind::kind \
    }
inline constexpr Row kNetworkRows[] = {
    Network(rows::OneOf(rows::Show("AutoIP", Shown::Choice, WHOLE(AUTO_IP, Unsigned), "Addressing"), kAddressing),
            kAutoIp, READ_ONLY("AutoIP")),
    Network(rows::Show("IP", Shown::DottedAddress, WHOLE(IP, Address), "Address"), kIp, READ_ONLY("IP")),
    Network(rows::Show("Netmask", Shown::DottedAddress, WHOLE(NETMASK, Address), "Net mask"), kNetmask,
            READ_ONLY("Netmask")),
    Network(rows::Show("Gateway", Shown::DottedAddress, WHOLE(GATEWAY, Address), "Gateway"), kGateway,
            READ_ONLY("Gateway")),
    Network(rows::Show("DNS1", Shown::DottedAddress, WHOLE(DNS1, Address), "Name server"), kDns1, READ_ONLY("DNS1")),
    Network(rows::Show("DNS2", Shown::DottedAddress, WHOLE(DNS2, Address), "Second name server"), kDns2,
            READ_ONLY("DNS2")),
    Network(
        rows::Within(rows::Show("HttpPort", Shown::Number, WHOLE(HTTP_PORT, Unsigned), "Web server port"), 1, 65535),
        kHttpPort, READ_ONLY("HttpPort")),
    Network(rows::Within(rows::Show("FtpPort", Shown::Number, WHOLE(FTP_PORT, Unsigned), "FTP server port (0: off)"), 0,
                         65535),
            kFtpPort, READ_ONLY("FtpPort")),
    Network(rows::Show("HostName", Shown::Text, WHOLE(DN, Text), "Host name"), kHostName, READ_ONLY("HostName")),
};
#undef WHOLE
#undef READ_ONLY

inline constexpr rows::Group kNetwork = {"the network settings", "Network", kIp, sizeof(Ipv4Words), kNetworkRows};

// ---- Maintenance ---------------------------------------------------------------------------

// What a person confirms before an action is posted: they type its name. For 40 and 41 the
// receiver takes the web server down too, so nobody waits for their answer.
struct MaintenanceAction {
    const char *name;  // what the request names and the person types
    OPERATE_ENTRY operation;
    const char *operation_name;
    const char *lost;  // what the confirmation says will be lost
    bool answered;     // wait a bounded time for OP_SUCCESS / OP_FAILED (else: "sent")
};
#define MAINTENANCE(name, op, lost, answered) \
    MaintenanceAction {                       \
        name, op, #op, lost, answered         \
    }
inline constexpr MaintenanceAction kMaintenance[] = {
    MAINTENANCE("restart", ENTRY_RESTART_OP, "the receiver stops for a while: recordings and connections stop", false),
    MAINTENANCE("shut down", ENTRY_SHUTDOWN_OP, "the receiver powers off and can be started only at the receiver",
                false),
    MAINTENANCE("restore settings", ENTRY_RESTORE_OP,
                "every setting goes back to the receiver's defaults: channels, base station, antenna, recorders", true),
    MAINTENANCE("format storage", ENTRY_FORMAT_OP, "every recorded file is deleted", true),
    MAINTENANCE("clear ephemerides", ENTRY_CLEANEPH_OP, "no position until the satellites' orbits are received again",
                true),
};
#undef MAINTENANCE

}  // namespace receiverstate
