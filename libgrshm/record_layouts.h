// The records of the segments as rows of members (member.h): nothing here lists a record's
// members a second time, and every offset and size comes from the record struct. The
// library's entry tables take an entry's rows from here by its member's type (RowsOf).
#pragma once

#include "member.h"
#include "sharememory.h"

namespace grshm {

inline constexpr Member kSlotRows[] = {
    GRSHM_FIELD(MsgCfgPara, MsgID),
    GRSHM_FIELD(MsgCfgPara, Interval),
    GRSHM_FIELD(MsgCfgPara, time),
    GRSHM_FIELD(MsgCfgPara, Available),
};

inline constexpr Member kSwitchRows[] = {GRSHM_FIELD(MsgSwitchPara, Enable), GRSHM_FIELD(MsgSwitchPara, Type)};

inline constexpr Member kTransRows[] = {
    GRSHM_OBJECT(TransDSPara, Switch, "Switch", kSwitchRows),
    GRSHM_LIST(TransDSPara, NMEA, kSlotRows),
    GRSHM_LIST(TransDSPara, EPH, kSlotRows),
    GRSHM_LIST(TransDSPara, RTCM23, kSlotRows),
    GRSHM_LIST(TransDSPara, RTCM30, kSlotRows),
    GRSHM_LIST(TransDSPara, RTCM32, kSlotRows),
    GRSHM_LIST(TransDSPara, CMR, kSlotRows),
    GRSHM_LIST(TransDSPara, Binex, kSlotRows),
    GRSHM_LIST(TransDSPara, QX, kSlotRows),
    GRSHM_LIST(TransDSPara, Weather, kSlotRows),
    GRSHM_LIST(TransDSPara, Custom, kSlotRows),
};

inline constexpr Member kDiffRows[] = {
    GRSHM_OBJECT(DiffDSPara, Switch, "Switch", kSwitchRows),
    GRSHM_LIST(DiffDSPara, RTCM23, kSlotRows),
    GRSHM_LIST(DiffDSPara, RTCM30, kSlotRows),
    GRSHM_LIST(DiffDSPara, RTCM32, kSlotRows),
    GRSHM_LIST(DiffDSPara, CMR, kSlotRows),
    GRSHM_LIST(DiffDSPara, Custom, kSlotRows),
};

inline constexpr Member kCoordinatesRows[] = {
    GRSHM_FIELD(Coordinates, Longitude), GRSHM_FIELD_AS(Coordinates, LonDirection, "LonDirection", Kind::Letter),
    GRSHM_FIELD(Coordinates, Latitude),  GRSHM_FIELD_AS(Coordinates, LatDirection, "LatDirection", Kind::Letter),
    GRSHM_FIELD(Coordinates, Elevation), GRSHM_FIELD(Coordinates, Available),
};

inline constexpr Member kSmartBaseRows[] = {
    GRSHM_FIELD(SmartBaseInfo, id),
    GRSHM_OBJECT(SmartBaseInfo, coordinate_point, "coordinate_point", kCoordinatesRows),
    GRSHM_FIELD(SmartBaseInfo, available),
};

inline constexpr Member kRecordingRows[] = {
    GRSHM_FIELD(RecConfig, FolderName), GRSHM_FIELD(RecConfig, MarkName),     GRSHM_FIELD(RecConfig, FileType),
    GRSHM_FIELD(RecConfig, RecMode),    GRSHM_FIELD(RecConfig, RecInterval),  GRSHM_FIELD(RecConfig, MaxSpace),
    GRSHM_FIELD(RecConfig, FreeSpace),  GRSHM_FIELD(RecConfig, CircularFlag), GRSHM_FIELD(RecConfig, Antenna),
};

inline constexpr Member kSerialPortRows[] = {
    GRSHM_FIELD(SerialPortConfig, Baudrate),
    GRSHM_FIELD(SerialPortConfig, Verify),
    GRSHM_OBJECT(SerialPortConfig, COMDSPara, "COMDSPara", kTransRows),
};

// TCP and UDP share this layout (checked below); the stream shows as "DSPara" for both.
inline constexpr Member kNetworkChannelRows[] = {
    GRSHM_FIELD(EthTCPConfig, RoleKind),    GRSHM_FIELD(EthTCPConfig, LocalPort),
    GRSHM_FIELD(EthTCPConfig, ServerIP),    GRSHM_FIELD(EthTCPConfig, ServerPort),
    GRSHM_FIELD(EthTCPConfig, EncryptFlag), GRSHM_FIELD(EthTCPConfig, PassWord),
    GRSHM_FIELD(EthTCPConfig, MaxConNum),   GRSHM_OBJECT(EthTCPConfig, TCPDSPara, "DSPara", kTransRows),
    GRSHM_FIELD(EthTCPConfig, DS_Flag),
};
static_assert(sizeof(UDPConfig) == sizeof(EthTCPConfig) &&
              offsetof(UDPConfig, UDPDSPara) == offsetof(EthTCPConfig, TCPDSPara) &&
              offsetof(UDPConfig, DS_Flag) == offsetof(EthTCPConfig, DS_Flag));

inline constexpr Member kNtripClientRows[] = {
    GRSHM_FIELD(NtripClientConfig, ClientEnable), GRSHM_FIELD(NtripClientConfig, Domain),
    GRSHM_FIELD(NtripClientConfig, ServerIP),     GRSHM_FIELD(NtripClientConfig, ServerPort),
    GRSHM_FIELD(NtripClientConfig, UserName),     GRSHM_FIELD(NtripClientConfig, UserPwd),
    GRSHM_FIELD(NtripClientConfig, MountPoint),
};

inline constexpr Member kNtripServerCtrlRows[] = {
    GRSHM_FIELD(NtripServerCtrl, Version),    GRSHM_FIELD(NtripServerCtrl, Domain),
    GRSHM_FIELD(NtripServerCtrl, CasterIP),   GRSHM_FIELD(NtripServerCtrl, CasterPort),
    GRSHM_FIELD(NtripServerCtrl, UserName),   GRSHM_FIELD(NtripServerCtrl, UserPwd),
    GRSHM_FIELD(NtripServerCtrl, MountPoint),
};

inline constexpr Member kNtripServerRows[] = {
    GRSHM_OBJECT(NtripServerConfig, CtrlPara, "CtrlPara", kNtripServerCtrlRows),
    GRSHM_OBJECT(NtripServerConfig, ServerDSPara, "ServerDSPara", kDiffRows),
};

inline constexpr Member kRadioRows[] = {
    GRSHM_FIELD(RadioConfig, rx_freq),      GRSHM_FIELD(RadioConfig, tx_freq),
    GRSHM_FIELD(RadioConfig, sw),           GRSHM_FIELD(RadioConfig, channel),
    GRSHM_FIELD(RadioConfig, mode),         GRSHM_FIELD(RadioConfig, protocol),
    GRSHM_FIELD(RadioConfig, power),        GRSHM_FIELD(RadioConfig, fec),
    GRSHM_FIELD(RadioConfig, air_baudrate), GRSHM_FIELD(RadioConfig, model),
    GRSHM_FIELD(RadioConfig, sv),           GRSHM_OBJECT(RadioConfig, RadioDSPara, "RadioDSPara", kDiffRows),
};

inline constexpr Member kCasterRows[] = {
    GRSHM_FIELD(NtripCasterConfig, port),
    GRSHM_FIELD(NtripCasterConfig, usr_name),
    GRSHM_FIELD(NtripCasterConfig, pwd),
    GRSHM_FIELD(NtripCasterConfig, enable),
};

inline constexpr Member kGgaRows[] = {
    GRSHM_FIELD(GGAInfo, utc),
    GRSHM_FIELD(GGAInfo, latitude),
    GRSHM_FIELD_AS(GGAInfo, latdir, "latdir", Kind::Letter),
    GRSHM_FIELD(GGAInfo, longitude),
    GRSHM_FIELD_AS(GGAInfo, londir, "londir", Kind::Letter),
    GRSHM_FIELD(GGAInfo, fix_status),
    GRSHM_FIELD(GGAInfo, fix_satellite),
    GRSHM_FIELD(GGAInfo, hdop),
    GRSHM_FIELD(GGAInfo, altitude),
    GRSHM_FIELD_AS(GGAInfo, alt_unit, "alt_unit", Kind::Letter),
    GRSHM_FIELD(GGAInfo, undulation),
    GRSHM_FIELD_AS(GGAInfo, und_unit, "und_unit", Kind::Letter),
    GRSHM_FIELD(GGAInfo, age),
    GRSHM_FIELD(GGAInfo, station_id),
    GRSHM_FIELD(GGAInfo, checksum),
    GRSHM_FIELD(GGAInfo, available),
};

// A GSV slot keeps its sentences and their control bytes in two arrays side by side: one
// element of the list is the pair of sentence n and control byte n.
inline constexpr Member kGsvSentenceRows[] = {
    {"Sentence", offsetof(GSVSlot, Sentence), GNSS_GSV_SENTENCE_BYTES, Kind::Text, {}, 0, GNSS_GSV_SENTENCE_BYTES},
    {"Control", offsetof(GSVSlot, Control), 1, Kind::Unsigned, {}, 0, 1},
};
inline constexpr Member kGsvSlotRows[] = {
    {"", 0, sizeof(GSVSlot), Kind::Array, Layout(kGsvSentenceRows), GNSS_GSV_SENTENCES, 0},
};

// The rows of a record type; none for a type without them.
template <typename T>
constexpr Layout RowsOf() {
    using std::is_same_v;
    if constexpr (is_same_v<T, MsgCfgPara>) return kSlotRows;
    if constexpr (is_same_v<T, MsgSwitchPara>) return kSwitchRows;
    if constexpr (is_same_v<T, TransDSPara>) return kTransRows;
    if constexpr (is_same_v<T, DiffDSPara>) return kDiffRows;
    if constexpr (is_same_v<T, Coordinates>) return kCoordinatesRows;
    if constexpr (is_same_v<T, SmartBaseInfo>) return kSmartBaseRows;
    if constexpr (is_same_v<T, RecConfig>) return kRecordingRows;
    if constexpr (is_same_v<T, SerialPortConfig>) return kSerialPortRows;
    if constexpr (is_same_v<T, EthTCPConfig> || is_same_v<T, UDPConfig>) return kNetworkChannelRows;
    if constexpr (is_same_v<T, NtripClientConfig>) return kNtripClientRows;
    if constexpr (is_same_v<T, NtripServerCtrl>) return kNtripServerCtrlRows;
    if constexpr (is_same_v<T, NtripServerConfig>) return kNtripServerRows;
    if constexpr (is_same_v<T, RadioConfig>) return kRadioRows;
    if constexpr (is_same_v<T, NtripCasterConfig>) return kCasterRows;
    if constexpr (is_same_v<T, GGAInfo>) return kGgaRows;
    if constexpr (is_same_v<T, GSVSlot>) return kGsvSlotRows;
    return {};
}

// What the bytes of a member of type T are: a record with rows, an array of such records, or
// what ScalarKindOf says.
template <typename T>
constexpr Kind KindOf() {
    if constexpr (std::is_array_v<T>) {
        using Element = std::remove_cv_t<std::remove_extent_t<T>>;
        if constexpr (std::is_class_v<Element>) return RowsOf<Element>().empty() ? Kind::Bytes : Kind::Array;
    } else if constexpr (std::is_class_v<T>) {
        return RowsOf<T>().empty() ? Kind::Bytes : Kind::Record;
    }
    return ScalarKindOf<T>();
}

template <typename T>
constexpr Member MemberOf(const char *name, std::size_t offset, Kind kind) {
    Member member{name, offset, sizeof(T), kind};
    if constexpr (std::is_array_v<T>) {
        using Element = std::remove_cv_t<std::remove_extent_t<T>>;
        if (kind == Kind::Array)
            member = {name, offset, sizeof(T), kind, RowsOf<Element>(), std::extent_v<T>, sizeof(Element)};
    } else if (kind == Kind::Record) {
        member.rows = RowsOf<T>();
    }
    return member;
}

// The member at path (a designator: COMDSPara.Switch.Type, SMARTBASE[0]) of Record, with its
// type's kind and rows, unnamed (its entry or its row names it: a name would be one more
// pointer for the loader to relocate in every program's tables); GRSHM_MEMBER_AS reads its bytes as another kind
// (text kept in unsigned bytes). Neither a type nor a designator can be put in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define GRSHM_MEMBER_TYPE(Type, path) std::remove_cvref_t<decltype(std::declval<Type &>().path)>
#define GRSHM_MEMBER_AS(Type, path, kind) \
    ::grshm::MemberOf<GRSHM_MEMBER_TYPE(Type, path)>(nullptr, offsetof(Type, path), kind)
#define GRSHM_MEMBER(Type, path) GRSHM_MEMBER_AS(Type, path, ::grshm::KindOf<GRSHM_MEMBER_TYPE(Type, path)>())
// NOLINTEND(bugprone-macro-parentheses)

}  // namespace grshm
