#include <sys/ipc.h>
#include <sys/sem.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "clock.h"
#include "lock_set.h"
#include "sharememory.h"

namespace grshm {
namespace {

// semctl needs this union from the caller (see semctl(2)).
union semun {
    int val;
    struct semid_ds *buf;
};

// How long an opener waits for the creator of a set to initialise it before it concludes
// that the creator died in between and initialises the set itself.
constexpr int kInitWaitMs = 1000;
constexpr int kOpenAttempts = 8;

// Takes (-1) or gives back (+1) a lock. Taking waits at most GRSHM_LOCK_TIMEOUT_MS: any process
// may set a set's value to 0 (the sets are open to all), and no caller may then hang forever.
// A free lock is taken at once, without reading the clock (on some virtual machines a clock
// read is a system call of its own). A signal handler elsewhere must not break a lock: EINTR
// waits again, for the time left.
int LockOperation(int sem_id, short delta) {
    sembuf op{0, delta, static_cast<short>(SEM_UNDO | IPC_NOWAIT)};
    if (semop(sem_id, &op, 1) == 0) return 0;
    if (errno != EAGAIN) return -1;  // the set is gone, or not ours
    op.sem_flg = SEM_UNDO;
    const long long deadline = MonotonicMs() + GRSHM_LOCK_TIMEOUT_MS;
    for (;;) {
        const long long left = deadline - MonotonicMs();
        const timespec bound{static_cast<time_t>(left > 0 ? left / 1000 : 0),
                             static_cast<long>(left > 0 ? left % 1000 : 0) * 1000000L};
        const int rc = semtimedop(sem_id, &op, 1, &bound);
        if (rc == 0 || errno != EINTR) return rc;  // EAGAIN: the bound passed
    }
}

// Raises a fresh set from 0 to 1, but only if it is still 0 and nobody has operated on it:
// "wait for zero" and "add one" in one atomic semop. Without SEM_UNDO: the value must stay
// when the initialising process ends.
bool MarkInitialised(int sem_id) {
    sembuf ops[2] = {{0, 0, IPC_NOWAIT}, {0, 1, 0}};
    return semop(sem_id, ops, 2) == 0 || errno == EAGAIN;  // EAGAIN: already initialised
}

// A set is ready once any semop has run on it (sem_otime) or its value was set directly
// (a set initialised with SETVAL by an older writer). A fresh set has neither.
bool IsInitialised(int sem_id, bool *removed) {
    semid_ds ds{};
    semun arg{};
    arg.buf = &ds;
    if (semctl(sem_id, 0, IPC_STAT, arg) == -1) {
        *removed = true;
        return false;
    }
    return ds.sem_otime != 0 || semctl(sem_id, 0, GETVAL) > 0;
}

// Waits for the creator's initialisation. If it never comes (the creator died between
// semget and its first semop), initialises the set here; MarkInitialised cannot double it.
bool WaitUntilInitialised(int sem_id) {
    bool removed = false;
    for (int waited = 0; waited < kInitWaitMs; ++waited) {
        if (IsInitialised(sem_id, &removed)) return true;
        if (removed) return false;
        SleepMs(1);
    }
    return MarkInitialised(sem_id);
}

}  // namespace

int OpenLockSet(key_t key) {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        int sem_id = semget(key, 1, IPC_CREAT | IPC_EXCL | 0666);
        if (sem_id != -1) {
            if (MarkInitialised(sem_id)) return sem_id;
            continue;  // removed again before we could initialise it
        }
        if (errno != EEXIST) return -1;
        sem_id = semget(key, 1, 0666);
        if (sem_id == -1) {
            if (errno == ENOENT) continue;  // removed between the two calls
            return -1;
        }
        if (WaitUntilInitialised(sem_id)) return sem_id;
    }
    errno = EAGAIN;
    return -1;
}

}  // namespace grshm

extern "C" {

int init_semaphore(int sem_id, int value) {
    grshm::semun arg{};
    arg.val = value;
    if (semctl(sem_id, 0, SETVAL, arg) == -1) {
        perror("Initialize semaphore");
        return 1;
    }
    return 0;
}

int del_semaphore(int sem_id) {
    if (semctl(sem_id, 0, IPC_RMID) == -1) {
        perror("Delete smaphore");
        return -1;
    }
    return 0;
}

int semaphore_p(int sem_id) {
    if (grshm::LockOperation(sem_id, -1) == -1) {
        const int error = errno;  // the caller may want to know why
        perror("P operation");
        errno = error;
        return -1;
    }
    return 0;
}

int semaphore_v(int sem_id) {
    if (grshm::LockOperation(sem_id, 1) == -1) {
        const int error = errno;  // the caller may want to know why
        perror("V operation");
        errno = error;
        return -1;
    }
    return 0;
}

}  // extern "C"
