#include "fields.h"

namespace grshmtool {
namespace {

constexpr Field kSlotRows[] = {
    GRSHM_FIELD(MsgCfgPara, MsgID),
    GRSHM_FIELD(MsgCfgPara, Interval),
    GRSHM_FIELD(MsgCfgPara, time),
    GRSHM_FIELD(MsgCfgPara, Available),
};

constexpr Field kSwitchRows[] = {GRSHM_FIELD(MsgSwitchPara, Enable), GRSHM_FIELD(MsgSwitchPara, Type)};

constexpr Field kTransRows[] = {
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

constexpr Field kDiffRows[] = {
    GRSHM_OBJECT(DiffDSPara, Switch, "Switch", kSwitchRows),
    GRSHM_LIST(DiffDSPara, RTCM23, kSlotRows),
    GRSHM_LIST(DiffDSPara, RTCM30, kSlotRows),
    GRSHM_LIST(DiffDSPara, RTCM32, kSlotRows),
    GRSHM_LIST(DiffDSPara, CMR, kSlotRows),
    GRSHM_LIST(DiffDSPara, Custom, kSlotRows),
};

constexpr Field kCoordinatesRows[] = {
    GRSHM_FIELD(Coordinates, Longitude), GRSHM_FIELD_AS(Coordinates, LonDirection, "LonDirection", FieldKind::Letter),
    GRSHM_FIELD(Coordinates, Latitude),  GRSHM_FIELD_AS(Coordinates, LatDirection, "LatDirection", FieldKind::Letter),
    GRSHM_FIELD(Coordinates, Elevation), GRSHM_FIELD(Coordinates, Available),
};

constexpr Field kSmartBaseRows[] = {
    GRSHM_FIELD(SmartBaseInfo, id),
    GRSHM_OBJECT(SmartBaseInfo, coordinate_point, "coordinate_point", kCoordinatesRows),
    GRSHM_FIELD(SmartBaseInfo, available),
};

constexpr Field kRecordingRows[] = {
    GRSHM_FIELD(RecConfig, FolderName), GRSHM_FIELD(RecConfig, MarkName),     GRSHM_FIELD(RecConfig, FileType),
    GRSHM_FIELD(RecConfig, RecMode),    GRSHM_FIELD(RecConfig, RecInterval),  GRSHM_FIELD(RecConfig, MaxSpace),
    GRSHM_FIELD(RecConfig, FreeSpace),  GRSHM_FIELD(RecConfig, CircularFlag), GRSHM_FIELD(RecConfig, Antenna),
};

constexpr Field kSerialPortRows[] = {
    GRSHM_FIELD(SerialPortConfig, Baudrate),
    GRSHM_FIELD(SerialPortConfig, Verify),
    GRSHM_OBJECT(SerialPortConfig, COMDSPara, "COMDSPara", kTransRows),
};

// TCP and UDP share this layout (checked below); the stream shows as "DSPara" for both.
constexpr Field kNetworkChannelRows[] = {
    GRSHM_FIELD(EthTCPConfig, RoleKind),    GRSHM_FIELD(EthTCPConfig, LocalPort),
    GRSHM_FIELD(EthTCPConfig, ServerIP),    GRSHM_FIELD(EthTCPConfig, ServerPort),
    GRSHM_FIELD(EthTCPConfig, EncryptFlag), GRSHM_FIELD(EthTCPConfig, PassWord),
    GRSHM_FIELD(EthTCPConfig, MaxConNum),   GRSHM_OBJECT(EthTCPConfig, TCPDSPara, "DSPara", kTransRows),
    GRSHM_FIELD(EthTCPConfig, DS_Flag),
};
static_assert(sizeof(UDPConfig) == sizeof(EthTCPConfig) &&
              offsetof(UDPConfig, UDPDSPara) == offsetof(EthTCPConfig, TCPDSPara) &&
              offsetof(UDPConfig, DS_Flag) == offsetof(EthTCPConfig, DS_Flag));

constexpr Field kNtripClientRows[] = {
    GRSHM_FIELD(NtripClientConfig, ClientEnable), GRSHM_FIELD(NtripClientConfig, Domain),
    GRSHM_FIELD(NtripClientConfig, ServerIP),     GRSHM_FIELD(NtripClientConfig, ServerPort),
    GRSHM_FIELD(NtripClientConfig, UserName),     GRSHM_FIELD(NtripClientConfig, UserPwd),
    GRSHM_FIELD(NtripClientConfig, MountPoint),
};

constexpr Field kNtripServerCtrlRows[] = {
    GRSHM_FIELD(NtripServerCtrl, Version),    GRSHM_FIELD(NtripServerCtrl, Domain),
    GRSHM_FIELD(NtripServerCtrl, CasterIP),   GRSHM_FIELD(NtripServerCtrl, CasterPort),
    GRSHM_FIELD(NtripServerCtrl, UserName),   GRSHM_FIELD(NtripServerCtrl, UserPwd),
    GRSHM_FIELD(NtripServerCtrl, MountPoint),
};

constexpr Field kNtripServerRows[] = {
    GRSHM_OBJECT(NtripServerConfig, CtrlPara, "CtrlPara", kNtripServerCtrlRows),
    GRSHM_OBJECT(NtripServerConfig, ServerDSPara, "ServerDSPara", kDiffRows),
};

constexpr Field kRadioRows[] = {
    GRSHM_FIELD(RadioConfig, rx_freq),      GRSHM_FIELD(RadioConfig, tx_freq),
    GRSHM_FIELD(RadioConfig, sw),           GRSHM_FIELD(RadioConfig, channel),
    GRSHM_FIELD(RadioConfig, mode),         GRSHM_FIELD(RadioConfig, protocol),
    GRSHM_FIELD(RadioConfig, power),        GRSHM_FIELD(RadioConfig, fec),
    GRSHM_FIELD(RadioConfig, air_baudrate), GRSHM_FIELD(RadioConfig, model),
    GRSHM_FIELD(RadioConfig, sv),           GRSHM_OBJECT(RadioConfig, RadioDSPara, "RadioDSPara", kDiffRows),
};

constexpr Field kCasterRows[] = {
    GRSHM_FIELD(NtripCasterConfig, port),
    GRSHM_FIELD(NtripCasterConfig, usr_name),
    GRSHM_FIELD(NtripCasterConfig, pwd),
    GRSHM_FIELD(NtripCasterConfig, enable),
};

constexpr Field kGgaRows[] = {
    GRSHM_FIELD(GGAInfo, utc),
    GRSHM_FIELD(GGAInfo, latitude),
    GRSHM_FIELD_AS(GGAInfo, latdir, "latdir", FieldKind::Letter),
    GRSHM_FIELD(GGAInfo, longitude),
    GRSHM_FIELD_AS(GGAInfo, londir, "londir", FieldKind::Letter),
    GRSHM_FIELD(GGAInfo, fix_status),
    GRSHM_FIELD(GGAInfo, fix_satellite),
    GRSHM_FIELD(GGAInfo, hdop),
    GRSHM_FIELD(GGAInfo, altitude),
    GRSHM_FIELD_AS(GGAInfo, alt_unit, "alt_unit", FieldKind::Letter),
    GRSHM_FIELD(GGAInfo, undulation),
    GRSHM_FIELD_AS(GGAInfo, und_unit, "und_unit", FieldKind::Letter),
    GRSHM_FIELD(GGAInfo, age),
    GRSHM_FIELD(GGAInfo, station_id),
    GRSHM_FIELD(GGAInfo, checksum),
    GRSHM_FIELD(GGAInfo, available),
};

// A GSV slot keeps its sentences and their control bytes in two arrays side by side: one
// element of the list is the pair of sentence n and control byte n.
constexpr Field kGsvSentenceRows[] = {
    {"Sentence", offsetof(GSVSlot, Sentence), GNSS_GSV_SENTENCE_BYTES, FieldKind::Text, {}, 0, GNSS_GSV_SENTENCE_BYTES},
    {"Control", offsetof(GSVSlot, Control), 1, FieldKind::Unsigned, {}, 0, 1},
};
constexpr Field kGsvSlotRows[] = {
    {"", 0, sizeof(GSVSlot), FieldKind::List, Layout(kGsvSentenceRows), GNSS_GSV_SENTENCES, 0},
};

}  // namespace

Layout MessageSlotRows() {
    return kSlotRows;
}

Layout RecordRows(grshm::Shape shape) {
    switch (shape) {
        case grshm::Shape::Coordinates:
            return kCoordinatesRows;
        case grshm::Shape::SmartBase:
            return kSmartBaseRows;
        case grshm::Shape::Recording:
            return kRecordingRows;
        case grshm::Shape::SerialPort:
            return kSerialPortRows;
        case grshm::Shape::NetworkChannel:
            return kNetworkChannelRows;
        case grshm::Shape::NtripClient:
            return kNtripClientRows;
        case grshm::Shape::NtripServerCtrl:
            return kNtripServerCtrlRows;
        case grshm::Shape::NtripServer:
            return kNtripServerRows;
        case grshm::Shape::Radio:
            return kRadioRows;
        case grshm::Shape::Caster:
            return kCasterRows;
        case grshm::Shape::Gga:
            return kGgaRows;
        case grshm::Shape::GsvSlot:
            return kGsvSlotRows;
        default:
            return {};
    }
}

}  // namespace grshmtool
