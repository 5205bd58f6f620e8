// What the receiver reports about itself, as read-only groups of setting rows: who it is
// ("identity"), how it is ("health") and the live state of the five channels that connect
// to a peer ("links"). Each row is in the form docs/receiver.md gives; a value outside it is
// shown as {"Unknown": raw}.
#pragma once

#include "setting_row.h"

namespace receiverstate {

using rows::Choice;
using rows::Row;
using rows::Shown;

// ---- Named values (docs/receiver.md) -------------------------------------------------------

inline constexpr Choice kPowerSupplies[] = {{0, "not reported"}, {1, "mains"}, {2, "battery"}};
inline constexpr Choice kFirmwareStates[] = {{0, "running"},
                                             {1, "receiving an update"},
                                             {2, "writing an update"},
                                             {3, "update written: restart to use it"},
                                             {4, "update failed"}};
inline constexpr Choice kPowerStates[] = {{0, "on"}, {1, "shut down"}};
inline constexpr Choice kLinkStates[] = {{0, "off"},     {1, "connecting"},  {2, "connected"}, {3, "listening"},
                                         {4, "refused"}, {5, "unreachable"}, {6, "no network"}};

// ---- Places: each row is an entry of its own -----------------------------------------------

#define RECEIVER_PLACE(segment, entry) ROWS_PLACE(segment, entry, ENTRY_NULL_OP)
inline constexpr rows::Place kSerialNumber = RECEIVER_PLACE(Configuration, ENTRY_SN);
inline constexpr rows::Place kHardware = RECEIVER_PLACE(Configuration, ENTRY_HWV);
inline constexpr rows::Place kSoftware = RECEIVER_PLACE(Configuration, ENTRY_SWV);
inline constexpr rows::Place kRtkEngine = RECEIVER_PLACE(Configuration, ENTRY_RTKV);
inline constexpr rows::Place kProduct = RECEIVER_PLACE(Configuration, ENTRY_PN);
inline constexpr rows::Place kBootLoader = RECEIVER_PLACE(Configuration, ENTRY_BOOTV);
inline constexpr rows::Place kRadio = RECEIVER_PLACE(Configuration, ENTRY_RDV);
inline constexpr rows::Place kDataPorts = RECEIVER_PLACE(Configuration, ENTRY_DPV);
inline constexpr rows::Place kSoftwareDate = RECEIVER_PLACE(Configuration, ENTRY_SWD);
inline constexpr rows::Place kMacAddress = RECEIVER_PLACE(Configuration, ENTRY_MAC);
inline constexpr rows::Place kGnssBoard = RECEIVER_PLACE(Monitor, ENTRY_GNSS_VERS);
inline constexpr rows::Place kTemperature = RECEIVER_PLACE(Monitor, ENTRY_TEMP);
inline constexpr rows::Place kAllSpace = RECEIVER_PLACE(Monitor, ENTRY_ALL_SPACE);
inline constexpr rows::Place kFreeSpace = RECEIVER_PLACE(Monitor, ENTRY_FREE_SPACE);
inline constexpr rows::Place kBattery = RECEIVER_PLACE(Monitor, ENTRY_BATTERY_EQ);
inline constexpr rows::Place kPowerSupply = RECEIVER_PLACE(Monitor, ENTRY_POWER_SUPPLY);
inline constexpr rows::Place kRuntime = RECEIVER_PLACE(Monitor, ENTRY_RUNTIME);
inline constexpr rows::Place kFirmware = RECEIVER_PLACE(Monitor, ENTRY_FW_STATE);
inline constexpr rows::Place kPowerOff = RECEIVER_PLACE(Monitor, ENTRY_POWER_OFF);
inline constexpr rows::Place kTcp1Link = RECEIVER_PLACE(Monitor, ENTRY_TCP1_LINK);
inline constexpr rows::Place kTcp2Link = RECEIVER_PLACE(Monitor, ENTRY_TCP2_LINK);
inline constexpr rows::Place kNtripServer1State = RECEIVER_PLACE(Monitor, ENTRY_NS1_STATE);
inline constexpr rows::Place kNtripClientState = RECEIVER_PLACE(Monitor, ENTRY_NC_STATE);
inline constexpr rows::Place kNtripServer2State = RECEIVER_PLACE(Monitor, ENTRY_NS2_STATE);
#undef RECEIVER_PLACE

// The whole entry as the member: its offset within the entry is 0.
#define WHOLE_ENTRY(Record, field, kind)       \
    ::grshm::Member {                          \
#field, 0, sizeof(Record::field), kind \
    }

constexpr Row Reported(Row row, const rows::Place &place) {
    row.place = &place;
    return rows::Live(row);
}
constexpr Row TextOf(const char *key, const grshm::Member &member, const rows::Place &place, const char *label) {
    return Reported(rows::Show(key, Shown::Text, member, label), place);
}
constexpr Row NumberOf(const char *key, const grshm::Member &member, const rows::Place &place, const char *label,
                       const char *unit, double min, double max) {
    return Reported(rows::Within(rows::Show(key, Shown::Number, member, label, unit), min, max), place);
}
constexpr Row StateOf(const char *key, const grshm::Member &member, const rows::Place &place, const char *label,
                      std::span<const Choice> choices) {
    return Reported(rows::OneOf(rows::Show(key, Shown::Choice, member, label), choices), place);
}

#define CONFIG_TEXT(field) WHOLE_ENTRY(ReceiverConfigPara, field, ::grshm::Kind::Text)
inline constexpr Row kIdentityRows[] = {
    TextOf("SerialNumber", CONFIG_TEXT(SN), kSerialNumber, "Serial number"),
    TextOf("Product", CONFIG_TEXT(PN), kProduct, "Product"),
    TextOf("Hardware", CONFIG_TEXT(HWV), kHardware, "Hardware version"),
    TextOf("Firmware", CONFIG_TEXT(SWV), kSoftware, "Firmware version"),
    TextOf("FirmwareDate", CONFIG_TEXT(SWD), kSoftwareDate, "Firmware date"),
    TextOf("RtkEngine", CONFIG_TEXT(RTKV), kRtkEngine, "RTK engine version"),
    TextOf("GnssBoard", WHOLE_ENTRY(MonitorPara, GNSS_VERS, ::grshm::Kind::Text), kGnssBoard, "GNSS board"),
    TextOf("BootLoader", CONFIG_TEXT(BOOTV), kBootLoader, "Boot loader version"),
    TextOf("Radio", CONFIG_TEXT(RDV), kRadio, "Radio modem version"),
    TextOf("DataPorts", CONFIG_TEXT(DPV), kDataPorts, "Data port version"),
    TextOf("MacAddress", WHOLE_ENTRY(ReceiverConfigPara, MAC, ::grshm::Kind::Text), kMacAddress, "MAC address"),
};
#undef CONFIG_TEXT

#define MONITOR(field, kind) WHOLE_ENTRY(MonitorPara, field, ::grshm::Kind::kind)
inline constexpr Row kHealthRows[] = {
    NumberOf("Temperature", MONITOR(TEMP, Signed), kTemperature, "Temperature", "°C", -127, 127),
    NumberOf("StorageFree", MONITOR(FREE_SPACE, Unsigned), kFreeSpace, "Storage free", "MB", 0, 4294967295.0),
    NumberOf("StorageTotal", MONITOR(ALL_SPACE, Unsigned), kAllSpace, "Storage", "MB", 0, 4294967295.0),
    StateOf("PowerSupply", MONITOR(POWER_SUPPLY, Unsigned), kPowerSupply, "Power", kPowerSupplies),
    NumberOf("Battery", MONITOR(BATTERY_EQ, Unsigned), kBattery, "Battery", "%", 0, 100),
    NumberOf("RunningTime", MONITOR(RUNTIME, Unsigned), kRuntime, "Running for", "s", 0, 4294967295.0),
    StateOf("FirmwareState", MONITOR(FW_STATE, Unsigned), kFirmware, "Firmware", kFirmwareStates),
    StateOf("Power", MONITOR(POWER_OFF, Unsigned), kPowerOff, "Receiver", kPowerStates),
};

// "Connection" and the channel's TransID: the channels page shows the row beside its channel.
inline constexpr Row kLinkRows[] = {
    StateOf("Connection3", MONITOR(TCP1_LINK, Unsigned), kTcp1Link, "TCP channel 1 connection", kLinkStates),
    StateOf("Connection4", MONITOR(TCP2_LINK, Unsigned), kTcp2Link, "TCP channel 2 connection", kLinkStates),
    StateOf("Connection5", MONITOR(NS1_STATE, Unsigned), kNtripServer1State, "NTRIP server 1 connection", kLinkStates),
    StateOf("Connection6", MONITOR(NC_STATE, Unsigned), kNtripClientState, "NTRIP client connection", kLinkStates),
    StateOf("Connection9", MONITOR(NS2_STATE, Unsigned), kNtripServer2State, "NTRIP server 2 connection", kLinkStates),
};
#undef MONITOR
#undef WHOLE_ENTRY

inline constexpr rows::Group kIdentity = {"the receiver's identity", "Identity", kSerialNumber,
                                          sizeof(ReceiverConfigPara::SN), kIdentityRows};
inline constexpr rows::Group kHealth = {"the receiver's health", "Health", kTemperature, sizeof(MonitorPara::TEMP),
                                        kHealthRows};
inline constexpr rows::Group kLinks = {"the channels' connections", "Connections", kTcp1Link,
                                       sizeof(MonitorPara::TCP1_LINK), kLinkRows};

}  // namespace receiverstate
