#include "recording.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "reads.h"

namespace receiversim {
namespace {

constexpr const char *kFileTypes[] = {"receiver binary", "RINEX 2.11", "RINEX 3.04", "RTCM 3"};
constexpr unsigned char kRecorderNumbers[] = {1, 2};
constexpr unsigned int kIntervalsMs[] = {50, 100, 200, 500, 1000, 2000, 5000, 10000, 15000, 30000, 60000};

unsigned char RecordEntry(unsigned char recorder) {
    return recorder == 2 ? ENTRY_REC2_CONFIG : ENTRY_REC1_CONFIG;
}

// A name of the recorder's form: 1 to N - 1 characters of A-Z a-z 0-9 - _, then NUL.
template <std::size_t N>
bool NameText(const char (&field)[N], std::string_view *name) {
    const std::size_t length = strnlen(field, N);
    if (length == 0 || length == N) return false;
    *name = std::string_view(field, length);
    return std::all_of(name->begin(), name->end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

std::string Format(const char *format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

}  // namespace

bool DescribeAntenna(const unsigned char (&block)[44], std::string *text) {
    const char *type = reinterpret_cast<const char *>(block);
    const bool type_ok = strnlen(type, 21) == 20 || block[0] == 0;
    int height = 0;  // tenths of a millimetre
    std::memcpy(&height, block + 24, sizeof height);
    if (!type_ok || block[21] > 1 || height < -100000 || height > 1000000) {
        *text = Format("antenna block outside the form (method %u, height %d)", block[21], height);
        return false;
    }
    *text =
        Format("antenna \"%.20s\", height %.4f m %s", type, height / 10000.0, block[21] == 0 ? "vertical" : "slant");
    return true;
}

bool DescribeRecorder(const RecConfig &record, std::string *text) {
    std::string_view folder, mark;
    const bool interval_ok =
        std::find(std::begin(kIntervalsMs), std::end(kIntervalsMs), record.RecInterval) != std::end(kIntervalsMs);
    if (!NameText(record.FolderName, &folder) || !NameText(record.MarkName, &mark) || record.FileType > 3 ||
        record.RecMode > 1 || !interval_ok || record.CircularFlag > 1) {
        *text = Format("settings outside the form (file type %u, mode %u, interval %u ms, circular %u)",
                       record.FileType, record.RecMode, record.RecInterval, record.CircularFlag);
        return false;
    }
    *text = Format("folder \"%.*s\", mark \"%.*s\", %s every %u ms, %s, limit %u MB, circular %s",
                   static_cast<int>(folder.size()), folder.data(), static_cast<int>(mark.size()), mark.data(),
                   kFileTypes[record.FileType], record.RecInterval, record.RecMode == 0 ? "manual" : "automatic",
                   record.MaxSpace, record.CircularFlag != 0 ? "on" : "off");
    return true;
}

Recorders::Recorders(StorageOptions options) : options_(options), other_files_(options.total_mb * kMegabyte / 6) {}

unsigned long long Recorders::FreeBytes() const {
    const unsigned long long total = options_.total_mb * kMegabyte;
    const unsigned long long used = other_files_ + recorded_[0] + recorded_[1];
    return used < total ? total - used : 0;
}

unsigned long long Recorders::Room(unsigned char recorder, const RecConfig &record) const {
    const unsigned long long free = FreeBytes();
    if (record.MaxSpace == 0) return free;
    const unsigned long long limit = record.MaxSpace * kMegabyte;
    const unsigned long long own = recorded_[Index(recorder)];
    return std::min(free, own < limit ? limit - own : 0);
}

void Recorders::Start(FILE *log) {
    for (const unsigned char recorder : kRecorderNumbers) {
        const auto record = ReadConfig<RecConfig>(RecordEntry(recorder));
        const bool automatic = record && record->RecMode == 1 && Room(recorder, *record) > 0;
        recording_[Index(recorder)] = automatic;
        session_[Index(recorder)] = 0;
        SetReceiverRecUsrState(recorder, automatic ? kRecorderRecording : kRecorderStopped);
        if (automatic) std::fprintf(log, "receiversim: recorder %d records from the start (automatic)\n", recorder);
    }
    WriteSpace();
}

void Recorders::Tick(long long now_ms, FILE *log) {
    const long long elapsed_ms = last_tick_ms_ < 0 ? 0 : now_ms - last_tick_ms_;
    last_tick_ms_ = now_ms;
    for (const unsigned char recorder : kRecorderNumbers) {
        const int i = Index(recorder);
        if (!recording_[i]) continue;
        const auto record = ReadConfig<RecConfig>(RecordEntry(recorder));
        if (!record) continue;  // recorded at the next tick
        const unsigned long long bytes = options_.record_rate * static_cast<unsigned long long>(elapsed_ms) / 1000;
        const unsigned long long room = Room(recorder, *record);
        const unsigned long long written = std::min(bytes, room);
        recorded_[i] += written;
        session_[i] += bytes;
        if (written == bytes) continue;
        // Circular: the oldest of its own files make room; without any, or not circular, it stops.
        if (record->CircularFlag != 0 && recorded_[i] >= bytes - written) continue;
        session_[i] -= bytes - written;
        Stop(recorder, kRecorderSpaceUsedUp);
        std::fprintf(log, "receiversim: recorder %d stopped: the space is used up, %llu MB recorded\n", recorder,
                     session_[i] / kMegabyte);
    }
    WriteSpace();
}

void Recorders::WriteSpace() {
    WriteMonitorWord(ENTRY_ALL_SPACE, options_.total_mb);
    WriteMonitorWord(ENTRY_FREE_SPACE, static_cast<unsigned int>(FreeBytes() / kMegabyte));
    for (const unsigned char recorder : kRecorderNumbers) {
        const auto record = ReadConfig<RecConfig>(RecordEntry(recorder));
        if (!record) continue;
        const auto free = static_cast<unsigned int>(Room(recorder, *record) / kMegabyte);
        // Written when it changes: the record is a setting beside it, and writes of it are kept few.
        if (free == written_free_[Index(recorder)] && free == record->FreeSpace) continue;
        SetReceiverRecConfFreeSpace(recorder, free);
        written_free_[Index(recorder)] = free;
    }
}

bool Recorders::Stop(unsigned char recorder, RecorderState state) {
    const bool was = recording_[Index(recorder)];
    recording_[Index(recorder)] = false;
    SetReceiverRecUsrState(recorder, state);
    return was;
}

OPERATE_STATE Recorders::ChangeState(unsigned char recorder, FILE *log) {
    const int i = Index(recorder);
    const int asked = GetReceiverRecUsrState(recorder);
    const auto record = ReadConfig<RecConfig>(RecordEntry(recorder));
    if (!record) {
        std::fprintf(log, "could not read its settings: nothing done");
        return OP_FAILED;
    }
    if (asked == kRecorderStopped) {
        std::fprintf(log, "recorder %d stopped, %llu MB recorded", recorder, session_[i] / kMegabyte);
        recording_[i] = false;
        return OP_SUCCESS;
    }
    if (asked != kRecorderRecording) {
        std::fprintf(log, "user state %d is neither start (1) nor stop (0): nothing done", asked);
        SetReceiverRecUsrState(recorder, recording_[i] ? kRecorderRecording : kRecorderStopped);
        return OP_FAILED;
    }
    if (recording_[i]) {
        std::fprintf(log, "recorder %d records already", recorder);
        return OP_SUCCESS;
    }
    std::string settings;
    if (!DescribeRecorder(*record, &settings)) {
        std::fprintf(log, "cannot start: %s", settings.c_str());
        SetReceiverRecUsrState(recorder, kRecorderStorageError);
        return OP_FAILED;
    }
    if (options_.total_mb == 0 || Room(recorder, *record) == 0) {
        std::fprintf(log, "cannot start recorder %d: %s", recorder,
                     options_.total_mb == 0 ? "no storage" : "no space left");
        SetReceiverRecUsrState(recorder, options_.total_mb == 0 ? kRecorderStorageError : kRecorderSpaceUsedUp);
        return OP_FAILED;
    }
    recording_[i] = true;
    session_[i] = 0;
    std::fprintf(log, "recorder %d recording: %s", recorder, settings.c_str());
    return OP_SUCCESS;
}

OPERATE_STATE Recorders::TakeIntoUse(unsigned char recorder, FILE *log) {
    const auto record = ReadConfig<RecConfig>(RecordEntry(recorder));
    if (!record) {
        std::fprintf(log, "could not read its settings: nothing done");
        return OP_FAILED;
    }
    std::string settings, antenna;
    const bool ok = DescribeRecorder(*record, &settings);
    const bool antenna_ok = DescribeAntenna(record->Antenna, &antenna);
    std::fprintf(log, "%s recorder %d: %s; %s",
                 ok && antenna_ok ? "taken into use for the next file of" : "refused for", recorder, settings.c_str(),
                 antenna.c_str());
    return ok && antenna_ok ? OP_SUCCESS : OP_FAILED;
}

OPERATE_STATE Recorders::Format(FILE *log) {
    if (options_.total_mb == 0) {
        std::fprintf(log, "no storage to format");
        return OP_FAILED;
    }
    StopAll(log);
    other_files_ = 0;
    recorded_[0] = recorded_[1] = 0;
    WriteSpace();
    std::fprintf(log, "storage formatted: every recording deleted, %u MB free", options_.total_mb);
    return OP_SUCCESS;
}

void Recorders::StopAll(FILE *log) {
    for (const unsigned char recorder : kRecorderNumbers)
        if (Stop(recorder, kRecorderStopped)) std::fprintf(log, "recorder %d stopped; ", recorder);
}

}  // namespace receiversim
