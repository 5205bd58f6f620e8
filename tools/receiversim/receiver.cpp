#include "receiver.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>

#include "channels.h"
#include "clock.h"
#include "nmea.h"
#include "records.h"
#include "selection.h"

namespace receiversim {
namespace {

using cgi::ReadConfigByte;
using cgi::ReadMonitorByte;
using cgi::WriteMonitorByte;

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
        default: {
            const char *channel = ChannelOperationName(code);
            return channel != nullptr ? channel : "unknown";
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

}  // namespace

double DegreesToNmea(double degrees) {
    const double magnitude = std::fabs(degrees);
    const double whole = std::floor(magnitude);
    return whole * 100 + (magnitude - whole) * 60;
}

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

GGAInfo PositionSource::Next(std::vector<GSVInput> *gsv) {
    if (lines_.empty()) {
        fixed_.utc = UtcNow();
        return fixed_;
    }
    // Advance to the next GGA of the log, looping at its end; GSV sentences on the way go along.
    for (std::size_t seen = 0; seen < lines_.size(); ++seen) {
        const std::string &line = lines_[cursor_];
        cursor_ = (cursor_ + 1) % lines_.size();
        if (auto input = ParseGsv(line)) gsv->push_back(*input);
        if (auto gga = ParseGga(line)) return *gga;
    }
    return fixed_;
}

void Receiver::Tick() {
    std::vector<GSVInput> gsv;
    current_ = source_.Next(&gsv);
    SetGNSSInfoToShareMemory(ENTRY_GGA, &current_);
    SetGNSSInfoToShareMemory(ENTRY_GGA_MSG, FormatGga(current_).c_str());
    for (const GSVInput &input : FirstSignalOnly(gsv)) SetGNSSInfoToShareMemory(ENTRY_GSV, &input);
    // The channels send their messages with every sample; the time words follow (milliseconds).
    StampChannelMessages(static_cast<unsigned int>(grshm::MonotonicMs()));

    // Keep the base station state current. A stop request writes STATION_STOP before it
    // posts; while the base still runs that value is left for the operation to see.
    const unsigned char state = ReadMonitorByte(ENTRY_STATION_STATE);
    if (base_running_ && state != STATION_STOP && state != STATION_STARTUP)
        WriteMonitorByte(ENTRY_STATION_STATE, STATION_STARTUP);
    if (!base_running_ && stopped_once_ && state != STATION_STOP) WriteMonitorByte(ENTRY_STATION_STATE, STATION_STOP);
}

bool Receiver::ServeMailbox() {
    unsigned char mailbox[2] = {};
    if (GetMonitorOperate(mailbox) != 0 || static_cast<signed char>(mailbox[1]) != OP_EXE) return false;
    const OPERATE_STATE outcome = CarryOut(mailbox[0]);
    SetMonitorOperateState(outcome);  // any result entry is written by now
    return true;
}

OPERATE_STATE Receiver::CarryOut(unsigned char code) {
    std::fprintf(log_, "receiversim: operation %d (%s): ", code, OperationName(code));
    OPERATE_STATE outcome = OP_SUCCESS;
    switch (code) {
        case ENTRY_SID_OP: {
            char id[17] = {};
            GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, id);
            std::fprintf(log_, "base identifier \"%s\" taken into use", id);
            break;
        }
        case ENTRY_WMODE_OP:
            outcome = ChangeWorkMode();
            break;
        case ENTRY_PPS_OP:
            std::fprintf(log_, "PPS output %s", ReadConfigByte(ENTRY_PPS_ENABLE) ? "on" : "off");
            break;
        case ENTRY_EVENT_OP:
            std::fprintf(log_, "EVENT input %s", ReadConfigByte(ENTRY_EVENT_ENABLE) ? "on" : "off");
            break;
        case ENTRY_GPOS_OP:
            outcome = ReportPosition();
            break;
        case ENTRY_SMARTBASE_OP:
            std::fprintf(log_, "SmartBase list taken into use");
            break;
        default:
            if (ChannelOperationName(code) != nullptr) {
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

OPERATE_STATE Receiver::ChangeWorkMode() {
    const unsigned char mode = ReadConfigByte(ENTRY_WORK_MODE);
    if (base_running_ && ReadMonitorByte(ENTRY_STATION_STATE) == STATION_STOP) {
        StopBase();
        std::fprintf(log_, "base station stopped");
        return OP_SUCCESS;
    }
    switch (mode) {
        case STATION_MODE: {
            auto point = cgi::ZeroRecord<Coordinates>();
            GetReceiverConfigParaFromShareMemory(ENTRY_STATION_POS, &point);
            StartBase(point, "base station started at ");
            return OP_SUCCESS;
        }
        case SMARTBASE_MODE: {
            const unsigned char chosen = SelectBaseStationStartupCoordinate();
            WriteMonitorByte(ENTRY_SMARTBASE_ID, chosen);
            if (chosen == 0) {
                std::fprintf(log_, "SmartBase mode: no position fix, no station chosen");
                return OP_FAILED;
            }
            auto station = cgi::ZeroRecord<SmartBaseInfo>();
            GetReceiverConfigParaFromShareMemory(static_cast<unsigned char>(ENTRY_SMARTBASE1_CONFIG + chosen - 1),
                                                 &station);
            std::fprintf(log_, "SmartBase station %d \"%.16s\" chosen; ", chosen, station.id);
            StartBase(station.coordinate_point, "base station started at ");
            return OP_SUCCESS;
        }
        default:
            if (base_running_) StopBase();
            std::fprintf(log_, "work mode %d%s", mode, mode == AUTOBASE_MODE ? " (automatic base)" : "");
            return OP_SUCCESS;
    }
}

OPERATE_STATE Receiver::ReportPosition() {
    auto gga = cgi::ZeroRecord<GGAInfo>();
    GetGNSSInfoFromShareMemory(ENTRY_GGA, &gga);
    auto position = cgi::ZeroRecord<Coordinates>();
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
