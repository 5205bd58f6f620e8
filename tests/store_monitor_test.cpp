// Monitor entries and the operation mailbox.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/sem.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <vector>

#include "process.h"
#include "segments.h"

using namespace testsupport;

namespace {

const Placement kPlacements[] = {
    {1, 1, 1},       {2, 4, 4},       {3, 8, 4},        {4, 12, 1},         {5, 13, 1},      {6, 14, 1},
    {7, 15, 1},      {8, 16, 48},     {9, 64, 1},       {11, 65, 1},        {12, 12868, 1},  {13, 68, 12800},
    {14, 66, 1},     {15, 67, 1},     {16, 12872, 456}, {17, 13325, 1},     {19, 13329, 1},  {21, 13334, 1},
    {22, 13335, 1},  {23, 13336, 1},  {24, 13337, 1},   {25, 13338, 21000}, {26, 34338, 24}, {27, 34412, 4},
    {28, 34362, 46}, {29, 13332, 1},  {30, 2, 1},       {31, 0, 1},         {32, 3, 1},      {33, 34416, 1},
    {34, 34417, 1},  {35, 34418, 20}, {36, 34440, 12},
};

constexpr std::size_t kOperateCode = 13330;
constexpr std::size_t kOperateState = 13331;

class Monitor : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

TEST_F(Monitor, EveryEntryLandsAtItsOffsetWithItsSize) {
    for (const Placement &place : kPlacements) {
        std::memset(RawMonitor(), 0, sizeof(MonitorPara));
        const auto pattern = Pattern(place.size, place.entry);
        ASSERT_EQ(SetMonitorParaToShareMemory(place.entry, pattern.data()), 0);
        const auto bytes = MonitorBytes();
        EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + place.offset, bytes.begin() + place.offset + place.size),
                  pattern)
            << "entry " << int(place.entry);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const bool inside = i >= place.offset && i < place.offset + place.size;
            // The call state lies inside the call information block.
            const bool call_state = place.entry == ENTRY_CALL_STATE && i == 13325;
            if (!inside && !call_state) {
                ASSERT_EQ(bytes[i], 0) << "entry " << int(place.entry) << " byte " << i;
            }
        }
        std::vector<unsigned char> read(place.size, 0);
        ASSERT_EQ(GetMonitorParaFromShareMemory(place.entry, read.data()), 0);
        EXPECT_EQ(read, pattern);
    }
}

TEST_F(Monitor, UnplacedEntriesAndTheMailboxSelectorsAreNotWritable) {
    const auto pattern = Pattern(sizeof(MonitorPara), 11);
    std::memcpy(RawMonitor(), pattern.data(), pattern.size());
    for (int entry : {0, 10, 18, 20, 37, 50, 51, 52, 100, 255}) {
        std::vector<unsigned char> buffer(64, 0xAB);
        EXPECT_EQ(SetMonitorParaToShareMemory(static_cast<unsigned char>(entry), buffer.data()), 0);
        EXPECT_EQ(MonitorBytes(), pattern) << entry;
        if (entry == 50 || entry == 51) continue;
        EXPECT_EQ(GetMonitorParaFromShareMemory(static_cast<unsigned char>(entry), buffer.data()), 0);
        EXPECT_EQ(buffer, std::vector<unsigned char>(64, 0xAB)) << entry;
    }
    EXPECT_EQ(SetMonitorParaToShareMemory(ENTRY_TEMP, nullptr), -1);
    EXPECT_EQ(GetMonitorParaFromShareMemory(ENTRY_TEMP, nullptr), -1);
    EXPECT_EQ(GetMonitorOperate(nullptr), -1);
}

TEST_F(Monitor, CallInformationCarriesTheCallState) {
    const auto info = Pattern(456, 4);
    SetMonitorParaToShareMemory(ENTRY_CALL_INFO, info.data());
    unsigned char state = 0;
    GetMonitorParaFromShareMemory(ENTRY_CALL_STATE, &state);
    EXPECT_EQ(state, info[453]);
}

TEST_F(Monitor, RefreshingFreeSpaceZeroesOnlyFreeSpace) {
    const unsigned int all = 1000, free_space = 500;
    SetMonitorParaToShareMemory(ENTRY_ALL_SPACE, &all);
    SetMonitorParaToShareMemory(ENTRY_FREE_SPACE, &free_space);
    EXPECT_EQ(RefreshReceiverMonitorFreeSpace(), 0);
    unsigned int read_all = 0, read_free = 1;
    GetMonitorParaFromShareMemory(ENTRY_ALL_SPACE, &read_all);
    GetMonitorParaFromShareMemory(ENTRY_FREE_SPACE, &read_free);
    EXPECT_EQ(read_all, 1000u);
    EXPECT_EQ(read_free, 0u);
}

TEST_F(Monitor, MailboxStateMachine) {
    EXPECT_EQ(GetMonitorOperateState(), OP_COMPLETE);
    EXPECT_EQ(SetMonitorOperate(ENTRY_GPOS_OP), 0);
    EXPECT_EQ(RawMonitor()[kOperateCode], 44);
    EXPECT_EQ(RawMonitor()[kOperateState], 2);
    unsigned char byte = 0;
    GetMonitorParaFromShareMemory(ENTRY_OP_TYPE, &byte);
    EXPECT_EQ(byte, 44);
    GetMonitorParaFromShareMemory(ENTRY_OP_STATE, &byte);
    EXPECT_EQ(byte, 2);

    SetMonitorOperate(ENTRY_SID_OP);  // a plain post replaces a pending one
    unsigned char mailbox[2] = {};
    GetMonitorOperate(mailbox);
    EXPECT_EQ(mailbox[0], ENTRY_SID_OP);
    EXPECT_EQ(mailbox[1], OP_EXE);

    ClearMonitorOperate();
    GetMonitorOperate(mailbox);
    EXPECT_EQ(mailbox[0], ENTRY_NULL_OP);
    EXPECT_EQ(mailbox[1], OP_EXE);

    SetMonitorOperateState(OP_FAILED);
    EXPECT_EQ(GetMonitorOperateState(), OP_FAILED);
    GetMonitorParaFromShareMemory(ENTRY_OP_STATE, &byte);
    EXPECT_EQ(byte, 0xFF);
}

TEST_F(Monitor, AtomicPostWaitsForAFreeMailboxAndNeverReplacesAPendingOperation) {
    SetMonitorOperate(ENTRY_SID_OP);
    const auto start = std::chrono::steady_clock::now();
    const double cpu_before = CpuSeconds();
    EXPECT_EQ(PostMonitorOperate(ENTRY_WMODE_OP, 300), -1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    EXPECT_LT(CpuSeconds() - cpu_before, 0.1) << "waiting must not spin";
    EXPECT_EQ(RawMonitor()[kOperateCode], ENTRY_SID_OP);
    EXPECT_EQ(WaitMonitorOperateIdle(50), -1);

    SetMonitorOperateState(OP_SUCCESS);
    EXPECT_EQ(WaitMonitorOperateIdle(50), 0);
    EXPECT_EQ(PostMonitorOperate(ENTRY_WMODE_OP, 0), 0);
    EXPECT_EQ(RawMonitor()[kOperateCode], ENTRY_WMODE_OP);
    EXPECT_EQ(RawMonitor()[kOperateState], OP_EXE);
}

// The mailbox is free, but the test holds the monitor lock: both posters look, see it free,
// and queue on the lock. When it is given back, the first poster takes the mailbox; the
// second must see, under the lock, that it is taken, and must not replace the operation.
TEST_F(Monitor, TwoPostersThatBothSawTheMailboxFreePostOnlyOnce) {
    SetMonitorOperateState(OP_SUCCESS);
    ASSERT_EQ(semaphore_p(OstrelMonitor.sem_id), 0);
    auto poster = [](OPERATE_ENTRY op) {
        return Spawn([op] {
            InitShareMemory();
            return PostMonitorOperate(op, 300) == 0 ? 0 : 1;
        });
    };
    const pid_t poster_a = poster(ENTRY_SID_OP);
    const pid_t poster_b = poster(ENTRY_PPS_OP);
    bool both_queued = false;
    for (int i = 0; i < 10000 && !both_queued; ++i) {
        both_queued = semctl(OstrelMonitor.sem_id, 0, GETNCNT) == 2;
        if (!both_queued) usleep(1000);
    }
    ASSERT_EQ(semaphore_v(OstrelMonitor.sem_id), 0);
    ASSERT_TRUE(both_queued) << "the posters never queued on the monitor lock";
    const int a = WaitChild(poster_a);
    const int b = WaitChild(poster_b);
    EXPECT_EQ(a + b, 1) << "exactly one poster gets through (results " << a << ", " << b << ")";
    const unsigned char posted = RawMonitor()[kOperateCode];
    EXPECT_EQ(posted, a == 0 ? ENTRY_SID_OP : ENTRY_PPS_OP);
    EXPECT_EQ(RawMonitor()[kOperateState], OP_EXE);
}

TEST_F(Monitor, PostersAndAnExecutorInSeparateProcessesLoseNoOperation) {
    constexpr int kPerPoster = 300;
    constexpr int kIdleBoundUs = 5 * 1000 * 1000;  // a lost operation ends the executor, not the test run
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t executor = Spawn([&] {
        close(channel[0]);
        InitShareMemory();
        for (int done = 0, idle_us = 0; done < 2 * kPerPoster;) {
            unsigned char mailbox[2];
            GetMonitorOperate(mailbox);
            if (mailbox[1] != OP_EXE) {
                if (idle_us >= kIdleBoundUs) return 2;
                usleep(200);
                idle_us += 200;
                continue;
            }
            idle_us = 0;
            if (write(channel[1], &mailbox[0], 1) != 1) return 1;
            SetMonitorOperateState(OP_SUCCESS);
            ++done;
        }
        return 0;
    });
    close(channel[1]);
    // Poster A posts the codes 1..9 in turn, poster B the codes 11..19.
    auto poster = [](int first) {
        return Spawn([first] {
            InitShareMemory();
            for (int i = 0; i < kPerPoster; ++i)
                if (PostMonitorOperate(static_cast<OPERATE_ENTRY>(first + i % 9), 5000) != 0) return 1;
            return 0;
        });
    };
    const pid_t poster_a = poster(1);
    const pid_t poster_b = poster(11);
    std::vector<int> seen_a, seen_b;
    unsigned char code;
    while (read(channel[0], &code, 1) == 1) (code < 10 ? seen_a : seen_b).push_back(code);
    EXPECT_EQ(WaitChild(poster_a), 0);
    EXPECT_EQ(WaitChild(poster_b), 0);
    EXPECT_EQ(WaitChild(executor), 0) << "2: the executor waited in vain for an operation";
    ASSERT_EQ(seen_a.size(), static_cast<std::size_t>(kPerPoster));
    ASSERT_EQ(seen_b.size(), static_cast<std::size_t>(kPerPoster));
    for (int i = 0; i < kPerPoster; ++i) {
        EXPECT_EQ(seen_a[i], 1 + i % 9);
        EXPECT_EQ(seen_b[i], 11 + i % 9);
    }
}
