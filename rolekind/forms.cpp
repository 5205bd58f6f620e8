#include "forms.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <span>
#include <string>

#include "clock.h"
#include "coordinates.h"
#include "json_writer.h"
#include "records.h"
#include "request.h"
#include "sharememory.h"
#include "smartbase.h"
#include "station_id.h"
#include "status_report.h"

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
    int position = 0;
    ParseListPosition(MemberText(session.request, {"Modify"}), &position);  // checked with the form
    const SmartBaseInfo station = SmartBaseFromRequest(MemberObject(session.request, {"Station"}));
    if (!StoreConfig(session, SmartBaseEntry(position), &station) || !Post(session, ENTRY_SMARTBASE_OP)) return false;
    WriteSuccess(session);
    return true;
}

// ---- The forms ---------------------------------------------------------------------------------

// One row per form: the selector member and the value that pick it (null: any other value),
// the members it needs (checked before anything is written), and its handler. A request's
// "Key" picks the first matching Key row, then "Modify" its row as well; without either,
// "Mode" picks a Mode row; a request with none of them gets the status report.
struct FormRow {
    const char *selector;
    const char *value;
    std::span<const RequiredMember> required;
    bool (*serve)(Session &);
};

constexpr FormRow kForms[] = {
    {"Key", "1", {}, ServePositionQuery},
    {"Key", "2", kBaseStartMembers, ServeBaseStart},
    {"Key", "3", {}, ServeBaseStop},
    {"Key", "4", kBaseIdentifierMembers, ServeBaseIdentifier},
    {"Key", nullptr, {}, ServeOtherKey},
    {"Modify", nullptr, kListEditMembers, ServeListEdit},
    {"Mode", "0", kRoverMembers, ServeRoverMode},
    {"Mode", "2", kSinglePointMembers, ServeSinglePointMode},
    {"Mode", "3", {}, ServeSmartBaseMode},
    {"Mode", nullptr, {}, ServeOtherMode},
};
static_assert(FormTableComplete(kForms), "every form has a selector and a handler, and each selector a catch-all row");

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

// What is wrong with the request before anything is touched; empty when it can be served.
std::string CheckRequest(json_object *request, const Selection &selection) {
    for (int i = 0; i < selection.count; ++i)
        if (std::string missing = FirstMissingMember(request, selection.rows[i]->required); !missing.empty())
            return "missing " + missing;
    int position = 0;
    const char *modify = MemberText(request, {"Modify"});
    if (modify != nullptr && !ParseListPosition(modify, &position)) return "Modify must be a whole number from 1 to 30";
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
