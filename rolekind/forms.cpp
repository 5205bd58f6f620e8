#include "forms.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "coordinates.h"
#include "json_build.h"
#include "records.h"
#include "request.h"
#include "sharememory.h"
#include "smartbase.h"
#include "station_id.h"

namespace rolekind {
namespace {

// ---- The members each form needs, checked before anything is written ----------------------

constexpr RequiredMember kBaseStartMembers[] = {
    {{"Station", "ID"}},
    {{"Station", "Coordinate", "Longitude", "DEG"}},
    {{"Station", "Coordinate", "Longitude", "MIN"}},
    {{"Station", "Coordinate", "Longitude", "SEC"}},
    {{"Station", "Coordinate", "Longitude", "HEM"}},
    {{"Station", "Coordinate", "Latitude", "DEG"}},
    {{"Station", "Coordinate", "Latitude", "MIN"}},
    {{"Station", "Coordinate", "Latitude", "SEC"}},
    {{"Station", "Coordinate", "Latitude", "HEM"}},
    {{"Station", "Height"}},
};

constexpr RequiredMember kBaseIdentifierMembers[] = {{{"ID"}}};

constexpr RequiredMember kRoverMembers[] = {{{"Rover", "PPS"}}, {{"Rover", "EVENT"}}};

constexpr RequiredMember kSinglePointMembers[] = {{{"SinglePoint", "PPS"}}, {{"SinglePoint", "EVENT"}}};

// The list form reads only "DEG" and "HEM" of an angle.
constexpr RequiredMember kListEditMembers[] = {
    {{"Station", "ID"}},
    {{"Station", "Coordinate", "Longitude", "DEG"}},
    {{"Station", "Coordinate", "Longitude", "HEM"}},
    {{"Station", "Coordinate", "Latitude", "DEG"}},
    {{"Station", "Coordinate", "Latitude", "HEM"}},
    {{"Station", "Height"}},
};

// ---- One request's state ------------------------------------------------------------------

struct Session {
    json_object *request;
    json_object *reply;
    // Work mode and switches as stored when the request began: unchanged settings are
    // neither written nor announced.
    unsigned char o_work_mode = 0;
    unsigned char o_pps_enable = 0;
    unsigned char o_event_enable = 0;
    std::string failure;  // set when a step could not be completed
};

using cgi::ReadConfigByte;
using cgi::ReadMonitorByte;
using cgi::WriteMonitorByte;

void Pause(unsigned int ms) {
    timespec pause{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) == -1) {
    }
}

// Announces a change to the receiver. Fails when the mailbox stays busy or its lock cannot
// be taken: the request then stops and writes nothing more.
bool Post(Session &session, OPERATE_ENTRY op) {
    if (PostMonitorOperate(op, kMailboxTimeoutMs) == 0) return true;
    session.failure = errno == EBUSY ? "the receiver did not take the operation: its mailbox stayed busy"
                                     : "could not post the operation: the monitor segment's lock was not free";
    return false;
}

// Stores one entry. A change that was not stored is never announced: a failure ends the
// request before anything more is written or posted.
bool StoreFailed(Session &session, const char *segment, unsigned char entry) {
    session.failure = std::string("could not write ") + segment + " entry " + std::to_string(entry);
    return false;
}

bool StoreConfig(Session &session, unsigned char entry, const void *data) {
    return SetReceiverConfigParaToShareMemory(entry, data) == 0 || StoreFailed(session, cgi::kConfigSegment, entry);
}

bool StoreConfigByte(Session &session, unsigned char entry, unsigned char value) {
    return StoreConfig(session, entry, &value);
}

bool StoreMonitorByte(Session &session, unsigned char entry, unsigned char value) {
    return WriteMonitorByte(entry, value) || StoreFailed(session, cgi::kMonitorSegment, entry);
}

bool IsText(const char *text, const char *expected) {
    return text != nullptr && std::strcmp(text, expected) == 0;
}

// "Modify" names a list position as a whole number from 1 to 30.
bool ParseListPosition(const char *text, int *position) {
    if (text == nullptr || *text == '\0') return false;
    int value = 0;
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + (*c - '0');
        if (value > kSmartBaseLastPosition) return false;
    }
    *position = value;
    return value >= kSmartBaseFirstPosition;
}

// What is wrong with the request before anything is touched; empty when it can be served.
std::string CheckRequest(json_object *request) {
    const char *key = MemberText(request, {"Key"});
    const char *modify = MemberText(request, {"Modify"});
    std::string missing;
    if (key != nullptr) {
        if (IsText(key, "2")) missing = FirstMissingMember(request, kBaseStartMembers);
        if (IsText(key, "4")) missing = FirstMissingMember(request, kBaseIdentifierMembers);
    } else if (modify == nullptr) {
        const char *mode = MemberText(request, {"Mode"});
        if (IsText(mode, "0")) missing = FirstMissingMember(request, kRoverMembers);
        if (IsText(mode, "2")) missing = FirstMissingMember(request, kSinglePointMembers);
    }
    if (missing.empty() && modify != nullptr) missing = FirstMissingMember(request, kListEditMembers);
    if (!missing.empty()) return "missing " + missing;
    int position = 0;
    if (modify != nullptr && !ParseListPosition(modify, &position)) return "Modify must be a whole number from 1 to 30";
    return {};
}

json_object *StationObject(json_object *reply) {
    json_object *station = json_object_new_object();
    cgi::Add(reply, "Station", station);
    return station;
}

// ---- Base requests ("Key") ----------------------------------------------------------------

bool WriteStationIdentifier(Session &session, const char *text) {
    char str[kIdentifierBytes];
    CopyIdentifier(str, text);
    return StoreConfig(session, ENTRY_STATION_ID, str) && Post(session, ENTRY_SID_OP);
}

bool ServePositionQuery(Session &session) {
    if (!Post(session, ENTRY_GPOS_OP)) return false;
    if (WaitMonitorOperateIdle(kMailboxTimeoutMs) != 0) {
        session.failure = "the receiver did not report its position in time";
        return false;
    }
    const auto position = cgi::ReadMonitorEntry<Coordinates>(ENTRY_CUR_POS);
    json_object *station = StationObject(session.reply);
    cgi::Add(station, "Coordinate", CoordinateObject(position, AngleForm::Base));
    cgi::Add(station, "Height", HeightText(position.Elevation));
    return true;
}

bool ServeBaseStart(Session &session) {
    json_object *request_station = MemberObject(session.request, {"Station"});
    if (!WriteStationIdentifier(session, MemberText(request_station, {"ID"}))) return false;

    auto position = cgi::ZeroRecord<Coordinates>();
    ReadAngle(MemberObject(request_station, {"Coordinate", "Longitude"}), AngleForm::Base, &position.Longitude,
              &position.LonDirection);
    ReadAngle(MemberObject(request_station, {"Coordinate", "Latitude"}), AngleForm::Base, &position.Latitude,
              &position.LatDirection);
    position.Elevation = TextToDouble(MemberText(request_station, {"Height"}));
    if (!StoreConfig(session, ENTRY_STATION_POS, &position) ||
        !StoreConfigByte(session, ENTRY_WORK_MODE, STATION_MODE) || !Post(session, ENTRY_WMODE_OP))
        return false;
    // The receiver reports the running base station in this entry once it has started it.
    if (!StoreMonitorByte(session, ENTRY_STATION_STATE, STATION_NULL)) return false;
    cgi::AddInt(StationObject(session.reply), "StationState", 1);
    Pause(kSettleMs);
    return true;
}

bool ServeBaseStop(Session &session) {
    if (!StoreMonitorByte(session, ENTRY_STATION_STATE, STATION_STOP) || !Post(session, ENTRY_WMODE_OP)) return false;
    cgi::AddInt(StationObject(session.reply), "StationState", 0);
    return true;
}

bool ServeBaseIdentifier(Session &session) {
    if (!WriteStationIdentifier(session, MemberText(session.request, {"ID"}))) return false;
    StationObject(session.reply);
    return true;
}

bool ServeBaseRequest(Session &session, const char *key) {
    if (IsText(key, "1")) return ServePositionQuery(session);
    if (IsText(key, "2")) return ServeBaseStart(session);
    if (IsText(key, "3")) return ServeBaseStop(session);
    if (IsText(key, "4")) return ServeBaseIdentifier(session);
    StationObject(session.reply);  // any other key does nothing
    return true;
}

// ---- Mode change ("Mode") -------------------------------------------------------------------

bool UpdateSwitch(Session &session, const char *text, unsigned char entry, unsigned char *stored, OPERATE_ENTRY op) {
    const unsigned char enable = IsText(text, "ON") ? 1 : 0;
    if (enable == *stored) return true;
    if (!StoreConfigByte(session, entry, enable)) return false;
    *stored = enable;
    return Post(session, op);
}

// PPS and EVENT of the rover or single-point object; "CLK" has no effect.
bool UpdateSwitches(Session &session, const char *object_name) {
    if (!UpdateSwitch(session, MemberText(session.request, {object_name, "PPS"}), ENTRY_PPS_ENABLE,
                      &session.o_pps_enable, ENTRY_PPS_OP))
        return false;
    return UpdateSwitch(session, MemberText(session.request, {object_name, "EVENT"}), ENTRY_EVENT_ENABLE,
                        &session.o_event_enable, ENTRY_EVENT_OP);
}

bool StartSmartBase(Session &session) {
    if (!StoreConfigByte(session, ENTRY_WORK_MODE, SMARTBASE_MODE) || !Post(session, ENTRY_WMODE_OP)) return false;
    Pause(kSettleMs);  // the receiver chooses the station in the meantime
    cgi::AddInt(StationObject(session.reply), "StationNum", ReadMonitorByte(ENTRY_SMARTBASE_ID));
    return true;
}

bool ServeModeChange(Session &session, const char *mode) {
    const auto work_mode = static_cast<unsigned char>(TextToInteger(mode) & 0xFF);
    if (work_mode != session.o_work_mode) {
        if (!StoreConfigByte(session, ENTRY_WORK_MODE, work_mode)) return false;
        session.o_work_mode = work_mode;
        if (!Post(session, ENTRY_WMODE_OP)) return false;
    }
    if (IsText(mode, "0") || IsText(mode, "2")) {
        if (!UpdateSwitches(session, IsText(mode, "0") ? "Rover" : "SinglePoint")) return false;
        cgi::AddString(session.reply, "Res", "Success");
        return true;
    }
    if (IsText(mode, "3")) return StartSmartBase(session);
    return true;  // any other mode: the empty document
}

// ---- List edit ("Modify") ---------------------------------------------------------------------

bool ServeListEdit(Session &session) {
    int position = 0;
    ParseListPosition(MemberText(session.request, {"Modify"}), &position);  // checked before
    const SmartBaseInfo station = SmartBaseFromRequest(MemberObject(session.request, {"Station"}));
    if (!StoreConfig(session, SmartBaseEntry(position), &station) || !Post(session, ENTRY_SMARTBASE_OP)) return false;
    cgi::AddString(session.reply, "Res", "Success");
    return true;
}

// ---- Status report ----------------------------------------------------------------------------

const char *OnOff(unsigned char enable) {
    return enable != 0 ? "ON" : "OFF";
}

json_object *SwitchObject(unsigned char pps, unsigned char event, const char *clk) {
    json_object *object = json_object_new_object();
    cgi::AddString(object, "PPS", OnOff(pps));
    cgi::AddString(object, "EVENT", OnOff(event));
    cgi::AddString(object, "CLK", clk);
    return object;
}

json_object *ConfiguredStation() {
    char str[kIdentifierBytes] = {};
    cgi::NoteRead(GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, str), cgi::kConfigSegment, ENTRY_STATION_ID);
    const auto position = cgi::ReadConfigEntry<Coordinates>(ENTRY_STATION_POS);
    json_object *station = json_object_new_object();
    cgi::AddText(station, "ID", str);
    cgi::Add(station, "Coordinate", CoordinateObject(position, AngleForm::Base));
    cgi::Add(station, "Height", HeightText(position.Elevation));
    cgi::AddInt(station, "StationState", ReadMonitorByte(ENTRY_STATION_STATE) == STATION_STARTUP ? 1 : 0);
    return station;
}

void AddStatusReport(json_object *reply) {
    const unsigned char pps = ReadConfigByte(ENTRY_PPS_ENABLE);
    const unsigned char event = ReadConfigByte(ENTRY_EVENT_ENABLE);
    cgi::AddInt(reply, "Mode", ReadConfigByte(ENTRY_WORK_MODE));
    cgi::Add(reply, "Rover", SwitchObject(pps, event, "OFF"));
    cgi::Add(reply, "Station", ConfiguredStation());
    cgi::Add(reply, "SinglePoint", SwitchObject(pps, event, "ON"));
    for (int position = kSmartBaseFirstPosition; position <= kSmartBaseLastPosition; ++position)
        cgi::Add(reply, SmartBaseKey(position), SmartBaseObject(position));
}

bool Dispatch(Session &session) {
    const char *key = MemberText(session.request, {"Key"});
    const bool modify = MemberText(session.request, {"Modify"}) != nullptr;
    if (key != nullptr) return ServeBaseRequest(session, key) && (!modify || ServeListEdit(session));
    if (modify) return ServeListEdit(session);
    if (const char *mode = MemberText(session.request, {"Mode"})) return ServeModeChange(session, mode);
    AddStatusReport(session.reply);
    return true;
}

}  // namespace

cgi::JsonPtr ServeRequest(json_object *request) {
    cgi::JsonPtr reply{json_object_new_object()};
    // The stored settings are read first, in this order, for every request.
    const unsigned char work_mode = ReadConfigByte(ENTRY_WORK_MODE);
    const unsigned char pps_enable = ReadConfigByte(ENTRY_PPS_ENABLE);
    const unsigned char event_enable = ReadConfigByte(ENTRY_EVENT_ENABLE);
    Session session{request, reply.get(), work_mode, pps_enable, event_enable, {}};
    // Nothing is changed on the strength of settings that could not be read.
    if (const std::string failure = cgi::ReadFailure(); !failure.empty()) return cgi::FailedReply(failure);

    if (const std::string problem = CheckRequest(request); !problem.empty()) return cgi::FailedReply(problem);
    if (!Dispatch(session)) return cgi::FailedReply(session.failure);
    // A report with a record that could not be read would show zeros as the receiver's state.
    if (const std::string failure = cgi::ReadFailure(); !failure.empty()) return cgi::FailedReply(failure);
    return reply;
}

}  // namespace rolekind
