// The GNSS information segment: text, block, binary-log and GSV rules, and the extraction.
#include <gtest/gtest.h>

#include <string>

#include "segments.h"

using namespace testsupport;

namespace {

const Placement kTexts[] = {
    {0, 0, 128},      {1, 128, 4000},   {2, 4128, 300},  {3, 4428, 300},  {4, 4728, 300},
    {14, 57524, 128}, {20, 5028, 200},  {21, 5228, 128}, {22, 5356, 128}, {23, 5484, 3000},
    {24, 8484, 200},  {25, 57652, 128}, {26, 8684, 200},
};
const Placement kBlocks[] = {{5, 8888, 72}, {6, 8960, 12}, {7, 14132, 2372}, {8, 16504, 24}, {9, 16528, 32}};
const Placement kBinaryLogs[] = {{10, 16560, 10241}, {11, 26801, 10241}, {12, 37042, 10241}, {13, 47283, 10241}};

class Gnss : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static void SetM925A(const std::string &text) {
        std::memset(RawGnss() + 128, 0, 4000);
        std::memcpy(RawGnss() + 128, text.data(), text.size());
    }
};

GSVInput Gsv(unsigned char system, unsigned char number, unsigned char control) {
    GSVInput input;
    std::memset(&input, 0, sizeof input);
    std::memset(input.Sentence, 'S', sizeof input.Sentence);
    input.System = system;
    input.Number = number;
    input.Control = control;
    return input;
}

}  // namespace

TEST_F(Gnss, TextsAreStoredZeroPaddedAndCutAtTheirWidth) {
    for (const Placement &area : kTexts) {
        std::memset(RawGnss(), 0x55, sizeof(GNSSInfo));
        ASSERT_EQ(SetGNSSInfoToShareMemory(area.entry, "$GPGGA,1*00"), 0);
        const unsigned char *field = RawGnss() + area.offset;
        EXPECT_EQ(std::memcmp(field, "$GPGGA,1*00", 11), 0) << "entry " << int(area.entry);
        for (std::size_t i = 11; i < area.size; ++i) ASSERT_EQ(field[i], 0) << int(area.entry);
        if (area.offset > 0) {
            EXPECT_EQ(field[-1], 0x55);
        }
        EXPECT_EQ(field[area.size], 0x55);
        std::vector<unsigned char> read(area.size, 0xEE);
        GetGNSSInfoFromShareMemory(area.entry, read.data());
        EXPECT_EQ(std::memcmp(read.data(), field, area.size), 0);
    }
    std::memset(RawGnss(), 0, sizeof(GNSSInfo));
    const std::string long_text(200, 'G');
    SetGNSSInfoToShareMemory(ENTRY_GGA_MSG, long_text.c_str());
    char read[129] = {};
    GetGNSSInfoFromShareMemory(ENTRY_GGA_MSG, read);
    EXPECT_EQ(std::string(read, 128), std::string(128, 'G'));
    EXPECT_EQ(RawGnss()[128], 0);  // the next area is untouched
}

TEST_F(Gnss, BlocksAndBinaryLogs) {
    for (const Placement &area : kBlocks) {
        const auto pattern = Pattern(area.size, area.entry);
        SetGNSSInfoToShareMemory(area.entry, pattern.data());
        EXPECT_EQ(std::memcmp(RawGnss() + area.offset, pattern.data(), area.size), 0);
        std::vector<unsigned char> read(area.size);
        GetGNSSInfoFromShareMemory(area.entry, read.data());
        EXPECT_EQ(read, pattern);
    }
    for (const Placement &area : kBinaryLogs) {
        std::memset(RawGnss() + area.offset, 0x77, area.size);
        const auto log = Pattern(10240, area.entry);
        SetGNSSInfoToShareMemory(area.entry, log.data());
        EXPECT_EQ(std::memcmp(RawGnss() + area.offset, log.data(), 10240), 0);
        EXPECT_EQ(RawGnss()[area.offset + 10240], 0) << "the trailing byte stays zero";
        std::vector<unsigned char> read(10241, 0xEE);
        GetGNSSInfoFromShareMemory(area.entry, read.data());
        EXPECT_EQ(std::memcmp(read.data(), log.data(), 10240), 0);
        EXPECT_EQ(read[10240], 0xEE) << "Get returns 10240 bytes";
    }
    EXPECT_EQ(RawGnss()[26800], 0);
}

TEST_F(Gnss, GsvSentencesGoToTheirSlots) {
    GSVInput input = Gsv(1, 3, 0x42);
    ASSERT_EQ(SetGNSSInfoToShareMemory(ENTRY_GSV, &input), 0);
    unsigned char slot[1032] = {};
    GetGNSSInfoFromShareMemory(ENTRY_GSV_BD, slot);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(slot[i], i >= 256 && i < 384 ? 'S' : 0) << i;
    EXPECT_EQ(slot[1026], 0x42);

    input = Gsv(4, 8, 0x43);  // the fifth slot, written but named by no entry
    SetGNSSInfoToShareMemory(ENTRY_GSV, &input);
    EXPECT_EQ(RawGnss()[13100 + 7 * 128], 'S');
    EXPECT_EQ(RawGnss()[13100 + 1024 + 7], 0x43);

    const auto before = GnssBytes();
    for (GSVInput bad : {Gsv(0, 0, 1), Gsv(5, 1, 1), Gsv(255, 1, 1), Gsv(0, 9, 1), Gsv(4, 255, 1)}) {
        EXPECT_EQ(SetGNSSInfoToShareMemory(ENTRY_GSV, &bad), 0);
        EXPECT_EQ(GnssBytes(), before);
    }
    const auto ga = Pattern(1032, 3);
    SetGNSSInfoToShareMemory(ENTRY_GSV_GA, ga.data());
    EXPECT_EQ(GnssBytes(), before);
    std::vector<unsigned char> untouched(1032, 0xCD);
    GetGNSSInfoFromShareMemory(ENTRY_GSV, untouched.data());
    GetGNSSInfoFromShareMemory(27, untouched.data());
    EXPECT_EQ(untouched, std::vector<unsigned char>(1032, 0xCD));
    EXPECT_EQ(SetGNSSInfoToShareMemory(ENTRY_GSV, nullptr), -1);
    EXPECT_EQ(GetGNSSInfoFromShareMemory(ENTRY_GGA, nullptr), -1);
}

TEST_F(Gnss, ExtractionScansTheWholeTextArea) {
    SetM925A("a,b,c,d,e,f,g,h,i,j,k,l,m,n,XY,rest;PQ;payload*12");
    char two[2] = {};
    GetSatelliteVisInfoFromGNSSShareMemory(0, two);
    EXPECT_EQ(std::string(two, 2), "XY");
    GetSatelliteVisInfoFromGNSSShareMemory(1, two);
    EXPECT_EQ(std::string(two, 2), "PQ");
    char text[3998] = {};
    GetSatelliteVisInfoFromGNSSShareMemory(2, text);
    EXPECT_STREQ(text, "payload");
    int length = 0;
    GetSatelliteVisInfoFromGNSSShareMemory(3, &length);
    EXPECT_EQ(length, static_cast<int>(std::string("PQ;payload").size()));
    EXPECT_EQ(GetSatelliteVisInfoFromGNSSShareMemory(3, nullptr), -1);
}

TEST_F(Gnss, ExtractionWithMissingOrMisplacedMarks) {
    SetM925A("a,b,c,d,e,f,g,h,i,j,k,l,m,only13");  // 13 commas
    char two[2] = {'-', '-'};
    GetSatelliteVisInfoFromGNSSShareMemory(0, two);
    EXPECT_EQ(std::string(two, 2), "--");

    SetM925A("x*y;z;w");  // the asterisk before the semicolons
    int length = 0;
    GetSatelliteVisInfoFromGNSSShareMemory(3, &length);
    EXPECT_EQ(length, 1 - 3 - 1);
    char text[16] = "untouched";
    GetSatelliteVisInfoFromGNSSShareMemory(2, text);
    EXPECT_STREQ(text, "untouched");

    // Marks past a zero byte still count: the scans cover all 4000 bytes.
    std::memset(RawGnss() + 128, 0, 4000);
    RawGnss()[128 + 3990] = ';';
    RawGnss()[128 + 3991] = 'Z';
    RawGnss()[128 + 3992] = 'Q';
    GetSatelliteVisInfoFromGNSSShareMemory(1, two);
    EXPECT_EQ(std::string(two, 2), "ZQ");
    length = 77;
    GetSatelliteVisInfoFromGNSSShareMemory(3, &length);  // no asterisk at all
    EXPECT_EQ(length, 77);
}
