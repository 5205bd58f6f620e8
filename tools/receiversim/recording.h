// The two recorders and the storage they fill (docs/receiver.md, "Recorders"). The stand-in
// writes no files: it counts the bytes a recorder would write and keeps the free space of the
// storage and of each recorder by them.
#pragma once

#include <cstdio>
#include <string>

#include "sharememory.h"

namespace receiversim {

constexpr unsigned long long kMegabyte = 1024 * 1024;

// Recorder user states.
enum RecorderState : unsigned char {
    kRecorderStopped = 0,
    kRecorderRecording = 1,
    kRecorderSpaceUsedUp = 2,
    kRecorderStorageError = 3,
};

struct StorageOptions {
    unsigned int total_mb = 7450;                // an 8 GB card
    unsigned long long record_rate = kMegabyte;  // bytes a recorder writes per second
};

// The antenna block's fields as a log line; false when the block is outside the form.
bool DescribeAntenna(const unsigned char (&block)[44], std::string *text);

// A recording record's settings as a log line; false when one is outside the form.
bool DescribeRecorder(const RecConfig &record, std::string *text);

class Recorders {
 public:
    explicit Recorders(StorageOptions options);

    // The recording process starts (again): user states written, automatic recorders started.
    void Start(FILE *log);
    // Records for the time since the last tick and writes the free space.
    void Tick(long long now_ms, FILE *log);

    // ENTRY_REC1_STATE_OP / ENTRY_REC2_STATE_OP: the user state asks for a start or a stop.
    OPERATE_STATE ChangeState(unsigned char recorder, FILE *log);
    // ENTRY_REC1_OP / ENTRY_REC2_OP: the recorder's settings for its next file.
    static OPERATE_STATE TakeIntoUse(unsigned char recorder, FILE *log);
    // ENTRY_FORMAT_OP: recorders stopped, every recording deleted.
    OPERATE_STATE Format(FILE *log);
    // Every recorder stops (restore, restart, shut down).
    void StopAll(FILE *log);

    bool Recording(unsigned char recorder) const { return recording_[Index(recorder)]; }

 private:
    static int Index(unsigned char recorder) { return recorder == 2 ? 1 : 0; }
    unsigned long long FreeBytes() const;
    unsigned long long Room(unsigned char recorder, const RecConfig &record) const;
    bool Stop(unsigned char recorder, RecorderState state);
    void WriteSpace();

    StorageOptions options_;
    unsigned long long other_files_;  // recordings made before this run, and other files
    unsigned long long recorded_[2] = {};
    unsigned long long session_[2] = {};
    bool recording_[2] = {};
    unsigned int written_free_[2] = {~0u, ~0u};
    long long last_tick_ms_ = -1;
};

}  // namespace receiversim
