// Configuration entries against the segment's raw bytes.
#include <gtest/gtest.h>

#include "segments.h"

using namespace testsupport;

namespace {

// Where each entry lives, as the receiver's processes expect it.
const Placement kPlacements[] = {
    {0, 0, 16},        {1, 16, 8},       {2, 24, 16},       {3, 40, 16},      {4, 56, 16},       {5, 72, 16},
    {6, 88, 16},       {7, 104, 16},     {8, 120, 11},      {9, 132, 24},     {10, 156, 16},     {11, 172, 16},
    {12, 188, 16},     {13, 204, 16},    {14, 220, 16},     {15, 236, 4},     {16, 240, 4},      {17, 244, 8},
    {18, 252, 1},      {22, 309, 16},    {23, 325, 1},      {24, 326, 1},     {25, 327, 1},      {26, 328, 4},
    {27, 332, 4},      {29, 336, 1},     {30, 337, 1},      {31, 338, 1},     {32, 339, 1},      {33, 340, 1},
    {34, 341, 1},      {35, 342, 2},     {36, 344, 101},    {37, 448, 48},    {38, 496, 60},     {39, 556, 44},
    {40, 600, 624},    {41, 1224, 624},  {44, 1848, 1860},  {45, 3708, 1860}, {46, 5568, 1904},  {47, 7472, 1904},
    {102, 9376, 1904}, {48, 11280, 156}, {50, 11436, 1264}, {49, 11436, 156}, {52, 12700, 1264}, {51, 12700, 156},
    {63, 13964, 40},   {67, 14004, 216}, {68, 14220, 216},  {56, 14436, 152}, {57, 14588, 1148}, {59, 15736, 29},
    {60, 15765, 117},  {61, 15882, 67},  {62, 15949, 139},  {64, 16088, 16},  {65, 16104, 16},   {66, 16120, 40},
    {69, 16160, 64},   {70, 16220, 4},   {71, 16224, 4},    {104, 18392, 2},
};

const unsigned char kUnserved[] = {19, 20, 21, 28, 53, 54, 55, 58, 103};

class ConfigEntries : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }
};

void ExpectZeroOutside(const std::vector<unsigned char> &bytes, std::size_t offset, std::size_t size) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (i < offset || i >= offset + size) {
            ASSERT_EQ(bytes[i], 0) << "stray byte at " << i;
        }
}

}  // namespace

TEST_F(ConfigEntries, EveryEntryLandsAtItsOffsetWithItsSize) {
    std::vector<Placement> all(std::begin(kPlacements), std::end(kPlacements));
    for (unsigned n = 1; n <= 30; ++n) all.push_back({static_cast<unsigned char>(71 + n), 16232 + 72 * (n - 1), 72});
    for (const Placement &place : all) {
        std::memset(RawConfig(), 0, sizeof(ReceiverConfigPara));
        const auto pattern = Pattern(place.size, place.entry);
        ASSERT_EQ(SetReceiverConfigParaToShareMemory(place.entry, pattern.data()), 0);
        const auto bytes = ConfigBytes();
        EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + place.offset, bytes.begin() + place.offset + place.size),
                  pattern)
            << "entry " << int(place.entry);
        ExpectZeroOutside(bytes, place.offset, place.size);

        std::vector<unsigned char> read(place.size + 8, 0xEE);
        ASSERT_EQ(GetReceiverConfigParaFromShareMemory(place.entry, read.data()), 0);
        EXPECT_EQ(std::vector<unsigned char>(read.begin(), read.begin() + place.size), pattern);
        for (std::size_t i = place.size; i < read.size(); ++i) EXPECT_EQ(read[i], 0xEE) << "read past the entry";
    }
}

TEST_F(ConfigEntries, UnservedEntriesCopyNothing) {
    const auto pattern = Pattern(sizeof(ReceiverConfigPara), 7);
    std::memcpy(RawConfig(), pattern.data(), pattern.size());
    std::vector<unsigned char> unserved(std::begin(kUnserved), std::end(kUnserved));
    for (int entry = 105; entry <= 255; ++entry) unserved.push_back(static_cast<unsigned char>(entry));
    for (unsigned char entry : unserved) {
        std::vector<unsigned char> buffer(2048, 0xAB);
        EXPECT_EQ(GetReceiverConfigParaFromShareMemory(entry, buffer.data()), 0);
        EXPECT_EQ(buffer, std::vector<unsigned char>(2048, 0xAB)) << "entry " << int(entry);
        EXPECT_EQ(SetReceiverConfigParaToShareMemory(entry, buffer.data()), 0);
        EXPECT_EQ(ConfigBytes(), pattern) << "entry " << int(entry);
    }
}

TEST_F(ConfigEntries, NullBufferIsRefusedWithoutTouchingSegmentOrLock) {
    EXPECT_EQ(GetReceiverConfigParaFromShareMemory(ENTRY_SN, nullptr), -1);
    EXPECT_EQ(SetReceiverConfigParaToShareMemory(ENTRY_SN, nullptr), -1);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 1);
    EXPECT_EQ(ConfigBytes(), std::vector<unsigned char>(sizeof(ReceiverConfigPara), 0));
}

TEST_F(ConfigEntries, RecordingFolderNameIsReadOnlyInsideTheRecording) {
    const auto rec = Pattern(624, 3);
    SetReceiverConfigParaToShareMemory(ENTRY_REC2_CONFIG, rec.data());
    char name[17];
    ASSERT_EQ(GetReceiverConfigParaFromShareMemory(ENTRY_REC2_PFN, name), 0);
    EXPECT_EQ(std::memcmp(name, rec.data(), 17), 0);
    const auto before = ConfigBytes();
    const auto other = Pattern(17, 99);
    EXPECT_EQ(SetReceiverConfigParaToShareMemory(ENTRY_REC1_PFN, other.data()), 0);
    EXPECT_EQ(SetReceiverConfigParaToShareMemory(ENTRY_REC2_PFN, other.data()), 0);
    EXPECT_EQ(ConfigBytes(), before);
}

TEST_F(ConfigEntries, EntriesInsideOthersShareTheirBytes) {
    NtripServerConfig server;
    std::memset(&server, 0x11, sizeof server);
    SetReceiverConfigParaToShareMemory(ENTRY_NS1_CONFIG, &server);
    NtripServerCtrl ctrl;
    std::memset(&ctrl, 0x22, sizeof ctrl);
    SetReceiverConfigParaToShareMemory(ENTRY_NS1_CTRL, &ctrl);
    NtripServerConfig read;
    GetReceiverConfigParaFromShareMemory(ENTRY_NS1_CONFIG, &read);
    EXPECT_EQ(std::memcmp(&read.CtrlPara, &ctrl, sizeof ctrl), 0);
    EXPECT_EQ(std::memcmp(&read.ServerDSPara, &server.ServerDSPara, sizeof server.ServerDSPara), 0);

    const unsigned char status[4] = {9, 8, 7, 6};
    SetReceiverConfigParaToShareMemory(ENTRY_IMU_STATUS, status);
    unsigned char imu[64];
    GetReceiverConfigParaFromShareMemory(ENTRY_IMU_PARA, imu);
    EXPECT_EQ(std::memcmp(imu + 60, status, 4), 0);
}

TEST_F(ConfigEntries, LastSmartBaseStationLeavesTheIndexAlone) {
    const unsigned short index = 0xBEEF;
    SetReceiverConfigParaToShareMemory(ENTRY_SMARTBASE_INDEX, &index);
    const auto station = Pattern(72, 30);
    SetReceiverConfigParaToShareMemory(ENTRY_SMARTBASE30_CONFIG, station.data());
    EXPECT_EQ(std::memcmp(RawConfig() + 18320, station.data(), 72), 0);
    unsigned short read = 0;
    GetReceiverConfigParaFromShareMemory(ENTRY_SMARTBASE_INDEX, &read);
    EXPECT_EQ(read, 0xBEEF);
}

TEST_F(ConfigEntries, ClearingTheSmartBaseMarksChangesOnlyTheMarks) {
    const auto pattern = Pattern(sizeof(ReceiverConfigPara), 5);
    std::memcpy(RawConfig(), pattern.data(), pattern.size());
    ClearSmartBaseListAvailable();
    const auto bytes = ConfigBytes();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool mark = i >= 16296 && i < 16296 + 72 * 30 && (i - 16296) % 72 == 0;
        ASSERT_EQ(bytes[i], mark ? 0 : pattern[i]) << "byte " << i;
    }
}
