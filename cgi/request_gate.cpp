#include "request_gate.h"

#include <sys/sem.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kSetupWaitSteps = 50;  // 1 ms each, for a creator between its two steps

struct Share {
    int key;
    short places;
};

constexpr Share kShares[] = {{cgi::kRequestGateKey, cgi::kRequestGatePlaces},
                             {cgi::kWaitingGateKey, cgi::kWaitingGatePlaces}};

// Makes the set and fills it in one step after creation: semop sets sem_otime, which tells
// the others that the places are there. (SETVAL would not, and they would find 0 places.)
int CreateGate(const Share &share) {
    const int id = semget(share.key, 1, IPC_CREAT | IPC_EXCL | 0600);
    if (id < 0) return -1;
    sembuf fill{0, share.places, 0};  // not SEM_UNDO: the places outlive their maker
    if (semop(id, &fill, 1) != 0) return -1;
    return id;
}

// The existing set, once its maker has filled it; -1 when it is not ready within a few ms.
int OpenGate(const Share &share) {
    const int id = semget(share.key, 1, 0);
    if (id < 0) return -1;
    for (int step = 0; step < kSetupWaitSteps; ++step) {
        semid_ds state{};
        if (semctl(id, 0, IPC_STAT, &state) != 0) return -1;
        if (state.sem_otime != 0) return id;
        usleep(1000);
    }
    return -1;
}

}  // namespace

namespace cgi {

bool EnterRequestGate(GateShare share) {
    if (std::getenv("GATEWAY_INTERFACE") == nullptr) return true;
    const Share &places = kShares[share == GateShare::Prompt ? 0 : 1];
    int id = CreateGate(places);
    if (id < 0 && errno == EEXIST) id = OpenGate(places);
    if (id < 0) return true;
    sembuf take{0, -1, IPC_NOWAIT | SEM_UNDO};
    if (semop(id, &take, 1) == 0) return true;
    return errno != EAGAIN;
}

void PrintBusyReply() {
    std::fputs(
        "Status: 503 Service Unavailable\nRetry-After: 1\nContent-type: application/text;charset=utf-8\n\n"
        "{ \"Res\": \"Failed\", \"Error\": \"The receiver is busy with other requests; try again\" }",
        stdout);
    std::fflush(stdout);
}

}  // namespace cgi
