// The reliability suite: many processes on the three segments at once, killed lock holders,
// attaches while a lock is held, concurrent posters, and a wrong environment. Each part runs
// in its own private IPC namespace and prints its figures; the exit status is 0 only when
// no part found a fault. --long runs the soak sizes.
#include <sched.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "sharememory.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Sizes {
    long torn_accesses_per_segment;
    int killed_rounds;
    int attach_rounds;
    int poster_operations;
    int concurrent_requests;
};

constexpr Sizes kQuick{40000, 60, 200, 300, 12};
constexpr Sizes kLong{400000, 1000, 2000, 3000, 40};
static_assert(kLong.concurrent_requests <= 64 && kQuick.concurrent_requests <= 64, "one answer time each");

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

pid_t Spawn(const std::function<int()> &fn) {
    const pid_t pid = fork();
    if (pid == 0) _exit(fn());
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) == -1) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Shared counters between the processes of one part.
struct Counters {
    long accesses;
    long torn;
    long posted[8];
    long executed[8];
    double request_seconds[64];  // one per concurrent request, as its answer took
};

Counters *SharedCounters() {
    void *memory = mmap(nullptr, sizeof(Counters), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    std::memset(memory, 0, sizeof(Counters));
    return static_cast<Counters *>(memory);
}

// ---- Torn reads --------------------------------------------------------------------------

struct LargeEntry {
    const char *segment;
    unsigned char entry;
    std::size_t size;
    int (*get)(unsigned char, void *);
    int (*set)(unsigned char, const void *);
};

int SetConfig(unsigned char e, const void *d) {
    return SetReceiverConfigParaToShareMemory(e, d);
}
int SetMonitor(unsigned char e, const void *d) {
    return SetMonitorParaToShareMemory(e, d);
}
int SetGnss(unsigned char e, const void *d) {
    return SetGNSSInfoToShareMemory(e, d);
}

const LargeEntry kLargeEntries[] = {
    {"config", ENTRY_TCP1_CONFIG, sizeof(EthTCPConfig), GetReceiverConfigParaFromShareMemory, SetConfig},
    {"monitor", ENTRY_ANT_TYPE, sizeof(MonitorPara::ANT_TYPE), GetMonitorParaFromShareMemory, SetMonitor},
    {"gnss", ENTRY_M925B, GNSS_BINARY_LOG_BYTES, GetGNSSInfoFromShareMemory, SetGnss},
};

// A whole entry of one byte value: a read that mixes two writes shows two values.
bool Torn(const std::vector<unsigned char> &bytes) {
    for (unsigned char b : bytes)
        if (b != bytes[0]) return true;
    return false;
}

bool TornReads(const Sizes &sizes) {
    bool ok = true;
    for (const LargeEntry &large : kLargeEntries) {
        Counters *counters = SharedCounters();
        const auto start = Clock::now();
        std::vector<pid_t> workers;
        const long per_worker = sizes.torn_accesses_per_segment / 4;
        for (int w = 0; w < 4; ++w) {
            workers.push_back(Spawn([&, w] {
                InitShareMemory();
                std::vector<unsigned char> bytes(large.size);
                for (long i = 0; i < per_worker; ++i) {
                    if (w < 2) {  // two writers, two readers
                        std::memset(bytes.data(), static_cast<int>((w * 101 + i) & 0xFF), bytes.size());
                        large.set(large.entry, bytes.data());
                    } else {
                        large.get(large.entry, bytes.data());
                        if (Torn(bytes)) __atomic_add_fetch(&counters->torn, 1, __ATOMIC_RELAXED);
                    }
                    __atomic_add_fetch(&counters->accesses, 1, __ATOMIC_RELAXED);
                }
                return 0;
            }));
        }
        for (pid_t pid : workers) ok = Wait(pid) == 0 && ok;
        std::printf("torn reads     %-8s %6zu-byte entry: %ld accesses in %.2f s, %ld torn\n", large.segment,
                    large.size, counters->accesses, Seconds(start), counters->torn);
        ok = ok && counters->torn == 0;
    }
    return ok;
}

// ---- Killed lock holders -------------------------------------------------------------------

// Busy with every segment, taking and releasing locks all the time.
int Hammer(unsigned seed) {
    InitShareMemory();
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(sizeof(MonitorPara::ANT_TYPE));
    for (;;) {
        const LargeEntry &large = kLargeEntries[random() % 3];
        if (random() % 2) {
            large.set(large.entry, bytes.data());
        } else {
            large.get(large.entry, bytes.data());
        }
    }
}

bool AllLocksFree() {
    return semctl(OstrelConfig.sem_id, 0, GETVAL) == 1 && semctl(OstrelMonitor.sem_id, 0, GETVAL) == 1 &&
           semctl(OstrelGNSS.sem_id, 0, GETVAL) == 1;
}

// Each segment answers a read within a second.
bool NoneHangs() {
    const pid_t reader = Spawn([] {
        alarm(1);
        unsigned char byte = 0;
        std::vector<unsigned char> gga(sizeof(GGAInfo));
        GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &byte);
        GetMonitorParaFromShareMemory(ENTRY_STATION_STATE, &byte);
        GetGNSSInfoFromShareMemory(ENTRY_GGA, gga.data());
        return 0;
    });
    return Wait(reader) == 0;
}

bool KilledHolders(const Sizes &sizes) {
    InitShareMemory();
    std::mt19937 random(7);
    const auto start = Clock::now();
    int hangs = 0;
    int stuck_locks = 0;
    std::vector<pid_t> hammers;
    for (int i = 0; i < 3; ++i) hammers.push_back(Spawn([i] { return Hammer(static_cast<unsigned>(i)); }));
    for (int round = 0; round < sizes.killed_rounds; ++round) {
        usleep(static_cast<useconds_t>(random() % 5000));
        const std::size_t victim = random() % hammers.size();
        kill(hammers[victim], SIGKILL);
        Wait(hammers[victim]);
        hammers[victim] = Spawn([round] { return Hammer(static_cast<unsigned>(100 + round)); });
        if (!NoneHangs()) ++hangs;
    }
    for (pid_t pid : hammers) {
        kill(pid, SIGKILL);
        Wait(pid);
    }
    if (!AllLocksFree()) ++stuck_locks;
    std::printf("killed holders %d kills of busy processes in %.2f s: %d hangs, locks %s\n", sizes.killed_rounds,
                Seconds(start), hangs, stuck_locks == 0 ? "all free afterwards" : "NOT free afterwards");
    return hangs == 0 && stuck_locks == 0;
}

// ---- Attaches while a lock is held -----------------------------------------------------------

bool AttachWhileHeld(const Sizes &sizes) {
    InitShareMemory();
    const auto start = Clock::now();
    int broken = 0;
    const ShareMemoryHandle *handles[] = {&OstrelConfig, &OstrelMonitor, &OstrelGNSS};
    for (int round = 0; round < sizes.attach_rounds; ++round) {
        const ShareMemoryHandle *held = handles[round % 3];
        semaphore_p(held->sem_id);
        const pid_t newcomer = Spawn([held] {
            InitShareMemory();
            sembuf try_lock{0, -1, IPC_NOWAIT | SEM_UNDO};
            return semop(held->sem_id, &try_lock, 1) == -1 && errno == EAGAIN ? 0 : 1;
        });
        if (Wait(newcomer) != 0) ++broken;
        if (semctl(held->sem_id, 0, GETVAL) != 0) ++broken;
        semaphore_v(held->sem_id);
    }
    std::printf("attach while held %d attaches in %.2f s: exclusion broken %d times\n", sizes.attach_rounds,
                Seconds(start), broken);
    return broken == 0 && AllLocksFree();
}

// ---- Posters -----------------------------------------------------------------------------------

int Executor(Counters *counters, long expected) {
    InitShareMemory();
    for (long done = 0; done < expected;) {
        unsigned char mailbox[2];
        GetMonitorOperate(mailbox);
        if (mailbox[1] != OP_EXE) {
            usleep(100);
            continue;
        }
        ++counters->executed[mailbox[0] % 8];
        SetMonitorOperateState(OP_SUCCESS);
        ++done;
    }
    return 0;
}

struct Reply {
    std::string text;
    int status;
    double seconds;
};

Reply Rolekind(const char *path, const std::string &body) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return {"", -1, 0};
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[1]);
        close(out[0]);
        setenv("REQUEST_METHOD", "POST", 1);
        setenv("CONTENT_LENGTH", std::to_string(body.size()).c_str(), 1);
        // Programs built for another architecture run behind its emulator.
        const char *emulator = std::getenv("GRSHM_TEST_EMULATOR");
        if (emulator != nullptr && *emulator != '\0') execl(emulator, emulator, path, static_cast<char *>(nullptr));
        execl(path, path, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (write(in[1], body.data(), body.size()) < 0) body.size();
    close(in[1]);
    Reply reply{"", 0, 0};
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        reply.text.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    reply.status = Wait(pid);
    reply.seconds = Seconds(start);
    return reply;
}

// Runs `count` requests at once; the slowest one's seconds.
double SlowestConcurrentRequest(const char *rolekind, const char *body, int count, Counters *counters) {
    std::vector<pid_t> requests;
    for (int r = 0; r < count; ++r) {
        requests.push_back(Spawn([&, r] {
            counters->request_seconds[r] = Rolekind(rolekind, body).seconds;
            return 0;
        }));
    }
    for (pid_t pid : requests) Wait(pid);
    return *std::max_element(counters->request_seconds, counters->request_seconds + count);
}

// Runs `count` stop requests at once against a mailbox that stays busy; how many did not
// answer "Failed" within `bound` seconds. Says what went wrong with each.
int WrongStuckAnswers(const char *rolekind, int count, double bound, Counters *counters) {
    std::vector<pid_t> stuck;
    for (int r = 0; r < count; ++r) {
        stuck.push_back(Spawn([&, r] {
            const Reply reply = Rolekind(rolekind, R"({"Key":"3"})");
            counters->request_seconds[r] = reply.seconds;
            if (reply.status != 0) return 1;
            return reply.text.find("\"Res\": \"Failed\"") == std::string::npos ? 2 : 0;
        }));
    }
    int wrong = 0;
    for (int r = 0; r < count; ++r) {
        const int outcome = Wait(stuck[r]);
        const double seconds = counters->request_seconds[r];
        if (outcome == 0 && seconds < bound) continue;
        ++wrong;
        std::printf("  stop request %d: %s after %.2f s\n", r,
                    outcome == 1   ? "exit status not 0"
                    : outcome == 2 ? "no \"Failed\" answer"
                                   : "too slow",
                    seconds);
    }
    return wrong;
}

bool Posters(const Sizes &sizes, const char *rolekind) {
    InitShareMemory();
    Counters *counters = SharedCounters();
    const int library_posters = 4;
    const long from_library = static_cast<long>(library_posters) * sizes.poster_operations;
    // Each request turns PPS on or off, so each posts exactly one operation (code 13).
    const long from_requests = sizes.concurrent_requests;
    const auto start = Clock::now();
    const pid_t executor = Spawn([&] { return Executor(counters, from_library + from_requests); });
    std::vector<pid_t> posters;
    for (int p = 0; p < library_posters; ++p) {
        posters.push_back(Spawn([&, p] {
            InitShareMemory();
            for (int i = 0; i < sizes.poster_operations; ++i) {
                if (PostMonitorOperate(static_cast<OPERATE_ENTRY>(p + 1), 10000) != 0) return 1;
            }
            return 0;
        }));
    }
    std::vector<pid_t> requests;
    int failed_requests = 0;
    for (int r = 0; r < sizes.concurrent_requests; ++r) {
        requests.push_back(Spawn([&, r] {
            // PPS alternates, and only a change is announced: serialise nothing, count replies.
            const std::string body = std::string(R"({"Mode":"0","Rover":{"PPS":")") + (r % 2 ? "ON" : "OFF") +
                                     R"(","EVENT":"OFF","CLK":"OFF"}})";
            const Reply reply = Rolekind(rolekind, body);
            return reply.status == 0 && reply.text.find("\"Res\": \"Success\"") != std::string::npos ? 0 : 1;
        }));
    }
    for (pid_t pid : requests) failed_requests += Wait(pid) != 0;
    int failed_posters = 0;
    for (pid_t pid : posters) failed_posters += Wait(pid) != 0;
    // Requests that found PPS already as they wanted it posted nothing: top up so the
    // executor's count ends; the top-ups are code 0 and not counted as requests.
    long executed = 0;
    for (long e : counters->executed) executed += e;
    while (executed < from_library + from_requests) {
        const long missing = from_library + from_requests - executed;
        for (long i = 0; i < missing; ++i) PostMonitorOperate(ENTRY_NULL_OP, 10000);
        usleep(20000);
        executed = 0;
        for (long e : counters->executed) executed += e;
    }
    Wait(executor);
    long lost = 0;
    for (int p = 0; p < library_posters; ++p) lost += sizes.poster_operations - counters->executed[p + 1];
    std::printf(
        "posters        %ld library posts from %d processes and %d concurrent requests in %.2f s: %ld lost, "
        "%d failed posters, %d failed requests\n",
        from_library, library_posters, sizes.concurrent_requests, Seconds(start), lost, failed_posters,
        failed_requests);
    bool ok = lost == 0 && failed_posters == 0 && failed_requests == 0;

    // What answering this many concurrent requests takes on this machine right now, when
    // nothing waits for the mailbox: starting the programs is most of it under load.
    const double started = SlowestConcurrentRequest(rolekind, "{}", sizes.concurrent_requests, counters);

    // The executor stops: the mailbox stays busy with a pending operation. Every request
    // fails once its mailbox wait ends, not later than that wait plus what it takes to start.
    SetMonitorOperate(ENTRY_RESTART_OP);
    const auto stuck_start = Clock::now();
    const double bound = 12.0 + started;
    const int wrong = WrongStuckAnswers(rolekind, sizes.concurrent_requests, bound, counters);
    unsigned char mailbox[2];
    GetMonitorOperate(mailbox);
    const bool kept = mailbox[0] == ENTRY_RESTART_OP && mailbox[1] == OP_EXE;
    std::printf(
        "stopped executor %d requests answered in %.2f s (bound %.2f s each, unhindered requests took %.2f s): "
        "%d wrong answers, pending operation %s\n",
        sizes.concurrent_requests, Seconds(stuck_start), bound, started, wrong, kept ? "kept" : "REPLACED");
    return ok && wrong == 0 && kept;
}

// ---- A wrong environment -------------------------------------------------------------------------

// Runs InitShareMemory in a child (as another user when uid >= 0); its status and message.
std::pair<int, std::string> AttachAs(int uid) {
    int err[2];
    if (pipe(err) != 0) return {-1, ""};
    const pid_t pid = Spawn([&] {
        dup2(err[1], STDERR_FILENO);
        close(err[0]);
        if (uid >= 0 && (setgid(static_cast<gid_t>(uid)) != 0 || setuid(static_cast<uid_t>(uid)) != 0)) return 99;
        InitShareMemory();
        return 0;
    });
    close(err[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    close(err[0]);
    return {Wait(pid), text};
}

// Removes whatever segments and sets exist under our keys.
void RemoveAll() {
    for (key_t key : {CONFIG_SHM_KEY, MONITOR_SHM_KEY, GNSS_SHM_KEY}) {
        const int id = shmget(key, 0, 0);
        if (id != -1) shmctl(id, IPC_RMID, nullptr);
    }
    for (key_t key : {CONFIG_SEM_KEY, MONITOR_SEM_KEY, GNSS_SEM_KEY}) {
        const int id = semget(key, 0, 0);
        if (id != -1) semctl(id, 0, IPC_RMID);
    }
}

bool WrongEnvironment() {
    bool ok = true;
    // A segment that already exists smaller than ours.
    const int small = shmget(MONITOR_SHM_KEY, 100, IPC_CREAT | 0666);
    auto [status, message] = AttachAs(-1);
    std::printf("wrong env      smaller segment: status %d, \"%s\"\n", status,
                message.substr(0, message.size() - 1).c_str());
    ok = ok && status == 1 && message == "shmget failed\n";
    shmctl(small, IPC_RMID, nullptr);
    RemoveAll();  // the failed attach had already created the configuration segment

    // Objects whose permissions refuse the caller (only meaningful when we can switch users).
    if (getuid() == 0) {
        const int sem = semget(CONFIG_SEM_KEY, 1, IPC_CREAT | 0600);
        const int shm = shmget(CONFIG_SHM_KEY, sizeof(ReceiverConfigPara), IPC_CREAT | 0600);
        sembuf init[2] = {{0, 0, IPC_NOWAIT}, {0, 1, 0}};
        semop(sem, init, 2);
        std::tie(status, message) = AttachAs(65534);
        std::printf("wrong env      semaphore set refusing the caller: status %d, \"%s\"\n", status,
                    message.substr(0, message.size() - 1).c_str());
        ok = ok && status == 1 && message == "semget failed.\n";
        semctl(sem, 0, IPC_RMID);
        const int open_sem = semget(CONFIG_SEM_KEY, 1, IPC_CREAT | 0666);
        semop(open_sem, init, 2);
        std::tie(status, message) = AttachAs(65534);
        std::printf("wrong env      segment refusing the caller: status %d, \"%s\"\n", status,
                    message.substr(0, message.size() - 1).c_str());
        ok = ok && status == 1 && message == "shmget failed\n";
        shmid_ds ds{};
        shmctl(shm, IPC_STAT, &ds);
        ok = ok && ds.shm_nattch == 0 && semctl(open_sem, 0, GETVAL) == 1;
        std::printf("wrong env      afterwards: %lu attached, lock value %d\n",
                    static_cast<unsigned long>(ds.shm_nattch), semctl(open_sem, 0, GETVAL));
    }
    return ok;
}

// Runs one part in a child with a private IPC namespace of its own.
bool RunPart(const char *name, const std::function<bool()> &part) {
    const pid_t pid = Spawn([&] {
        if (unshare(CLONE_NEWIPC) != 0) {
            std::fprintf(stderr, "%s: cannot create a private IPC namespace\n", name);
            return 2;
        }
        const bool ok = part();
        std::fflush(stdout);
        return ok ? 0 : 1;
    });
    const bool ok = Wait(pid) == 0;
    if (!ok) std::printf("FAILED: %s\n", name);
    std::fflush(stdout);
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    bool soak = false;
    const char *rolekind = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--long") == 0) {
            soak = true;
        } else if (std::strcmp(argv[i], "--rolekind") == 0 && i + 1 < argc) {
            rolekind = argv[++i];
        } else {
            std::fprintf(stderr, "usage: reliability --rolekind PATH [--long]\n");
            return 2;
        }
    }
    if (rolekind == nullptr) {
        std::fprintf(stderr, "usage: reliability --rolekind PATH [--long]\n");
        return 2;
    }
    const Sizes &sizes = soak ? kLong : kQuick;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    bool ok = true;
    ok = RunPart("torn reads", [&] { return TornReads(sizes); }) && ok;
    ok = RunPart("killed holders", [&] { return KilledHolders(sizes); }) && ok;
    ok = RunPart("attach while held", [&] { return AttachWhileHeld(sizes); }) && ok;
    ok = RunPart("posters", [&] { return Posters(sizes, rolekind); }) && ok;
    ok = RunPart("wrong environment", [&] { return WrongEnvironment(); }) && ok;
    std::printf(ok ? "reliability: no fault found\n" : "reliability: FAULTS FOUND\n");
    return ok ? 0 : 1;
}
