// Data-stream switches and message sample timestamps of the output channels.
#include "segment.h"

namespace grshm {
namespace {

// One message array of a data-stream record, named by its family code.
struct MsgArray {
    unsigned short offset = 0;
    unsigned short count = 0;  // 0: the family has no array in this record
};

#define MSG_ARRAY(Record, member)                                             \
    MsgArray {                                                                \
        offsetof(Record, member), sizeof(Record::member) / sizeof(MsgCfgPara) \
    }

using FamilyTable = std::array<MsgArray, MSG_FAMILY_BINEX + 1>;

constexpr FamilyTable kTransFamilies = {
    MsgArray{},
    MSG_ARRAY(TransDSPara, NMEA),
    MSG_ARRAY(TransDSPara, EPH),
    MSG_ARRAY(TransDSPara, RTCM23),
    MSG_ARRAY(TransDSPara, RTCM30),
    MSG_ARRAY(TransDSPara, RTCM32),
    MSG_ARRAY(TransDSPara, CMR),
    MSG_ARRAY(TransDSPara, Custom),
    MSG_ARRAY(TransDSPara, QX),
    MSG_ARRAY(TransDSPara, Weather),
    MSG_ARRAY(TransDSPara, Binex),
};

constexpr FamilyTable kDiffFamilies = {
    MsgArray{},
    MsgArray{},
    MsgArray{},
    MSG_ARRAY(DiffDSPara, RTCM23),
    MSG_ARRAY(DiffDSPara, RTCM30),
    MSG_ARRAY(DiffDSPara, RTCM32),
    MSG_ARRAY(DiffDSPara, CMR),
    MSG_ARRAY(DiffDSPara, Custom),
};

// The Bluetooth message list is one bare array of NMEA slots.
constexpr FamilyTable kBluetoothFamilies = {MsgArray{},
                                            MsgArray{0, sizeof(ReceiverConfigPara::BTDSPARA) / sizeof(MsgCfgPara)}};

constexpr std::size_t kTcp1Stream = offsetof(ReceiverConfigPara, TCP1.TCPDSPara);
constexpr std::size_t kTcp2Stream = offsetof(ReceiverConfigPara, TCP2.TCPDSPara);
constexpr std::size_t kUdpStream = offsetof(ReceiverConfigPara, UDP.UDPDSPara);
constexpr std::size_t kNtripServer1Stream = offsetof(ReceiverConfigPara, NS1.ServerDSPara);
constexpr std::size_t kNtripServer2Stream = offsetof(ReceiverConfigPara, NS2.ServerDSPara);
constexpr std::size_t kRadioStream = offsetof(ReceiverConfigPara, RADIO.RadioDSPara);
constexpr std::size_t kBluetoothList = offsetof(ReceiverConfigPara, BTDSPARA);

static_assert(kTcp1Stream + offsetof(TransDSPara, RTCM32) + offsetof(MsgCfgPara, time) == 6488);
static_assert(kRadioStream + offsetof(DiffDSPara, Custom) + offsetof(MsgCfgPara, time) == 15596);

// Stores a timestamp in the time field of element index of the family's array. An unknown
// family, or an index at or beyond the array's count (it would land in another array),
// stores nothing.
int StoreTimestamp(std::size_t stream, const FamilyTable &families, unsigned char family, unsigned short index,
                   unsigned int timestamp) {
    return WithLock(OstrelConfig, [&](unsigned char *base) {
        if (family >= families.size() || index >= families[family].count) return;
        const std::size_t element = stream + families[family].offset + index * sizeof(MsgCfgPara);
        std::memcpy(base + element + offsetof(MsgCfgPara, time), &timestamp, sizeof timestamp);
    });
}

constexpr std::size_t kEnableOffsets[] = {
    offsetof(ReceiverConfigPara, TCP1.TCPDSPara.Switch.Enable),
    offsetof(ReceiverConfigPara, TCP2.TCPDSPara.Switch.Enable),
    offsetof(ReceiverConfigPara, NS1.ServerDSPara.Switch.Enable),
    offsetof(ReceiverConfigPara, NS2.ServerDSPara.Switch.Enable),
    offsetof(ReceiverConfigPara, BT[BT_CONFIG_STREAM_SWITCH]),
    offsetof(ReceiverConfigPara, UDP.UDPDSPara.Switch.Enable),
};

static_assert(kEnableOffsets[DATA_TRANS_UDP] == 9424);

}  // namespace
}  // namespace grshm

extern "C" {

int GetDataTransEnableFlagState(unsigned char kind) {
    int value = 0;
    if (grshm::WithLock(OstrelConfig, [&](const unsigned char *base) {
            if (kind < std::size(grshm::kEnableOffsets)) value = base[grshm::kEnableOffsets[kind]];
        }) != 0)
        return -1;
    return value;
}

int SetReceiverTCPMsgSampleTimestamp(unsigned char entry, unsigned char family, unsigned short index,
                                     unsigned int timestamp) {
    const std::size_t stream = entry == ENTRY_TCP2_CONFIG ? grshm::kTcp2Stream : grshm::kTcp1Stream;
    return grshm::StoreTimestamp(stream, grshm::kTransFamilies, family, index, timestamp);
}

int SetReceiverUDPMsgSampleTimestamp(unsigned char /*entry*/, unsigned char family, unsigned short index,
                                     unsigned int timestamp) {
    return grshm::StoreTimestamp(grshm::kUdpStream, grshm::kTransFamilies, family, index, timestamp);
}

int SetReceiverNtripServerMsgSampleTimestamp(unsigned char family, unsigned short index, unsigned int timestamp,
                                             unsigned char server) {
    if (server != 1 && server != 2) return -1;
    const std::size_t stream = server == 1 ? grshm::kNtripServer1Stream : grshm::kNtripServer2Stream;
    return grshm::StoreTimestamp(stream, grshm::kDiffFamilies, family, index, timestamp);
}

int SetReceiverRadioMsgSampleTimestamp(unsigned char family, unsigned short index, unsigned int timestamp) {
    return grshm::StoreTimestamp(grshm::kRadioStream, grshm::kDiffFamilies, family, index, timestamp);
}

int SetReceiverBluetoothMsgSampleTimestamp(unsigned char family, unsigned short index, unsigned int timestamp) {
    return grshm::StoreTimestamp(grshm::kBluetoothList, grshm::kBluetoothFamilies, family, index, timestamp);
}

}  // extern "C"
