// Recording accessors, data-stream switches and message sample timestamps.
#include <gtest/gtest.h>

#include "segments.h"

using namespace testsupport;

namespace {

class Fields : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }
};

unsigned int WordAt(std::size_t offset) {
    unsigned int word;
    std::memcpy(&word, RawConfig() + offset, 4);
    return word;
}

void PutWord(std::size_t offset, unsigned int word) {
    std::memcpy(RawConfig() + offset, &word, 4);
}

}  // namespace

TEST_F(Fields, RecorderScalarsAtTheirOffsets) {
    const auto pattern = Pattern(sizeof(ReceiverConfigPara), 21);
    std::memcpy(RawConfig(), pattern.data(), pattern.size());
    for (int recorder : {1, 2}) {
        const std::size_t base = recorder == 1 ? 600 : 1224;
        EXPECT_EQ(GetReceiverRecConfFileType(recorder), pattern[base + 30]);
        EXPECT_EQ(GetReceiverRecConfRecMode(recorder), pattern[base + 31]);
        EXPECT_EQ(GetReceiverRecConfRecInterval(recorder), static_cast<int>(WordAt(base + 32)));
        EXPECT_EQ(GetReceiverRecConfMaxSpace(recorder), static_cast<int>(WordAt(base + 36)));
        EXPECT_EQ(GetReceiverRecConfFreeSpace(recorder), static_cast<int>(WordAt(base + 40)));
        EXPECT_EQ(GetReceiverRecConfRecCircularFlag(recorder), pattern[base + 44]);
        char folder[17], mark[12];
        EXPECT_EQ(GetReceiverRecConfFolderName(folder, recorder), 0);
        EXPECT_EQ(std::memcmp(folder, RawConfig() + base, 17), 0);
        EXPECT_EQ(GetReceiverRecConfMarkName(mark, recorder), 0);
        EXPECT_EQ(std::memcmp(mark, RawConfig() + base + 17, 12), 0);
    }
    char untouched[17] = "keep";
    EXPECT_EQ(GetReceiverRecConfFolderName(untouched, 3), -1);
    EXPECT_STREQ(untouched, "keep");
    EXPECT_EQ(GetReceiverRecConfMarkName(nullptr, 1), -1);
    EXPECT_EQ(GetReceiverRecConfFolderName(nullptr, 1), -1);
    EXPECT_EQ(GetReceiverRecConfMaxSpace(3), 0);
    EXPECT_EQ(GetReceiverRecConfRecMode(0), 0);
}

TEST_F(Fields, RecorderSettersTouchOnlyTheirField) {
    const auto before = ConfigBytes();
    EXPECT_EQ(SetReceiverRecConfFreeSpace(2, 123456), 0);
    EXPECT_EQ(GetReceiverRecConfFreeSpace(2), 123456);
    EXPECT_EQ(WordAt(1264), 123456u);
    EXPECT_EQ(SetReceiverRecConfRecMode(1, 7), 0);
    EXPECT_EQ(RawConfig()[631], 7);
    SetReceiverRecConfRecMode(3, 9);
    SetReceiverRecConfFreeSpace(0, 9);
    auto after = ConfigBytes();
    after[631] = 0;
    std::memset(after.data() + 1264, 0, 4);
    EXPECT_EQ(after, before);

    EXPECT_EQ(SetReceiverRecUsrState(1, 5), 0);
    unsigned char state = 0;
    GetMonitorParaFromShareMemory(ENTRY_REC1_STATE, &state);
    EXPECT_EQ(state, 5);
    SetReceiverRecUsrState(2, 6);
    EXPECT_EQ(RawMonitor()[15], 6);
    EXPECT_EQ(GetReceiverRecUsrState(2), 6);
    EXPECT_EQ(GetReceiverRecUsrState(3), 0);
}

TEST_F(Fields, AntennaIsWrittenToBothRecorders) {
    const auto block = Pattern(44, 8);
    EXPECT_EQ(WriteReceiverRecConfAntenna(ENTRY_REC_ANTENNA, block.data()), 0);
    RecConfig rec2;
    GetReceiverConfigParaFromShareMemory(ENTRY_REC2_CONFIG, &rec2);
    EXPECT_EQ(std::memcmp(rec2.Antenna, block.data(), 44), 0);
    EXPECT_EQ(std::memcmp(RawConfig() + 648, block.data(), 44), 0);
    unsigned char read[44] = {};
    EXPECT_EQ(GetReceiverRecConfAntenna(ENTRY_REC_ANTENNA, read), 0);
    EXPECT_EQ(std::memcmp(read, block.data(), 44), 0);

    unsigned char untouched[44] = {};
    EXPECT_EQ(GetReceiverRecConfAntenna(ENTRY_REC1_CONFIG, untouched), 0);
    EXPECT_EQ(untouched[0], 0);
    const auto before = ConfigBytes();
    EXPECT_EQ(WriteReceiverRecConfAntenna(ENTRY_REC1_CONFIG, Pattern(44, 9).data()), 0);
    EXPECT_EQ(ConfigBytes(), before);
    EXPECT_EQ(GetReceiverRecConfAntenna(ENTRY_REC_ANTENNA, nullptr), -1);
    EXPECT_EQ(WriteReceiverRecConfAntenna(ENTRY_REC_ANTENNA, nullptr), -1);
}

TEST_F(Fields, StreamSwitches) {
    const std::size_t offsets[] = {5616, 7520, 11592, 12856, 15760, 9424};
    for (int kind = 0; kind < 6; ++kind) {
        std::memset(RawConfig(), 0, sizeof(ReceiverConfigPara));
        RawConfig()[offsets[kind]] = static_cast<unsigned char>(200 + kind);
        EXPECT_EQ(GetDataTransEnableFlagState(static_cast<unsigned char>(kind)), 200 + kind);
    }
    EXPECT_EQ(GetDataTransEnableFlagState(6), 0);
    std::memset(RawConfig(), 0, sizeof(ReceiverConfigPara));
    UDPConfig udp;
    std::memset(&udp, 0, sizeof udp);
    udp.UDPDSPara.Switch.Enable = 1;
    SetReceiverConfigParaToShareMemory(ENTRY_UDP_CONFIG, &udp);
    EXPECT_EQ(GetDataTransEnableFlagState(5), 1);
}

TEST_F(Fields, TimestampsLandInTheirMessageSlots) {
    // Offsets of element 0 per family code 1 to 10: TCP 1, TCP 2, UDP, NTRIP 1, NTRIP 2, radio.
    const long kOffsets[10][6] = {
        {5624, 7528, 9432, -1, -1, -1},           {5864, 7768, 9672, -1, -1, -1},
        {6008, 7912, 9816, 11600, 12864, 14636},  {6248, 8152, 10056, 11840, 13104, 14876},
        {6488, 8392, 10296, 12080, 13344, 15116}, {6872, 8776, 10680, 12464, 13728, 15500},
        {7328, 9232, 11136, 12560, 13824, 15596}, {7112, 9016, 10920, -1, -1, -1},
        {7256, 9160, 11064, -1, -1, -1},          {6968, 8872, 10776, -1, -1, -1},
    };
    const unsigned short kCounts[10] = {20, 12, 20, 20, 32, 8, 12, 12, 6, 12};
    using Setter = int (*)(unsigned char, unsigned short, unsigned int);
    const Setter setters[6] = {
        [](unsigned char f, unsigned short i, unsigned int t) { return SetReceiverTCPMsgSampleTimestamp(46, f, i, t); },
        [](unsigned char f, unsigned short i, unsigned int t) { return SetReceiverTCPMsgSampleTimestamp(47, f, i, t); },
        [](unsigned char f, unsigned short i, unsigned int t) { return SetReceiverUDPMsgSampleTimestamp(9, f, i, t); },
        [](unsigned char f, unsigned short i, unsigned int t) {
            return SetReceiverNtripServerMsgSampleTimestamp(f, i, t, 1);
        },
        [](unsigned char f, unsigned short i, unsigned int t) {
            return SetReceiverNtripServerMsgSampleTimestamp(f, i, t, 2);
        },
        SetReceiverRadioMsgSampleTimestamp,
    };
    for (int family = 1; family <= 10; ++family) {
        for (int channel = 0; channel < 6; ++channel) {
            std::memset(RawConfig(), 0, sizeof(ReceiverConfigPara));
            const auto zero = ConfigBytes();
            const unsigned short last = kCounts[family - 1] - 1;
            EXPECT_EQ(setters[channel](family, 0, 0xA1B2C3D4), 0);
            EXPECT_EQ(setters[channel](family, last, 0x01020304), 0);
            EXPECT_EQ(setters[channel](family, last + 1, 0xFFFFFFFF), 0);  // beyond the array: nothing
            const long offset = kOffsets[family - 1][channel];
            if (offset < 0) {
                EXPECT_EQ(ConfigBytes(), zero) << "family " << family << " channel " << channel;
                continue;
            }
            EXPECT_EQ(WordAt(offset), 0xA1B2C3D4u) << "family " << family << " channel " << channel;
            EXPECT_EQ(WordAt(offset + 12 * last), 0x01020304u);
            PutWord(offset, 0);
            PutWord(offset + 12 * last, 0);
            EXPECT_EQ(ConfigBytes(), zero) << "stray write: family " << family << " channel " << channel;
        }
    }
    SetReceiverTCPMsgSampleTimestamp(0, 1, 0, 77);
    EXPECT_EQ(WordAt(5624), 77u);
    EXPECT_EQ(SetReceiverNtripServerMsgSampleTimestamp(5, 0, 1, 3), -1);
    SetReceiverNtripServerMsgSampleTimestamp(5, 1, 99, 2);
    EXPECT_EQ(WordAt(13356), 99u);
}

TEST_F(Fields, BluetoothTimestamps) {
    const auto before = ConfigBytes();
    SetReceiverBluetoothMsgSampleTimestamp(2, 0, 5);
    SetReceiverBluetoothMsgSampleTimestamp(1, 18, 5);
    EXPECT_EQ(ConfigBytes(), before);
    SetReceiverBluetoothMsgSampleTimestamp(1, 17, 1234);
    EXPECT_EQ(WordAt(14428), 1234u);
    SetReceiverBluetoothMsgSampleTimestamp(1, 0, 4321);
    EXPECT_EQ(WordAt(14224), 4321u);

    MsgCfgPara list[18];  // a whole-entry read sees the timestamp in its slot
    GetReceiverConfigParaFromShareMemory(ENTRY_BTDSPARA_CONFIG, list);
    EXPECT_EQ(list[17].time, 1234u);
}
