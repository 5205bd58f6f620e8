#include "forms.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <iterator>
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
    {Member::StationId, ValueRule::Identifier},
    {Member::LongitudeDegrees, ValueRule::LongitudeDegrees},
    {Member::LongitudeMinutes, ValueRule::Minutes},
    {Member::LongitudeSeconds, ValueRule::Seconds},
    {Member::LongitudeHemisphere, ValueRule::LongitudeHemisphere},
    {Member::LatitudeDegrees, ValueRule::LatitudeDegrees},
    {Member::LatitudeMinutes, ValueRule::Minutes},
    {Member::LatitudeSeconds, ValueRule::Seconds},
    {Member::LatitudeHemisphere, ValueRule::LatitudeHemisphere},
    {Member::Height, ValueRule::Height},
};

constexpr MemberRule kBaseIdentifierMembers[] = {{Member::Identifier, ValueRule::Identifier}};

constexpr MemberRule kRoverMembers[] = {{Member::RoverPps, ValueRule::AnyText},
                                        {Member::RoverEvent, ValueRule::AnyText}};

constexpr MemberRule kSinglePointMembers[] = {{Member::SinglePointPps, ValueRule::AnyText},
                                              {Member::SinglePointEvent, ValueRule::AnyText}};

// The list form reads only "DEG" and "HEM" of an angle. All of them empty empties the position.
constexpr MemberRule kListEditMembers[] = {
    {Member::StationId, ValueRule::StationName},
    {Member::LongitudeDegrees, ValueRule::PackedLongitude},
    {Member::LongitudeHemisphere, ValueRule::LongitudeHemisphere},
    {Member::LatitudeDegrees, ValueRule::PackedLatitude},
    {Member::LatitudeHemisphere, ValueRule::LatitudeHemisphere},
    {Member::Height, ValueRule::Height},
};

// A base-form angle is at most 90 or 180 degrees as a whole: at the limit, no minutes or seconds.
std::string BaseAnglesWithinLimits(const CheckedRequest &request) {
    for (const auto &[angle, limit] : {std::pair{kLongitudeMembers, 180}, std::pair{kLatitudeMembers, 90}}) {
        if (request.Number(angle.degrees) < limit) continue;
        if (request.Number(angle.minutes) > 0 || request.Number(angle.seconds) > 0)
            return DottedPath(angle.degrees).substr(0, DottedPath(angle.degrees).rfind('.')) + " must be at most " +
                   std::to_string(limit) + " degrees";
    }
    return {};
}

// ---- One request's state ------------------------------------------------------------------

struct Session {
    const CheckedRequest &request;  // the members the chosen forms read, checked
    cgi::JsonWriter &reply;         // the reply object, open
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
    if (!WriteStationIdentifier(session, session.request.Text(Member::StationId))) return false;

    auto position = cgi::ZeroRecord<Coordinates>();
    ReadAngle(session.request, kLongitudeMembers, AngleForm::Base, &position.Longitude, &position.LonDirection);
    ReadAngle(session.request, kLatitudeMembers, AngleForm::Base, &position.Latitude, &position.LatDirection);
    position.Elevation = session.request.Number(Member::Height);
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
    if (!WriteStationIdentifier(session, session.request.Text(Member::Identifier))) return false;
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
bool UpdateSwitches(Session &session, Member pps, Member event) {
    if (!UpdateSwitch(session, session.request.Text(pps), ENTRY_PPS_ENABLE, &session.o_pps_enable, ENTRY_PPS_OP))
        return false;
    return UpdateSwitch(session, session.request.Text(event), ENTRY_EVENT_ENABLE, &session.o_event_enable,
                        ENTRY_EVENT_OP);
}

bool StartSmartBase(Session &session) {
    if (!StoreConfigByte(session, ENTRY_WORK_MODE, SMARTBASE_MODE) || !Post(session, ENTRY_WMODE_OP)) return false;
    grshm::SleepMs(kSettleMs, true);  // the receiver chooses the station in the meantime
    WriteStation(session, "StationNum", ReadMonitorByte(ENTRY_SMARTBASE_ID));
    return true;
}

// Every mode change first stores and announces the work mode, when it differs.
bool StoreWorkMode(Session &session) {
    const auto work_mode = static_cast<unsigned char>(session.request.Number(Member::Mode));  // checked: 0 to 4
    if (work_mode == session.o_work_mode) return true;
    if (!StoreConfigByte(session, ENTRY_WORK_MODE, work_mode)) return false;
    session.o_work_mode = work_mode;
    return Post(session, ENTRY_WMODE_OP);
}

bool ServeSwitchMode(Session &session, Member pps, Member event) {
    if (!StoreWorkMode(session) || !UpdateSwitches(session, pps, event)) return false;
    WriteSuccess(session);
    return true;
}

bool ServeRoverMode(Session &session) {
    return ServeSwitchMode(session, Member::RoverPps, Member::RoverEvent);
}

bool ServeSinglePointMode(Session &session) {
    return ServeSwitchMode(session, Member::SinglePointPps, Member::SinglePointEvent);
}

bool ServeSmartBaseMode(Session &session) {
    return StoreWorkMode(session) && StartSmartBase(session);
}

bool ServeOtherMode(Session &session) {
    return StoreWorkMode(session);  // any other mode: the empty document
}

// ---- List edit ("Modify") ---------------------------------------------------------------------

bool ServeListEdit(Session &session) {
    const auto position = static_cast<int>(session.request.Number(Member::Modify));  // checked: 1 to 30
    const SmartBaseInfo station = SmartBaseFromRequest(session.request);
    if (!StoreConfig(session, SmartBaseEntry(position), &station) || !Post(session, ENTRY_SMARTBASE_OP)) return false;
    WriteSuccess(session);
    return true;
}

// ---- The forms ---------------------------------------------------------------------------------

// One row per form: the selector member and the value that pick it (null: any other value) with
// the rule the selector's value keeps, the members the form reads with theirs, whether those
// may all be empty (which empties a list position), a check of members taken together, the
// handler, whether the handler may wait on the receiver (it posts an operation), and the kind
// of change the change log records it as (null: the form only reads). Everything is checked
// before anything is written.
struct FormRow {
    Member selector;
    const char *value;
    ValueRule selector_rule;
    std::span<const MemberRule> members;
    bool may_be_empty;
    std::string (*check_together)(const CheckedRequest &request);
    bool (*serve)(Session &);
    bool posts;
    const char *change_kind;
    const char *label;  // what a person calls the choice, for a selector's described choices
};

constexpr FormRow kForms[] = {
    {Member::Key, "1", ValueRule::AnyText, {}, false, nullptr, ServePositionQuery, true, nullptr, nullptr},
    {Member::Key, "2", ValueRule::AnyText, kBaseStartMembers, false, BaseAnglesWithinLimits, ServeBaseStart, true,
     "station", nullptr},
    {Member::Key, "3", ValueRule::AnyText, {}, false, nullptr, ServeBaseStop, true, "station", nullptr},
    {Member::Key, "4", ValueRule::AnyText, kBaseIdentifierMembers, false, nullptr, ServeBaseIdentifier, true, "station",
     nullptr},
    {Member::Key, nullptr, ValueRule::AnyText, {}, false, nullptr, ServeOtherKey, false, nullptr, nullptr},
    {Member::Modify, nullptr, ValueRule::ListPosition, kListEditMembers, true, nullptr, ServeListEdit, true,
     "smartbase", nullptr},
    {Member::Mode, "0", ValueRule::WorkMode, kRoverMembers, false, nullptr, ServeRoverMode, true, "workmode", "Rover"},
    {Member::Mode, "2", ValueRule::WorkMode, kSinglePointMembers, false, nullptr, ServeSinglePointMode, true,
     "workmode", "Single point"},
    {Member::Mode, "3", ValueRule::WorkMode, {}, false, nullptr, ServeSmartBaseMode, true, "workmode", "SmartBase"},
    {Member::Mode, nullptr, ValueRule::WorkMode, {}, false, nullptr, ServeOtherMode, true, "workmode", nullptr},
};
static_assert(FormTableComplete(kForms), "every form has a handler, and each selector a catch-all row");

// Which selectors are looked at, in the order their forms are served: "Key", then "Modify" as
// well; "Mode" only when neither of them picked a form. A request that names none of them gets
// the status report.
struct SelectorRow {
    Member selector;
    bool only_alone;  // taken only when no selector before it picked a form
};

constexpr SelectorRow kSelectors[] = {{Member::Key, false}, {Member::Modify, false}, {Member::Mode, true}};

// The first row of a selector that matches the request's value of it.
const FormRow *MatchingRow(Member selector, const char *value) {
    for (const FormRow &row : kForms)
        if (row.selector == selector && (row.value == nullptr || IsText(value, row.value))) return &row;
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
    for (const SelectorRow &selector : kSelectors) {
        if (selector.only_alone && selection.count > 0) continue;
        if (const char *value = ReadMember(request, selector.selector).text)
            selection.rows[selection.count++] = MatchingRow(selector.selector, value);
    }
    return selection;
}

// Reads and checks one selected form's members (its selector first); returns what is wrong,
// or an empty string when it can be served.
std::string CheckForm(json_object *request, const FormRow &row, CheckedRequest &checked) {
    const MemberRule selector[] = {{row.selector, row.selector_rule}};
    if (std::string problem = checked.Check(request, selector); !problem.empty()) return problem;
    if (std::string problem = checked.Check(request, row.members, row.may_be_empty); !problem.empty()) return problem;
    return row.check_together == nullptr ? std::string() : row.check_together(checked);
}

// The request read once, before anything is touched: what is wrong with it, or an empty
// string when every selected form can be served from the checked values.
std::string CheckRequest(json_object *request, const Selection &selection, CheckedRequest &checked) {
    for (int i = 0; i < selection.count; ++i)
        if (std::string problem = CheckForm(request, *selection.rows[i], checked); !problem.empty()) return problem;
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

// ---- The describe rows ---------------------------------------------------------------------------

// The status report's "Mode", by its value: ROVER_MODE to SMARTBASE_MODE.
constexpr const char *kModeNames[] = {"Rover", "Base station", "Single point", "Automatic base", "SmartBase"};
static_assert(std::size(kModeNames) == SMARTBASE_MODE + 1, "a name for every work mode");

// A form's name in the rows: its selector, and the value that picks it.
std::string FormName(const FormRow &row) {
    return DottedPath(row.selector) + (row.value == nullptr ? "" : std::string(" ") + row.value);
}

void BeginRow(cgi::JsonWriter &writer, const std::string &form, Member member) {
    writer.BeginObject();
    writer.Key("Form");
    writer.String(form);
    writer.Key("Key");
    writer.String(DottedPath(member));
}

void EndRow(cgi::JsonWriter &writer, Member member, const char *requirement) {
    writer.Key("Error");
    writer.String(DottedPath(member) + " " + requirement);
    writer.EndObject();
}

// A selector whose forms are named (the work mode): a choice of the values that pick them.
void DescribeChoiceSelector(cgi::JsonWriter &writer, const FormRow &first) {
    BeginRow(writer, DottedPath(first.selector), first.selector);
    writer.Key("Type");
    writer.String("Choice");
    writer.Key("Choices");
    writer.BeginArray();
    for (const FormRow &row : kForms) {
        if (row.selector == first.selector && row.label != nullptr) WriteChoice(writer, row.value, row.label);
    }
    writer.EndArray();
    EndRow(writer, first.selector, Requirement(first.selector_rule));
}

void DescribeSelector(cgi::JsonWriter &writer, const FormRow &first) {
    if (first.selector_rule == ValueRule::AnyText) return;  // a fixed value picks the form
    if (first.label != nullptr) return DescribeChoiceSelector(writer, first);
    BeginRow(writer, DottedPath(first.selector), first.selector);
    DescribeRule(first.selector_rule, writer);
    EndRow(writer, first.selector, Requirement(first.selector_rule));
}

}  // namespace

void DescribeForms(cgi::JsonWriter &writer) {
    writer.Key("Modes");
    writer.BeginArray();
    for (std::size_t mode = 0; mode < std::size(kModeNames); ++mode)
        WriteChoice(writer, static_cast<long long>(mode), kModeNames[mode]);
    writer.EndArray();
    writer.Key("Keys");
    writer.BeginArray();
    for (const FormRow &row : kForms) {
        if (std::ranges::find(kForms, row.selector, &FormRow::selector) == &row) DescribeSelector(writer, row);
        for (const MemberRule &member : row.members) {
            if (member.rule == ValueRule::AnyText) continue;
            BeginRow(writer, FormName(row), member.member);
            DescribeRule(member.rule, writer);
            EndRow(writer, member.member, Requirement(member.rule));
        }
    }
    writer.EndArray();
}

namespace {

// Whatever was written is replaced by { "Res": "Failed", "Error": error }.
void Fail(cgi::JsonWriter &reply, const std::string &error) {
    reply.Clear();
    cgi::WriteFailed(reply, error);
}

}  // namespace

bool WaitsOnReceiver(json_object *request) {
    const Selection selection = SelectForms(request);
    for (int i = 0; i < selection.count; ++i)
        if (selection.rows[i]->posts) return true;
    return false;
}

const char *ChangeKind(json_object *request) {
    const Selection selection = SelectForms(request);
    for (int i = 0; i < selection.count; ++i)
        if (selection.rows[i]->change_kind != nullptr) return selection.rows[i]->change_kind;
    return nullptr;
}

void WriteShown(json_object * /*request*/, cgi::JsonWriter &shown) {
    ServeRequest(nullptr, shown);  // the status report shows all a request may change
}

cgi::Role LeastRole(json_object *request) {
    return SelectForms(request).count == 0 ? cgi::Role::Viewer : cgi::Role::Operator;
}

void ServeRequest(json_object *request, cgi::JsonWriter &reply) {
    // The stored settings are read first, in this order, for every request.
    const unsigned char work_mode = ReadConfigByte(ENTRY_WORK_MODE);
    const unsigned char pps_enable = ReadConfigByte(ENTRY_PPS_ENABLE);
    const unsigned char event_enable = ReadConfigByte(ENTRY_EVENT_ENABLE);
    CheckedRequest checked;
    Session session{checked, reply, work_mode, pps_enable, event_enable, {}};
    // Nothing is changed on the strength of settings that could not be read.
    if (const std::string failure = cgi::ReadFailure(); !failure.empty()) return Fail(reply, failure);

    const Selection selection = SelectForms(request);
    if (const std::string problem = CheckRequest(request, selection, checked); !problem.empty())
        return Fail(reply, problem);
    if (!Dispatch(session, selection)) return Fail(reply, session.failure);
    // A report with a record that could not be read would show zeros as the receiver's state.
    if (const std::string failure = cgi::ReadFailure(); !failure.empty()) return Fail(reply, failure);
}

}  // namespace rolekind
