// Configuration entries against the segment's raw bytes.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <utility>

#include "process.h"
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

namespace {

// FNV-1a of the bytes, as the header defines a revision.
unsigned long long RevisionOf(const std::vector<std::pair<const unsigned char *, std::size_t>> &pieces) {
    unsigned long long hash = GRSHM_REVISION_BASIS;
    for (const auto &[bytes, length] : pieces)
        for (std::size_t i = 0; i < length; ++i) hash = (hash ^ bytes[i]) * GRSHM_REVISION_PRIME;
    return hash;
}

constexpr std::size_t kNc = 11280;  // the NTRIP client's entry
constexpr std::size_t kNs1 = 11436;

}  // namespace

// The client's port and mount point are written when the client's shown bytes and server 1's
// version byte still hash to the revision; nothing else of the segment changes.
TEST_F(ConfigEntries, UpdateIfRevisionWritesOnlyItsRangesAndOnlyWhenCurrent) {
    const unsigned char a = 'a';
    ASSERT_EQ(RevisionOf({{&a, 1}}), 0xaf63dc4c8601ec8cULL);  // the published FNV-1a 64 vector
    const auto pattern = Pattern(sizeof(ReceiverConfigPara), 11);
    std::memcpy(RawConfig(), pattern.data(), pattern.size());
    const ConfigByteRange watched[] = {{ENTRY_NC_CONFIG, 84, 4}, {ENTRY_NC_CONFIG, 122, 33}, {ENTRY_NS1_CONFIG, 0, 1}};
    const unsigned long long current =
        RevisionOf({{RawConfig() + kNc + 84, 4}, {RawConfig() + kNc + 122, 33}, {RawConfig() + kNs1, 1}});
    const ConfigByteRange writes[] = {{ENTRY_NC_CONFIG, 84, 4}, {ENTRY_NC_CONFIG, 122, 33}};
    const auto changed = Pattern(sizeof(NtripClientConfig), 77);  // differs everywhere

    RawConfig()[kNs1] ^= 1;  // server 1's version changed after the read
    EXPECT_EQ(UpdateReceiverConfigParaIfRevision(ENTRY_NC_CONFIG, changed.data(), writes, 2, watched, 3, current), 1);
    RawConfig()[kNs1] ^= 1;
    EXPECT_EQ(ConfigBytes(), pattern);

    ASSERT_EQ(UpdateReceiverConfigParaIfRevision(ENTRY_NC_CONFIG, changed.data(), writes, 2, watched, 3, current), 0);
    auto expected = pattern;
    for (const ConfigByteRange &range : writes)
        std::memcpy(expected.data() + kNc + range.offset, changed.data() + range.offset, range.length);
    EXPECT_EQ(ConfigBytes(), expected);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 1);
}

TEST_F(ConfigEntries, UpdateIfRevisionRefusesRangesOutsideTheirEntry) {
    const auto pattern = Pattern(sizeof(ReceiverConfigPara), 12);
    std::memcpy(RawConfig(), pattern.data(), pattern.size());
    const auto data = Pattern(2048, 1);
    const ConfigByteRange fits{ENTRY_NA_CONFIG, 0, 4}, past{ENTRY_NA_CONFIG, 37, 4}, other{ENTRY_NC_CONFIG, 0, 4},
        watch_past{ENTRY_NA_CONFIG, 0, 41}, no_bytes{ENTRY_FTP1_CONFIG, 0, 1}, unserved{ENTRY_REC1_PFN, 0, 4};
    const struct {
        const char *what;
        unsigned char entry;
        const void *data;
        const ConfigByteRange *write, *watch;
    } cases[] = {
        {"null data", ENTRY_NA_CONFIG, nullptr, &fits, &fits},
        {"null writes", ENTRY_NA_CONFIG, data.data(), nullptr, &fits},
        {"write past the entry", ENTRY_NA_CONFIG, data.data(), &past, &fits},
        {"write naming another entry", ENTRY_NA_CONFIG, data.data(), &other, &fits},
        {"watch past its entry", ENTRY_NA_CONFIG, data.data(), &fits, &watch_past},
        {"watch of an entry without bytes", ENTRY_NA_CONFIG, data.data(), &fits, &no_bytes},
        {"entry Set does not serve", ENTRY_REC1_PFN, data.data(), &unserved, &fits},
    };
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(UpdateReceiverConfigParaIfRevision(c.entry, c.data, c.write, 1, c.watch, 1, GRSHM_REVISION_BASIS), -1)
            << c.what;
        EXPECT_EQ(errno, EINVAL) << c.what;
    }
    EXPECT_EQ(ConfigBytes(), pattern);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 1);
}

// Writers that each read, change and update with the revision they read, retrying on a
// conflict, lose no change: every increment of every writer is in the final count.
TEST_F(ConfigEntries, ConcurrentUpdatesWithRevisionsLoseNothing) {
    constexpr int kWriters = 4, kIncrements = 150;
    const ConfigByteRange port{ENTRY_NA_CONFIG, 0, 4};
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(Spawn([&port] {
            for (int done = 0; done < kIncrements;) {
                NtripCasterConfig caster{};
                if (GetReceiverConfigParaFromShareMemory(ENTRY_NA_CONFIG, &caster) != 0) return 2;
                const unsigned long long seen =
                    RevisionOf({{reinterpret_cast<const unsigned char *>(&caster.port), 4}});
                ++caster.port;
                const int result =
                    UpdateReceiverConfigParaIfRevision(ENTRY_NA_CONFIG, &caster, &port, 1, &port, 1, seen);
                if (result < 0) return 3;
                if (result == 0) ++done;
            }
            return 0;
        }));
    for (const pid_t pid : writers) EXPECT_EQ(WaitChild(pid), 0);
    NtripCasterConfig caster{};
    GetReceiverConfigParaFromShareMemory(ENTRY_NA_CONFIG, &caster);
    EXPECT_EQ(caster.port, static_cast<unsigned>(kWriters * kIncrements));
}

namespace {

constexpr std::size_t kPdop = 328, kMask = 332, kSbas = 342, kHeading = 16224;

unsigned int WordAt(std::size_t offset) {
    unsigned int word;
    std::memcpy(&word, RawConfig() + offset, 4);
    return word;
}

}  // namespace

// A change that spans entries lands whole, only while the watched bytes of all of them still
// hash to the revision; nothing outside its ranges moves.
TEST_F(ConfigEntries, UpdateRangesWritesEveryRangeOnlyWhenCurrent) {
    const auto pattern = Pattern(sizeof(ReceiverConfigPara), 13);
    std::memcpy(RawConfig(), pattern.data(), pattern.size());
    const ConfigByteRange watched[] = {{ENTRY_PDOP_LIMIT, 0, 4}, {ENTRY_MASK_ANGLE, 0, 4}, {ENTRY_SBAS_ENABLE, 0, 2}};
    const unsigned long long current =
        RevisionOf({{RawConfig() + kPdop, 4}, {RawConfig() + kMask, 4}, {RawConfig() + kSbas, 2}});
    const unsigned int pdop = 60, mask = 15;
    const unsigned char sbas[2] = {1, 0};
    const ConfigRangeWrite writes[] = {
        {{ENTRY_MASK_ANGLE, 0, 4}, &mask}, {{ENTRY_SBAS_ENABLE, 0, 2}, sbas}, {{ENTRY_PDOP_LIMIT, 0, 4}, &pdop}};

    RawConfig()[kSbas + 1] ^= 1;  // another writer changed SBAS after the read
    EXPECT_EQ(UpdateReceiverConfigRangesIfRevision(writes, 3, watched, 3, current), 1);
    RawConfig()[kSbas + 1] ^= 1;
    EXPECT_EQ(ConfigBytes(), pattern);

    ASSERT_EQ(UpdateReceiverConfigRangesIfRevision(writes, 3, watched, 3, current), 0);
    auto expected = pattern;
    std::memcpy(expected.data() + kMask, &mask, 4);
    std::memcpy(expected.data() + kPdop, &pdop, 4);
    std::memcpy(expected.data() + kSbas, sbas, 2);
    EXPECT_EQ(ConfigBytes(), expected);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 1);
}

TEST_F(ConfigEntries, UpdateRangesRefusesRangesOutsideTheirEntry) {
    const auto pattern = Pattern(sizeof(ReceiverConfigPara), 14);
    std::memcpy(RawConfig(), pattern.data(), pattern.size());
    const auto bytes = Pattern(64, 2);
    const ConfigByteRange mask{ENTRY_MASK_ANGLE, 0, 4};
    const struct {
        const char *what;
        ConfigRangeWrite write;
        const ConfigRangeWrite *writes;  // null: &write
        ConfigByteRange watch;
    } cases[] = {
        {"null bytes", {mask, nullptr}, nullptr, mask},
        {"write past the entry", {{ENTRY_MASK_ANGLE, 1, 4}, bytes.data()}, nullptr, mask},
        {"write in an entry Set does not serve", {{ENTRY_REC1_PFN, 0, 4}, bytes.data()}, nullptr, mask},
        {"write in an entry without bytes", {{ENTRY_FREQ_TRACK, 0, 1}, bytes.data()}, nullptr, mask},
        {"watch past its entry", {mask, bytes.data()}, nullptr, {ENTRY_SBAS_ENABLE, 1, 2}},
        {"watch of an entry without bytes", {mask, bytes.data()}, nullptr, {ENTRY_STATION_MODE, 0, 1}},
    };
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(UpdateReceiverConfigRangesIfRevision(&c.write, 1, &c.watch, 1, GRSHM_REVISION_BASIS), -1) << c.what;
        EXPECT_EQ(errno, EINVAL) << c.what;
    }
    errno = 0;
    EXPECT_EQ(UpdateReceiverConfigRangesIfRevision(nullptr, 1, &mask, 1, GRSHM_REVISION_BASIS), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(ConfigBytes(), pattern);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 1);
}

// Writers keep one count in two entries far apart (the elevation mask and the heading
// offset), each reading both and updating both with the revision it read, retrying on a
// conflict; beside them a writer that knows nothing of revisions keeps setting the entry next
// to the mask. Read under the lock, the two counts never differ (nothing torn); at the end
// they hold every increment and the neighbour holds its last value (nothing lost).
TEST_F(ConfigEntries, UpdateRangesBesideAnotherWriterTearNothingAndLoseNothing) {
    constexpr unsigned kWriters = 3, kIncrements = 1000;
    const ConfigByteRange both[] = {{ENTRY_MASK_ANGLE, 0, 4}, {ENTRY_HEADING_OFFSET, 0, 4}};
    std::vector<pid_t> writers;
    for (unsigned w = 0; w < kWriters; ++w)
        writers.push_back(Spawn([&both] {
            for (unsigned done = 0; done < kIncrements;) {
                unsigned int mask = 0, heading = 0;
                if (GetReceiverConfigParaFromShareMemory(ENTRY_MASK_ANGLE, &mask) != 0 ||
                    GetReceiverConfigParaFromShareMemory(ENTRY_HEADING_OFFSET, &heading) != 0)
                    return 2;
                const auto *m = reinterpret_cast<const unsigned char *>(&mask);
                const auto *h = reinterpret_cast<const unsigned char *>(&heading);
                const unsigned long long seen = RevisionOf({{m, 4}, {h, 4}});
                const unsigned int next = mask + 1;
                const ConfigRangeWrite writes[] = {{both[0], &next}, {both[1], &next}};
                const int result = UpdateReceiverConfigRangesIfRevision(writes, 2, both, 2, seen);
                if (result < 0) return 3;
                if (result == 0) ++done;
            }
            return 0;
        }));
    // The neighbour reads back each value it sets: a write of the others that reached its byte
    // would show as a value it did not set.
    const pid_t neighbour = Spawn([] {
        unsigned int mask = 0;
        for (int i = 1; mask < kWriters * kIncrements; ++i) {
            const auto flag = static_cast<unsigned char>(i % 251);
            unsigned char read = 0;
            if (SetReceiverConfigParaToShareMemory(ENTRY_MOOTH_FLAG, &flag) != 0 ||
                GetReceiverConfigParaFromShareMemory(ENTRY_MOOTH_FLAG, &read) != 0 ||
                GetReceiverConfigParaFromShareMemory(ENTRY_MASK_ANGLE, &mask) != 0)
                return 2;
            if (read != flag) return 4;
        }
        return 0;
    });
    int torn = 0, looks = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (bool running = true; running && std::chrono::steady_clock::now() < deadline; ++looks) {
        ASSERT_EQ(semaphore_p(OstrelConfig.sem_id), 0);
        const unsigned int mask = WordAt(kMask), heading = WordAt(kHeading);
        running = mask < kWriters * kIncrements;
        ASSERT_EQ(semaphore_v(OstrelConfig.sem_id), 0);
        torn += mask != heading;
    }
    for (const pid_t pid : writers) EXPECT_EQ(WaitChild(pid), 0);
    EXPECT_EQ(WaitChild(neighbour), 0);
    EXPECT_EQ(torn, 0) << "of " << looks << " looks";
    EXPECT_EQ(WordAt(kMask), kWriters * kIncrements);
    EXPECT_EQ(WordAt(kHeading), kWriters * kIncrements);
}
