// Segment set-up, removal and locks, across real processes.
#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>

#include "process.h"
#include "segments.h"

using namespace testsupport;

namespace {

struct SegmentKeys {
    key_t sem_key;
    key_t shm_key;
    std::size_t size;
    ShareMemoryHandle *handle;
};

const SegmentKeys kSegments[] = {
    {3000, 3456, 18400, &OstrelConfig},
    {4000, 4567, 34456, &OstrelMonitor},
    {2000, 2345, 57784, &OstrelGNSS},
};

// semctl needs this union from the caller (see semctl(2)).
union semun_arg {
    int val;
    semid_ds *buf;
};

std::size_t SegmentSize(int shm_id) {
    shmid_ds ds{};
    shmctl(shm_id, IPC_STAT, &ds);
    return ds.shm_segsz;
}

// Runs fn in a child whose standard error goes into the returned text.
std::pair<int, std::string> RunCapturingStderr(const std::function<int()> &fn) {
    int pipe_fds[2];
    EXPECT_EQ(pipe(pipe_fds), 0);
    const pid_t pid = Spawn([&] {
        dup2(pipe_fds[1], STDERR_FILENO);
        close(pipe_fds[0]);
        return fn();
    });
    close(pipe_fds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(pipe_fds[0]);
    return {WaitChild(pid), text};
}

long long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST(Segments, FirstInitCreatesZeroedSegmentsWithFreeLocks) {
    ASSERT_EQ(InitShareMemory(), 0);
    for (const SegmentKeys &segment : kSegments) {
        EXPECT_EQ(shmget(segment.shm_key, 0, 0), segment.handle->shm_id);
        EXPECT_EQ(semget(segment.sem_key, 0, 0), segment.handle->sem_id);
        EXPECT_EQ(SegmentSize(segment.handle->shm_id), segment.size);
        EXPECT_EQ(SemaphoreValue(segment.handle->sem_id), 1);
        EXPECT_EQ(segment.handle->base_addr, segment.handle->shm_addr);
        const auto *bytes = static_cast<const unsigned char *>(segment.handle->base_addr);
        for (std::size_t i = 0; i < segment.size; ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
    }
}

TEST(Segments, TwoProcessesSeeEachOthersWrites) {
    ASSERT_EQ(InitShareMemory(), 0);
    const pid_t writer = Spawn([] {
        InitShareMemory();
        const unsigned int port = 8080;
        return SetReceiverConfigParaToShareMemory(ENTRY_HTTP_PORT, &port) == 0 ? 0 : 1;
    });
    ASSERT_EQ(WaitChild(writer), 0);
    unsigned int port = 0;
    GetReceiverConfigParaFromShareMemory(ENTRY_HTTP_PORT, &port);
    EXPECT_EQ(port, 8080u);

    const unsigned char mode = SMARTBASE_MODE;
    SetReceiverConfigParaToShareMemory(ENTRY_WORK_MODE, &mode);
    const pid_t reader = Spawn([] {
        InitShareMemory();
        unsigned char seen = 0;
        GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &seen);
        return seen;
    });
    EXPECT_EQ(WaitChild(reader), SMARTBASE_MODE);
}

// The web server's programs do not run as root on the board: every segment and set must be
// open to every user (0666), or they stop with "shmget failed".
TEST(Segments, AreCreatedOpenToEveryUserAndServeAnUnprivilegedProgram) {
    ASSERT_EQ(InitShareMemory(), 0);
    for (const SegmentKeys &segment : kSegments) {
        shmid_ds shm{};
        ASSERT_EQ(shmctl(segment.handle->shm_id, IPC_STAT, &shm), 0);
        EXPECT_EQ(shm.shm_perm.mode & 0777, 0666u) << "segment " << segment.shm_key;
        semid_ds sem{};
        semun_arg arg{};
        arg.buf = &sem;
        ASSERT_EQ(semctl(segment.handle->sem_id, 0, IPC_STAT, arg), 0);
        EXPECT_EQ(sem.sem_perm.mode & 0777, 0666u) << "semaphore set " << segment.sem_key;
    }
    const unsigned char mode = STATION_MODE;
    ASSERT_EQ(SetReceiverConfigParaToShareMemory(ENTRY_WORK_MODE, &mode), 0);
    constexpr int kNobody = 65534;
    const ProgramResult result =
        RunProgram(ROLEKIND_PATH, {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "2"}}, "{}", kNobody);
    ASSERT_EQ(result.exit_status, 0) << result.out;
    EXPECT_NE(result.out.find("\"Mode\": 1,"), std::string::npos) << result.out;
}

TEST(Segments, ProcessKilledWhileHoldingALockLeavesItFree) {
    ASSERT_EQ(InitShareMemory(), 0);
    for (const SegmentKeys &segment : kSegments) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const int sem_id = segment.handle->sem_id;
        const pid_t holder = Spawn([&] {
            InitShareMemory();
            semaphore_p(sem_id);
            ssize_t ignored = write(ready[1], "x", 1);
            (void)ignored;
            pause();
            return 0;
        });
        char c;
        ASSERT_TRUE(ReadWithin(ready[0], &c, 1, 10000)) << "the holder never took the lock";
        EXPECT_EQ(SemaphoreValue(sem_id), 0);
        kill(holder, SIGKILL);
        EXPECT_EQ(WaitChild(holder), 128 + SIGKILL);
        close(ready[0]);
        close(ready[1]);
        // Stop here rather than wait on a lock that stayed taken.
        ASSERT_EQ(SemaphoreValue(sem_id), 1) << "the killed holder's lock was not given back";
    }
    unsigned char mode = 0;
    EXPECT_EQ(GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &mode), 0);
}

TEST(Segments, AttachWhileAnotherHoldsTheLockDoesNotLetTheNewcomerIn) {
    ASSERT_EQ(InitShareMemory(), 0);
    ASSERT_EQ(semaphore_p(OstrelConfig.sem_id), 0);
    const pid_t newcomer = Spawn([] {
        InitShareMemory();  // must not reset the held lock
        sembuf try_lock{0, -1, IPC_NOWAIT | SEM_UNDO};
        return semop(OstrelConfig.sem_id, &try_lock, 1) == -1 && errno == EAGAIN ? 0 : 1;
    });
    EXPECT_EQ(WaitChild(newcomer), 0);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 0);
    ASSERT_EQ(semaphore_v(OstrelConfig.sem_id), 0);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 1);
}

TEST(Segments, OpenerWaitsForTheCreatorToInitialiseTheSet) {
    // Stand in for a creator that has made the set but not yet initialised it.
    const int sem_id = semget(3000, 1, IPC_CREAT | IPC_EXCL | 0666);
    ASSERT_NE(sem_id, -1);
    const auto start = std::chrono::steady_clock::now();
    const pid_t opener = Spawn([] {
        InitShareMemory();
        // Inside the lock: the creator must have initialised the set by now.
        if (semaphore_p(OstrelConfig.sem_id) != 0) return 2;
        semaphore_v(OstrelConfig.sem_id);
        return 0;
    });
    usleep(300 * 1000);
    sembuf init[2] = {{0, 0, IPC_NOWAIT}, {0, 1, 0}};
    ASSERT_EQ(semop(sem_id, init, 2), 0) << "the opener initialised the set itself";
    EXPECT_EQ(WaitChild(opener), 0);
    EXPECT_GE(ElapsedMs(start), 300);
    EXPECT_EQ(SemaphoreValue(sem_id), 1);
}

TEST(Segments, OpenerInitialisesASetWhoseCreatorDiedBeforeInitialisingIt) {
    const int sem_id = semget(3000, 1, IPC_CREAT | IPC_EXCL | 0666);  // never initialised
    ASSERT_NE(sem_id, -1);
    const auto start = std::chrono::steady_clock::now();
    const pid_t opener = Spawn([] {
        InitShareMemory();
        unsigned char mode = 0;
        return GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &mode) == 0 ? 0 : 1;
    });
    EXPECT_EQ(WaitChild(opener), 0);
    EXPECT_LT(ElapsedMs(start), 5000);
    EXPECT_EQ(SemaphoreValue(sem_id), 1);
}

TEST(Segments, SetInitialisedWithSetvalIsTakenAsReady) {
    const int sem_id = semget(3000, 1, IPC_CREAT | 0666);
    ASSERT_EQ(init_semaphore(sem_id, 1), 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(InitShareMemory(), 0);
    EXPECT_LT(ElapsedMs(start), 500);
    EXPECT_EQ(SemaphoreValue(sem_id), 1);
}

TEST(Segments, ExistingSmallerSegmentEndsTheProcessWithShmgetFailed) {
    ASSERT_NE(shmget(4567, 100, IPC_CREAT | 0666), -1);
    const auto [status, text] = RunCapturingStderr([] { return InitShareMemory() + 10; });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(text, "shmget failed\n");
}

TEST(Segments, DeleteRemovesEverythingAndTheNextInitStartsFromZeros) {
    ASSERT_EQ(InitShareMemory(), 0);
    const unsigned char mode = STATION_MODE;
    SetReceiverConfigParaToShareMemory(ENTRY_WORK_MODE, &mode);
    const pid_t remover = Spawn([] {
        InitShareMemory();
        DeleteShareMemory();
        return 3;  // not reached: DeleteShareMemory ends the process
    });
    EXPECT_EQ(WaitChild(remover), 0);
    for (const SegmentKeys &segment : kSegments) {
        EXPECT_EQ(shmget(segment.shm_key, 0, 0), -1);
        EXPECT_EQ(semget(segment.sem_key, 0, 0), -1);
    }
    ASSERT_EQ(InitShareMemory(), 0);
    unsigned char stored = 0xFF;
    GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &stored);
    EXPECT_EQ(stored, 0);
    EXPECT_EQ(SemaphoreValue(OstrelConfig.sem_id), 1);
}

TEST(Segments, AccessorReturnsMinusOneWhenTheLockIsGone) {
    ASSERT_EQ(InitShareMemory(), 0);
    ASSERT_EQ(semctl(OstrelConfig.sem_id, 0, IPC_RMID), 0);
    const auto before = ConfigBytes();
    const unsigned char mode = 1;
    const auto [status, text] =
        RunCapturingStderr([&] { return SetReceiverConfigParaToShareMemory(ENTRY_WORK_MODE, &mode) == -1 ? 0 : 1; });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(text.rfind("P operation: ", 0), 0u) << text;
    EXPECT_EQ(ConfigBytes(), before);
}
