// Field accessors of the two recorders' configuration and their user state.
#include "segment.h"

namespace grshm {
namespace {

RecConfig *Recorder(unsigned char *base, unsigned char recorder) {
    auto *config = reinterpret_cast<ReceiverConfigPara *>(base);
    if (recorder == 1) return &config->REC1;
    if (recorder == 2) return &config->REC2;
    return nullptr;
}

// Reads one scalar field of a recorder: 0 for a recorder other than 1 or 2, -1 when the lock
// fails.
template <typename Field>
int ReadRecorderField(unsigned char recorder, Field RecConfig::*field) {
    int value = 0;
    if (WithLock(OstrelConfig, [&](unsigned char *base) {
            if (const RecConfig *rec = Recorder(base, recorder)) value = static_cast<int>(rec->*field);
        }) != 0)
        return -1;
    return value;
}

template <typename Field>
int WriteRecorderField(unsigned char recorder, Field RecConfig::*field, Field value) {
    return WithLock(OstrelConfig, [&](unsigned char *base) {
        if (RecConfig *rec = Recorder(base, recorder)) rec->*field = value;
    });
}

// Copies a name field: -1 for a null buffer or a recorder other than 1 or 2.
template <std::size_t N>
int ReadRecorderName(void *data, unsigned char recorder, char (RecConfig::*field)[N]) {
    if (data == nullptr) return -1;
    bool known = false;
    if (WithLock(OstrelConfig, [&](unsigned char *base) {
            if (const RecConfig *rec = Recorder(base, recorder)) {
                std::memcpy(data, rec->*field, N);
                known = true;
            }
        }) != 0)
        return -1;
    return known ? 0 : -1;
}

unsigned char *UserState(unsigned char *base, unsigned char recorder) {
    auto *monitor = reinterpret_cast<MonitorPara *>(base);
    if (recorder == 1) return &monitor->REC1_STATE;
    if (recorder == 2) return &monitor->REC2_STATE;
    return nullptr;
}

}  // namespace
}  // namespace grshm

extern "C" {

int GetReceiverRecConfAntenna(unsigned char entry, void *data) {
    if (data == nullptr) return -1;
    return grshm::WithLock(OstrelConfig, [&](unsigned char *base) {
        if (entry == ENTRY_REC_ANTENNA)
            std::memcpy(data, grshm::Recorder(base, 1)->Antenna, sizeof(RecConfig::Antenna));
    });
}

int WriteReceiverRecConfAntenna(unsigned char entry, const void *data) {
    if (data == nullptr) return -1;
    return grshm::WithLock(OstrelConfig, [&](unsigned char *base) {
        if (entry != ENTRY_REC_ANTENNA) return;
        // Both recorders always carry the same antenna.
        std::memcpy(grshm::Recorder(base, 1)->Antenna, data, sizeof(RecConfig::Antenna));
        std::memcpy(grshm::Recorder(base, 2)->Antenna, data, sizeof(RecConfig::Antenna));
    });
}

int GetReceiverRecConfRecInterval(unsigned char recorder) {
    return grshm::ReadRecorderField(recorder, &RecConfig::RecInterval);
}

int GetReceiverRecConfFileType(unsigned char recorder) {
    return grshm::ReadRecorderField(recorder, &RecConfig::FileType);
}

int GetReceiverRecConfFolderName(void *data, unsigned char recorder) {
    return grshm::ReadRecorderName(data, recorder, &RecConfig::FolderName);
}

int GetReceiverRecConfMarkName(void *data, unsigned char recorder) {
    return grshm::ReadRecorderName(data, recorder, &RecConfig::MarkName);
}

int GetReceiverRecConfRecMode(unsigned char recorder) {
    return grshm::ReadRecorderField(recorder, &RecConfig::RecMode);
}

int SetReceiverRecConfRecMode(unsigned char recorder, unsigned char mode) {
    return grshm::WriteRecorderField(recorder, &RecConfig::RecMode, mode);
}

int GetReceiverRecConfRecCircularFlag(unsigned char recorder) {
    return grshm::ReadRecorderField(recorder, &RecConfig::CircularFlag);
}

int GetReceiverRecConfMaxSpace(unsigned char recorder) {
    return grshm::ReadRecorderField(recorder, &RecConfig::MaxSpace);
}

int SetReceiverRecConfFreeSpace(unsigned char recorder, unsigned int space) {
    return grshm::WriteRecorderField(recorder, &RecConfig::FreeSpace, space);
}

int GetReceiverRecConfFreeSpace(unsigned char recorder) {
    return grshm::ReadRecorderField(recorder, &RecConfig::FreeSpace);
}

int GetReceiverRecUsrState(unsigned char recorder) {
    int value = 0;
    if (grshm::WithLock(OstrelMonitor, [&](unsigned char *base) {
            if (const unsigned char *state = grshm::UserState(base, recorder)) value = *state;
        }) != 0)
        return -1;
    return value;
}

int SetReceiverRecUsrState(unsigned char recorder, unsigned char state) {
    return grshm::WithLock(OstrelMonitor, [&](unsigned char *base) {
        if (unsigned char *field = grshm::UserState(base, recorder)) *field = state;
    });
}

}  // extern "C"
