#include "receiver.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>

#include "channels.h"
#include "clock.h"
#include "default_config.h"
#include "nmea.h"
#include "nmea_reader.h"
#include "reads.h"
#include "selection.h"
#include "sky.h"
#include "tracking.h"

namespace receiversim {
namespace {

std::optional<GGAInfo> ReadGga() {
    return ReadEntry<GGAInfo>(GetGNSSInfoFromShareMemory, ENTRY_GGA);
}

// Empties a system's slot: all eight sentences.
void ClearSlot(unsigned char system) {
    GSVInput empty;
    std::memset(&empty, 0, sizeof empty);
    empty.System = system;
    for (int n = 1; n <= GNSS_GSV_SENTENCES; ++n) {
        empty.Number = static_cast<unsigned char>(n);
        SetGNSSInfoToShareMemory(ENTRY_GSV, &empty);
    }
}

// UTC time of day as hhmmss.ss.
float UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    return static_cast<float>(utc.tm_hour * 10000 + utc.tm_min * 100 + utc.tm_sec);
}

const char *OperationName(unsigned char code) {
    switch (code) {
        case ENTRY_SID_OP:
            return "station identifier";
        case ENTRY_WMODE_OP:
            return "work mode";
        case ENTRY_PPS_OP:
            return "PPS";
        case ENTRY_EVENT_OP:
            return "EVENT";
        case ENTRY_GPOS_OP:
            return "position query";
        case ENTRY_SMARTBASE_OP:
            return "SmartBase list";
        case ENTRY_ANT_OP:
            return "antenna";
        case ENTRY_REC1_OP:
            return "recorder 1 settings";
        case ENTRY_REC2_OP:
            return "recorder 2 settings";
        case ENTRY_REC1_STATE_OP:
            return "recorder 1 start or stop";
        case ENTRY_REC2_STATE_OP:
            return "recorder 2 start or stop";
        case ENTRY_FORMAT_OP:
            return "format storage";
        case ENTRY_CLEANEPH_OP:
            return "clear ephemerides";
        case ENTRY_RESTORE_OP:
            return "restore settings";
        case ENTRY_RESTART_OP:
            return "restart";
        case ENTRY_SHUTDOWN_OP:
            return "shut down";
        default: {
            if (const char *channel = ChannelOperationName(code)) return channel;
            const char *tracking = TrackingOperationName(code);
            return tracking != nullptr ? tracking : "unknown";
        }
    }
}

std::string PointText(const Coordinates &point) {
    char text[96];
    std::snprintf(text, sizeof text, "%.6f%c %.6f%c %.3fm", point.Latitude,
                  point.LatDirection ? static_cast<char>(point.LatDirection) : '?', point.Longitude,
                  point.LonDirection ? static_cast<char>(point.LonDirection) : '?', point.Elevation);
    return text;
}

long long Now(long long now_ms) {
    return now_ms >= 0 ? now_ms : grshm::MonotonicMs();
}

}  // namespace

PositionSource PositionSource::Fixed(const GGAInfo &gga) {
    PositionSource source;
    source.fixed_ = gga;
    return source;
}

bool PositionSource::LoadLog(const std::string &path) {
    std::ifstream in(path);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty() && line[0] == '$') lines_.push_back(line);
    }
    for (const std::string &line : lines_)
        if (ParseGga(line)) return true;
    lines_.clear();
    return false;
}

GGAInfo PositionSource::Next(std::vector<GSVInput> *gsv, std::string *sentence) {
    if (lines_.empty()) {
        // The sky above the fixed position now, and a fix that agrees with it.
        fixed_.utc = UtcNow();
        const auto degrees = [](double ddmm, unsigned char side) {
            const double value = nmea::DdmmToDegrees(ddmm);
            return side == 'S' || side == 'W' ? -value : value;
        };
        const std::vector<SkySatellite> sky =
            SkyAt(degrees(fixed_.latitude, fixed_.latdir), degrees(fixed_.longitude, fixed_.londir),
                  static_cast<double>(std::time(nullptr)));
        fixed_.fix_satellite = static_cast<unsigned short>(
            std::count_if(sky.begin(), sky.end(), [](const SkySatellite &satellite) { return satellite.used; }));
        fixed_.hdop = SkyHdop(sky);
        *gsv = SkyGsv(sky);
        *sentence = FormatGga(fixed_);
        return fixed_;
    }
    // Advance to the next GGA of the log, looping at its end; GSV sentences on the way go along.
    for (std::size_t seen = 0; seen < lines_.size(); ++seen) {
        const std::string &line = lines_[cursor_];
        cursor_ = (cursor_ + 1) % lines_.size();
        if (auto input = ParseGsv(line)) gsv->push_back(*input);
        if (auto gga = ParseGga(line)) {
            *sentence = line;  // as the receiver wrote it
            return *gga;
        }
    }
    *sentence = FormatGga(fixed_);
    return fixed_;
}

Receiver::Receiver(PositionSource source, FILE *log, const ReceiverOptions &options, long long now_ms)
    : source_(std::move(source)), log_(log), options_(options), recorders_(options.storage) {
    now_ms = Now(now_ms);
    status_.Start(now_ms);
    recorders_.Start(log_);
}

void Receiver::Tick(long long now_ms) {
    now_ms = Now(now_ms);
    if (powered_off_ || Restarting(now_ms)) return;
    if (restarting_) ComeBack(now_ms);
    status_.Tick(now_ms);
    recorders_.Tick(now_ms, log_);
    std::vector<GSVInput> gsv;
    std::string sentence;
    current_ = source_.Next(&gsv, &sentence);
    SetGNSSInfoToShareMemory(ENTRY_GGA, &current_);
    SetGNSSInfoToShareMemory(ENTRY_GGA_MSG, sentence.c_str());
    StoreSatellites(gsv);
    // The channels send their messages with every sample; the time words follow (milliseconds).
    StampChannelMessages(static_cast<unsigned int>(grshm::MonotonicMs()));

    // Keep the base station state current. A stop request writes STATION_STOP before it
    // posts; while the base still runs that value is left for the operation to see.
    const auto stored = ReadMonitor<unsigned char>(ENTRY_STATION_STATE);
    if (!stored) return;
    const unsigned char state = *stored;
    if (base_running_ && state != STATION_STOP && state != STATION_STARTUP)
        WriteMonitorByte(ENTRY_STATION_STATE, STATION_STARTUP);
    if (!base_running_ && stopped_once_ && state != STATION_STOP) WriteMonitorByte(ENTRY_STATION_STATE, STATION_STOP);
}

// The slots carry no time: a system whose group is missing from an epoch that reports
// satellites is cleared, or the report would show its last satellites forever. An epoch
// without any GSV sentence (a receiver that sends them less often) leaves the slots alone.
void Receiver::StoreSatellites(const std::vector<GSVInput> &epoch) {
    if (epoch.empty()) return;
    bool present[GNSS_GSV_SLOTS] = {};
    for (const GSVInput &input : PrimarySignalOnly(epoch)) {
        SetGNSSInfoToShareMemory(ENTRY_GSV, &input);
        present[input.System % GNSS_GSV_SLOTS] = true;
    }
    for (unsigned char system = 0; system < GNSS_GSV_SLOTS; ++system) {
        if (stored_[system] && !present[system]) ClearSlot(system);
        stored_[system] = present[system];
    }
}

bool Receiver::ServeMailbox(long long now_ms) {
    now_ms = Now(now_ms);
    if (powered_off_ || Restarting(now_ms)) return false;
    if (restarting_) ComeBack(now_ms);
    unsigned char mailbox[2] = {};
    if (GetMonitorOperate(mailbox) != 0 || static_cast<signed char>(mailbox[1]) != OP_EXE) return false;
    const OPERATE_STATE outcome = CarryOut(mailbox[0], now_ms);
    SetMonitorOperateState(outcome);  // any result entry is written by now
    return true;
}

OPERATE_STATE Receiver::CarryOut(unsigned char code, long long now_ms) {
    std::fprintf(log_, "receiversim: operation %d (%s): ", code, OperationName(code));
    OPERATE_STATE outcome = OP_SUCCESS;
    switch (code) {
        case ENTRY_SID_OP: {
            char id[17] = {};
            if (GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, id) != 0) {
                outcome = ReadFailed("the station identifier");
                break;
            }
            std::fprintf(log_, "base identifier \"%.16s\" taken into use", id);
            break;
        }
        case ENTRY_WMODE_OP:
            outcome = ChangeWorkMode();
            break;
        case ENTRY_PPS_OP:
            outcome = ReportSwitch("PPS output", ENTRY_PPS_ENABLE);
            break;
        case ENTRY_EVENT_OP:
            outcome = ReportSwitch("EVENT input", ENTRY_EVENT_ENABLE);
            break;
        case ENTRY_GPOS_OP:
            outcome = ReportPosition();
            break;
        case ENTRY_SMARTBASE_OP:
            std::fprintf(log_, "SmartBase list taken into use");
            break;
        case ENTRY_ANT_OP:
            outcome = TakeAntennaIntoUse();
            break;
        case ENTRY_REC1_OP:
        case ENTRY_REC2_OP:
            outcome = Recorders::TakeIntoUse(code == ENTRY_REC1_OP ? 1 : 2, log_);
            break;
        case ENTRY_REC1_STATE_OP:
        case ENTRY_REC2_STATE_OP:
            outcome = recorders_.ChangeState(code == ENTRY_REC1_STATE_OP ? 1 : 2, log_);
            break;
        case ENTRY_FORMAT_OP:
        case ENTRY_CLEANEPH_OP:
        case ENTRY_RESTORE_OP:
        case ENTRY_RESTART_OP:
        case ENTRY_SHUTDOWN_OP:
            outcome = Maintain(code, now_ms);
            break;
        default:
            if (TrackingOperationName(code) != nullptr) {
                outcome = TakeTrackingIntoUse(code, log_);
                break;
            }
            if (ChannelOperationName(code) != nullptr) {
                status_.Reconnect(code, now_ms);
                if (!TakeChannelIntoUse(code, log_)) {
                    std::fprintf(log_, " (its settings could not be read)");
                    outcome = OP_FAILED;
                }
                break;
            }
            std::fprintf(log_, "not supported");
            outcome = OP_FAILED;
            break;
    }
    std::fprintf(log_, "\n");
    std::fflush(log_);
    return outcome;
}

OPERATE_STATE Receiver::TakeAntennaIntoUse() {
    unsigned char block[sizeof(ReceiverConfigPara::ANTENNA_INFO)];
    if (GetReceiverConfigParaFromShareMemory(ENTRY_ANTENNA_INFO, block) != 0) return ReadFailed("the antenna");
    std::string antenna;
    const bool ok = DescribeAntenna(block, &antenna);
    std::fprintf(log_, "%s %s", ok ? "taken into use for the base station:" : "refused:", antenna.c_str());
    return ok ? OP_SUCCESS : OP_FAILED;
}

// What a receiver does for the maintenance operations (docs/receiver.md).
OPERATE_STATE Receiver::Maintain(unsigned char code, long long now_ms) {
    switch (code) {
        case ENTRY_FORMAT_OP:
            return recorders_.Format(log_);
        case ENTRY_CLEANEPH_OP:
            for (unsigned char system = 0; system < GNSS_GSV_SLOTS; ++system) {
                ClearSlot(system);
                stored_[system] = false;
            }
            std::fprintf(log_, "ephemerides and almanacs deleted; the satellites come back as they are acquired");
            return OP_SUCCESS;
        case ENTRY_RESTORE_OP:
            recorders_.StopAll(log_);
            if (base_running_) StopBase();
            WriteConfiguration(DefaultConfiguration());
            status_.Start(now_ms);  // every channel taken into use again
            std::fprintf(log_, "default configuration written and taken into use");
            return OP_SUCCESS;
        case ENTRY_RESTART_OP:
            recorders_.StopAll(log_);
            LiveStatus::Stop(false);
            restarting_ = true;
            back_at_ms_ = now_ms + options_.restart_ms;
            std::fprintf(log_, "restarting: its processes are back in %lld ms", options_.restart_ms);
            return OP_SUCCESS;
        default:  // ENTRY_SHUTDOWN_OP
            recorders_.StopAll(log_);
            LiveStatus::Stop(true);
            powered_off_ = true;
            std::fprintf(log_, "shutting down");
            return OP_SUCCESS;
    }
}

void Receiver::ComeBack(long long now_ms) {
    restarting_ = false;
    std::fprintf(log_, "receiversim: its processes are back after the restart\n");
    status_.Start(now_ms);
    recorders_.Start(log_);
}

OPERATE_STATE Receiver::ReadFailed(const char *what) {
    std::fprintf(log_, "could not read %s: nothing done", what);
    return OP_FAILED;
}

OPERATE_STATE Receiver::ReportSwitch(const char *what, unsigned char entry) {
    const auto stored = ReadConfig<unsigned char>(entry);
    if (!stored) return ReadFailed(what);
    std::fprintf(log_, "%s %s", what, *stored != 0 ? "on" : "off");
    return OP_SUCCESS;
}

OPERATE_STATE Receiver::ChangeWorkMode() {
    const auto stored_mode = ReadConfig<unsigned char>(ENTRY_WORK_MODE);
    const auto state = ReadMonitor<unsigned char>(ENTRY_STATION_STATE);
    if (!stored_mode || !state) return ReadFailed("the work mode and station state");
    const unsigned char mode = *stored_mode;
    if (base_running_ && *state == STATION_STOP) {
        StopBase();
        std::fprintf(log_, "base station stopped");
        return OP_SUCCESS;
    }
    switch (mode) {
        case STATION_MODE: {
            const auto point = ReadConfig<Coordinates>(ENTRY_STATION_POS);
            if (!point) return ReadFailed("the base position");
            StartBase(*point, "base station started at ");
            return OP_SUCCESS;
        }
        case SMARTBASE_MODE:
            return StartSmartBase();
        default:
            if (base_running_) StopBase();
            std::fprintf(log_, "work mode %d%s", mode, mode == AUTOBASE_MODE ? " (automatic base)" : "");
            return OP_SUCCESS;
    }
}

OPERATE_STATE Receiver::StartSmartBase() {
    const int chosen = rolekind::SelectStartupPosition();
    if (chosen == rolekind::kSelectionReadFailed) return ReadFailed("the position or the SmartBase list");
    WriteMonitorByte(ENTRY_SMARTBASE_ID, static_cast<unsigned char>(chosen));
    if (chosen == 0) {
        std::fprintf(log_, "SmartBase mode: no position fix, no station chosen");
        return OP_FAILED;
    }
    const auto station = ReadConfig<SmartBaseInfo>(rolekind::SmartBaseEntry(chosen));
    if (!station) return ReadFailed("the chosen SmartBase station");
    std::fprintf(log_, "SmartBase station %d \"%.16s\" chosen; ", chosen, station->id);
    StartBase(station->coordinate_point, "base station started at ");
    return OP_SUCCESS;
}

OPERATE_STATE Receiver::ReportPosition() {
    const auto read = ReadGga();
    if (!read) return ReadFailed("the position");
    const GGAInfo &gga = *read;
    Coordinates position;
    std::memset(&position, 0, sizeof position);  // cppcheck-suppress memsetClassFloat ; all-zero bytes are 0.0
    if (gga.fix_status != 0) {
        position.Latitude = gga.latitude;
        position.LatDirection = gga.latdir;
        position.Longitude = gga.longitude;
        position.LonDirection = gga.londir;
        position.Elevation = gga.altitude;
    }
    SetMonitorParaToShareMemory(ENTRY_CUR_POS, &position);
    if (gga.fix_status == 0) {
        std::fprintf(log_, "no position fix");
        return OP_FAILED;
    }
    std::fprintf(log_, "position %s", PointText(position).c_str());
    return OP_SUCCESS;
}

void Receiver::StartBase(const Coordinates &point, const char *what) {
    base_running_ = true;
    WriteMonitorByte(ENTRY_STATION_STATE, STATION_STARTUP);
    std::fprintf(log_, "%s%s", what, PointText(point).c_str());
}

void Receiver::StopBase() {
    base_running_ = false;
    stopped_once_ = true;
    WriteMonitorByte(ENTRY_STATION_STATE, STATION_STOP);
}

}  // namespace receiversim
