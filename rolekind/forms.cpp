#include "forms.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <span>
#include <string>
#include <utility>

#include "clock.h"
#include "coordinates.h"
#include "json_writer.h"
#include "records.h"
#include "request.h"
#include "sharememory.h"
#include "smartbase.h"
#include "station_id.h"
#include "status_report.h"
#include "value_rules.h"

namespace rolekind {
namespace {

// ---- The members each form reads, and the rule each value keeps, checked before anything is
// written ------------------------------------------------------------------------------------

constexpr MemberRule kBaseStartMembers[] = {
    {{"Station", "ID"}, ValueRule::Identifier},
    {{"Station", "Coordinate", "Longitude", "DEG"}, ValueRule::LongitudeDegrees},
    {{"Station", "Coordinate", "Longitude", "MIN"}, ValueRule::Minutes},
    {{"Station", "Coordinate", "Longitude", "SEC"}, ValueRule::Seconds},
    {{"Station", "Coordinate", "Longitude", "HEM"}, ValueRule::LongitudeHemisphere},
    {{"Station", "Coordinate", "Latitude", "DEG"}, ValueRule::LatitudeDegrees},
    {{"Station", "Coordinate", "Latitude", "MIN"}, ValueRule::Minutes},
    {{"Station", "Coordinate", "Latitude", "SEC"}, ValueRule::Seconds},
    {{"Station", "Coordinate", "Latitude", "HEM"}, ValueRule::LatitudeHemisphere},
    {{"Station", "Height"}, ValueRule::Height},
};

constexpr MemberRule kBaseIdentifierMembers[] = {{{"ID"}, ValueRule::Identifier}};

constexpr MemberRule kRoverMembers[] = {{{"Rover", "PPS"}, ValueRule::AnyText},
                                        {{"Rover", "EVENT"}, ValueRule::AnyText}};

constexpr MemberRule kSinglePointMembers[] = {{{"SinglePoint", "PPS"}, ValueRule::AnyText},
                                              {{"SinglePoint", "EVENT"}, ValueRule::AnyText}};

// The list form reads only "DEG" and "HEM" of an angle. All of them empty empties the position.
constexpr MemberRule kListEditMembers[] = {
    {{"Station", "ID"}, ValueRule::StationName},
    {{"Station", "Coordinate", "Longitude", "DEG"}, ValueRule::PackedLongitude},
    {{"Station", "Coordinate", "Longitude", "HEM"}, ValueRule::LongitudeHemisphere},
    {{"Station", "Coordinate", "Latitude", "DEG"}, ValueRule::PackedLatitude},
    {{"Station", "Coordinate", "Latitude", "HEM"}, ValueRule::LatitudeHemisphere},
    {{"Station", "Height"}, ValueRule::Height},
};

// A base-form angle is at most 90 or 180 degrees as a whole: at the limit, no minutes or seconds.
std::string BaseAnglesWithinLimits(json_object *request) {
    for (const auto &[name, limit] : {std::pair<const char *, int>{"Longitude", 180}, {"Latitude", 90}}) {
        if (WholeValue(MemberText(request, {"Station", "Coordinate", name, "DEG"})) < limit) continue;
        if (WholeValue(MemberText(request, {"Station", "Coordinate", name, "MIN"})) > 0 ||
            DecimalValue(MemberText(request, {"Station", "Coordinate", name, "SEC"})) > 0)
            return std::string("Station.Coordinate.") + name + " must be at most " + std::to_string(limit) + " degrees";
    }
    return {};
}

// ---- One request's state ------------------------------------------------------------------

struct Session {
    json_object *request;
    cgi::JsonWriter &reply;  // the reply object, open
    // Work mode and switches as stored when the request began: unchanged settings are
    // neither written nor announced.
    unsigned char o_work_mode = 0;
    unsigned char o_pps_enable = 0;
    unsigned char o_event_enable = 0;
    std::string failure;  // set when a step could not be completed
};

using cgi::ReadConfigByte;
using cgi::ReadMonitorByte;

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
    return SetMonitorParaToShareMemory(entry, &value) == 0 || StoreFailed(session, cgi::kMonitorSegment, entry);
}

bool IsText(const char *text, const char *expected) {
    return text != nullptr && std::strcmp(text, expected) == 0;
}

// "Station": { key: value }, or "Station": { } without a key.
void WriteStation(Session &session, const char *key = nullptr, int value = 0) {
    session.reply.Key("Station");
    session.reply.BeginObject();
    if (key != nullptr) {
        session.reply.Key(key);
        session.reply.Int(value);
    }
    session.reply.EndObject();
}

void WriteSuccess(Session &session) {
    session.reply.Key("Res");
    session.reply.String("Success");
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
    session.reply.Key("Station");
    session.reply.BeginObject();
    session.reply.Key("Coordinate");
    WriteCoordinate(session.reply, position, AngleForm::Base);
    session.reply.Key("Height");
    WriteHeight(session.reply, position.Elevation);
    session.reply.EndObject();
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
    WriteStation(session, "StationState", 1);
    grshm::SleepMs(kSettleMs, true);
    return true;
}

bool ServeBaseStop(Session &session) {
    if (!StoreMonitorByte(session, ENTRY_STATION_STATE, STATION_STOP) || !Post(session, ENTRY_WMODE_OP)) return false;
    WriteStation(session, "StationState", 0);
    return true;
}

bool ServeBaseIdentifier(Session &session) {
    if (!WriteStationIdentifier(session, MemberText(session.request, {"ID"}))) return false;
    WriteStation(session);
    return true;
}

bool ServeOtherKey(Session &session) {
    WriteStation(session);  // any other key does nothing
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
    grshm::SleepMs(kSettleMs, true);  // the receiver chooses the station in the meantime
    WriteStation(session, "StationNum", ReadMonitorByte(ENTRY_SMARTBASE_ID));
    return true;
}

// Every mode change first stores and announces the work mode, when it differs.
bool StoreWorkMode(Session &session) {
    const auto work_mode = static_cast<unsigned char>(TextToInteger(MemberText(session.request, {"Mode"})) & 0xFF);
    if (work_mode == session.o_work_mode) return true;
    if (!StoreConfigByte(session, ENTRY_WORK_MODE, work_mode)) return false;
    session.o_work_mode = work_mode;
    return Post(session, ENTRY_WMODE_OP);
}

bool ServeSwitchMode(Session &session, const char *object_name) {
    if (!StoreWorkMode(session) || !UpdateSwitches(session, object_name)) return false;
    WriteSuccess(session);
    return true;
}

bool ServeRoverMode(Session &session) {
    return ServeSwitchMode(session, "Rover");
}

bool ServeSinglePointMode(Session &session) {
    return ServeSwitchMode(session, "SinglePoint");
}

bool ServeSmartBaseMode(Session &session) {
    return StoreWorkMode(session) && StartSmartBase(session);
}

bool ServeOtherMode(Session &session) {
    return StoreWorkMode(session);  // any other mode: the empty document
}

// ---- List edit ("Modify") ---------------------------------------------------------------------

bool ServeListEdit(Session &session) {
    const int position = WholeValue(MemberText(session.request, {"Modify"}));  // checked with the form
    const SmartBaseInfo station = SmartBaseFromRequest(MemberObject(session.request, {"Station"}));
    if (!StoreConfig(session, SmartBaseEntry(position), &station) || !Post(session, ENTRY_SMARTBASE_OP)) return false;
    WriteSuccess(session);
    return true;
}

// ---- The forms ---------------------------------------------------------------------------------

// One row per form: the selector member and the value that pick it (null: any other value) with
// the rule the selector's value keeps, the members the form reads with theirs, whether those
// may all be empty (which empties a list position), a check of members taken together, and
// the handler. Everything is checked before anything is written. A request's "Key" picks the
// first matching Key row, then "Modify" its row as well; without either, "Mode" picks a Mode
// row; a request with none of them gets the status report.
struct FormRow {
    const char *selector;
    const char *value;
    ValueRule selector_rule;
    std::span<const MemberRule> members;
    bool may_be_empty;
    std::string (*check_together)(json_object *request);
    bool (*serve)(Session &);
};

constexpr FormRow kForms[] = {
    {"Key", "1", ValueRule::AnyText, {}, false, nullptr, ServePositionQuery},
    {"Key", "2", ValueRule::AnyText, kBaseStartMembers, false, BaseAnglesWithinLimits, ServeBaseStart},
    {"Key", "3", ValueRule::AnyText, {}, false, nullptr, ServeBaseStop},
    {"Key", "4", ValueRule::AnyText, kBaseIdentifierMembers, false, nullptr, ServeBaseIdentifier},
    {"Key", nullptr, ValueRule::AnyText, {}, false, nullptr, ServeOtherKey},
    {"Modify", nullptr, ValueRule::ListPosition, kListEditMembers, true, nullptr, ServeListEdit},
    {"Mode", "0", ValueRule::WorkMode, kRoverMembers, false, nullptr, ServeRoverMode},
    {"Mode", "2", ValueRule::WorkMode, kSinglePointMembers, false, nullptr, ServeSinglePointMode},
    {"Mode", "3", ValueRule::WorkMode, {}, false, nullptr, ServeSmartBaseMode},
    {"Mode", nullptr, ValueRule::WorkMode, {}, false, nullptr, ServeOtherMode},
};
// The first row of a selector that matches the request's value of it.
const FormRow *MatchingRow(const char *selector, const char *value) {
    for (const FormRow &row : kForms)
        if (std::strcmp(row.selector, selector) == 0 && (row.value == nullptr || IsText(value, row.value))) return &row;
    return nullptr;
}

// The rows a request selects, in the order they are served (at most two: a Key form, then a
// list edit).
struct Selection {
    const FormRow *rows[2] = {};
    int count = 0;
};

Selection SelectForms(json_object *request) {
    Selection selection;
    const char *key = MemberText(request, {"Key"});
    const char *modify = MemberText(request, {"Modify"});
    if (key != nullptr) selection.rows[selection.count++] = MatchingRow("Key", key);
    if (modify != nullptr) selection.rows[selection.count++] = MatchingRow("Modify", modify);
    if (selection.count == 0)
        if (const char *mode = MemberText(request, {"Mode"}))
            selection.rows[selection.count++] = MatchingRow("Mode", mode);
    return selection;
}

// What is wrong with one selected form's members; empty when it can be served.
std::string CheckForm(json_object *request, const FormRow &row) {
    const MemberRule selector[] = {{{row.selector}, row.selector_rule}};
    if (std::string problem = FirstUnsoundMember(request, selector); !problem.empty()) return problem;
    if (row.may_be_empty && AllEmpty(request, row.members)) return {};
    if (std::string problem = FirstUnsoundMember(request, row.members); !problem.empty()) return problem;
    return row.check_together == nullptr ? std::string() : row.check_together(request);
}

// What is wrong with the request before anything is touched; empty when it can be served.
std::string CheckRequest(json_object *request, const Selection &selection) {
    for (int i = 0; i < selection.count; ++i)
        if (std::string problem = CheckForm(request, *selection.rows[i]); !problem.empty()) return problem;
    return {};
}

// Without a form, the reply is the status report.
bool Dispatch(Session &session, const Selection &selection) {
    if (selection.count == 0) {
        WriteStatusReport(session.reply, {session.o_work_mode, session.o_pps_enable, session.o_event_enable});
        return true;
    }
    session.reply.BeginObject();
    for (int i = 0; i < selection.count; ++i)
        if (!selection.rows[i]->serve(session)) return false;
    session.reply.EndObject();
    return true;
}

// Whatever was written is replaced by { "Res": "Failed", "Error": error }.
void Fail(cgi::JsonWriter &reply, const std::string &error) {
    reply.Clear();
    cgi::WriteFailed(reply, error);
}

}  // namespace

void ServeRequest(json_object *request, cgi::JsonWriter &reply) {
    // The stored settings are read first, in this order, for every request.
    const unsigned char work_mode = ReadConfigByte(ENTRY_WORK_MODE);
    const unsigned char pps_enable = ReadConfigByte(ENTRY_PPS_ENABLE);
    const unsigned char event_enable = ReadConfigByte(ENTRY_EVENT_ENABLE);
    Session session{request, reply, work_mode, pps_enable, event_enable, {}};
    // Nothing is changed on the strength of settings that could not be read.
    if (const std::string failure = cgi::ReadFailure(); !failure.empty()) return Fail(reply, failure);

    const Selection selection = SelectForms(request);
    if (const std::string problem = CheckRequest(request, selection); !problem.empty()) return Fail(reply, problem);
    if (!Dispatch(session, selection)) return Fail(reply, session.failure);
    // A report with a record that could not be read would show zeros as the receiver's state.
    if (const std::string failure = cgi::ReadFailure(); !failure.empty()) return Fail(reply, failure);
}

}  // namespace rolekind
