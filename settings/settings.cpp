#include "settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "change.h"
#include "describe.h"
#include "entry_tables.h"
#include "forms.h"
#include "groups.h"
#include "maintenance.h"
#include "recording.h"
#include "records.h"
#include "revision.h"
#include "values.h"

namespace settings {
namespace {

// The entries a group's rows lie in, each read whole, in the order the rows first name them.
struct GroupEntries {
    std::vector<const rows::Place *> places;
    std::vector<std::vector<unsigned char>> stored;

    std::size_t IndexOf(const rows::Place &place) const {
        for (std::size_t i = 0; i < places.size(); ++i)
            if (places[i]->segment == place.segment && places[i]->entry == place.entry) return i;
        return places.size();
    }
    const unsigned char *Of(const rows::Place &place) const { return stored[IndexOf(place)].data(); }
    void Add(const rows::Place &place) {
        if (IndexOf(place) < places.size()) return;
        places.push_back(&place);
        stored.emplace_back(place.segment == rows::Segment::Monitor ? grshm::kMonitorTable[place.entry].size
                                                                    : grshm::kConfigTable[place.entry].size,
                            0);
    }
};

bool ShowsMember(const rows::Row &row) {
    return row.shown != rows::Shown::Constant;
}

GroupEntries EntriesOf(const rows::Group &group) {
    GroupEntries entries;
    for (const rows::Row &row : group.rows) {
        const rows::Place &place = rows::PlaceOf(group, row);
        if (!ShowsMember(row)) continue;
        entries.Add(place);
    }
    return entries;
}

// A group's entries, and for the antenna the recorders' records its block is written into too.
GroupEntries EntriesOf(const NamedGroup &named) {
    GroupEntries entries = EntriesOf(named.group);
    if (named.extra == Extra::Antenna) {
        entries.Add(receiverstate::kRecorderAntenna<1>);
        entries.Add(receiverstate::kRecorderAntenna<2>);
    }
    return entries;
}

bool Read(GroupEntries &entries) {
    for (std::size_t i = 0; i < entries.places.size(); ++i) {
        const rows::Place &place = *entries.places[i];
        if (place.segment == rows::Segment::Monitor)
            cgi::ReadMonitorRecord(place.entry, entries.stored[i].data(), entries.stored[i].size());
        else
            cgi::ReadConfigRecord(place.entry, entries.stored[i].data(), entries.stored[i].size());
    }
    return !cgi::AnyReadFailed();
}

const NamedGroup *FindGroup(json_object *name) {
    if (name == nullptr || !json_object_is_type(name, json_type_string)) return nullptr;
    for (const NamedGroup &named : kGroups)
        if (std::strcmp(json_object_get_string(name), named.name) == 0) return &named;
    return nullptr;
}

std::string GroupNames() {
    std::string names;
    for (const NamedGroup &named : kGroups) names += std::string(names.empty() ? "" : ", ") + '"' + named.name + '"';
    return names;
}

// ---- The revision: the bytes behind the keys the group shows, never a live row's ------------
// (nor a recorder's start and stop, kept in the monitor segment: a command, not a setting, and
// outside the configuration's lock that guards a revision)

bool InRevision(const rows::Group &group, const rows::Row &row) {
    return ShowsMember(row) && !row.live && rows::PlaceOf(group, row).segment == rows::Segment::Configuration;
}

std::vector<ConfigByteRange> WatchedRanges(const rows::Group &group) {
    std::vector<ConfigByteRange> watched;
    for (const rows::Row &row : group.rows)
        if (InRevision(group, row))
            watched.push_back({rows::PlaceOf(group, row).entry, static_cast<unsigned short>(row.member.offset),
                               static_cast<unsigned short>(row.member.size)});
    return watched;
}

unsigned long long RevisionOf(const rows::Group &group, const GroupEntries &entries) {
    unsigned long long hash = GRSHM_REVISION_BASIS;
    for (const rows::Row &row : group.rows)
        if (InRevision(group, row))
            hash = grshm::HashBytes(hash, entries.Of(rows::PlaceOf(group, row)) + row.member.offset, row.member.size);
    return hash;
}

std::string RevisionText(unsigned long long revision) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", revision);
    return text;
}

bool ParseRevision(json_object *value, unsigned long long *revision) {
    if (value == nullptr || !json_object_is_type(value, json_type_string) || json_object_get_string_len(value) != 16)
        return false;
    const char *text = json_object_get_string(value);
    for (int i = 0; i < 16; ++i)
        if (std::strchr("0123456789abcdef", text[i]) == nullptr || text[i] == '\0') return false;
    *revision = std::strtoull(text, nullptr, 16);
    return true;
}

// ---- Replies -------------------------------------------------------------------------------

void WriteAntennaTypes(cgi::JsonWriter &reply) {
    std::vector<unsigned char> list(grshm::kMonitorTable[ENTRY_ANT_TYPE].size);
    cgi::ReadMonitorRecord(ENTRY_ANT_TYPE, list.data(), list.size());
    receiverstate::WriteAntennaTypes(reply, receiverstate::AntennaTypesOf(list.data(), list.size()));
}

void Success(cgi::JsonWriter &reply, const NamedGroup &named, const GroupEntries &entries) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.Key("Group");
    reply.String(named.name);
    reply.Key("Values");
    reply.BeginObject();
    for (const rows::Row &row : named.group.rows) {
        if (!ShowsMember(row)) continue;
        rows::WriteShown(reply, row, entries.Of(rows::PlaceOf(named.group, row)));
    }
    reply.EndObject();
    if (named.extra == Extra::Antenna) WriteAntennaTypes(reply);
    reply.Key("Revision");
    reply.String(RevisionText(RevisionOf(named.group, entries)));
    reply.EndObject();
}

void Conflict(cgi::JsonWriter &reply, const rows::Group &group) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Conflict");
    reply.Key("Error");
    reply.String(std::string("someone else changed ") + group.name + ": reload them and make the change again");
    reply.EndObject();
}

// The work mode, base station and SmartBase list are changed through rolekind's own requests:
// their rows say so ("Program") and name the form each value belongs to.
void DescribeWorkMode(cgi::JsonWriter &reply) {
    reply.BeginObject();
    reply.Key("Group");
    reply.String("workmode");
    reply.Key("Name");
    reply.String("Work mode and base station");
    reply.Key("Changes");
    reply.String("operator");
    reply.Key("Program");
    reply.String("rolekind");
    rolekind::DescribeForms(reply);
    reply.EndObject();
}

// Every group's rows, each with its "Group"; "Version" follows the text of "Keys".
void Describe(cgi::JsonWriter &reply) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.Key("Groups");
    const std::size_t start = reply.Text().size();
    reply.BeginArray();
    for (const NamedGroup &named : kGroups) {
        reply.BeginObject();
        reply.Key("Group");
        reply.String(named.name);
        reply.Key("Name");
        reply.String(named.group.title);
        reply.Key("Changes");
        reply.String(named.admins_only ? "admin" : "operator");
        reply.Key("Keys");
        reply.BeginArray();
        for (const rows::Row &row : named.group.rows) rows::Describe(reply, named.group, row);
        reply.EndArray();
        if (named.extra == Extra::Maintenance) {
            reply.Key("Maintenance");
            receiverstate::WriteMaintenanceActions(reply);
        }
        reply.EndObject();
    }
    DescribeWorkMode(reply);
    reply.EndArray();
    const std::string version = rows::VersionOf(reply.Text().substr(start));
    reply.Key("Version");
    reply.String(version);
    reply.EndObject();
}

// ---- A change ------------------------------------------------------------------------------

std::string Posted(const std::vector<const rows::Place *> &changed, std::size_t done) {
    std::string names;
    for (std::size_t i = 0; i < done; ++i) names += std::string(i == 0 ? "" : ", ") + changed[i]->operation_name;
    return names.empty() ? "none" : names;
}

struct EntryDrafts {
    GroupEntries draft;
    std::vector<rows::EntryCopy> copies;

    explicit EntryDrafts(const GroupEntries &stored) : draft(stored) {
        for (std::size_t i = 0; i < stored.places.size(); ++i)
            copies.push_back(
                {stored.places[i], stored.stored[i].data(), draft.stored[i].data(), stored.stored[i].size()});
    }
    rows::EntryCopy &Of(const rows::Place &place) { return copies[draft.IndexOf(place)]; }
};

// The antenna block goes into both recorders' records with it, as WriteReceiverRecConfAntenna
// writes it, when the change changed it.
void MirrorAntenna(EntryDrafts &drafts) {
    const rows::EntryCopy &antenna = drafts.Of(receiverstate::kAntenna.place);
    if (rows::ChangedRanges(antenna).empty()) return;
    for (const rows::Place *recorder : {&receiverstate::kRecorderAntenna<1>, &receiverstate::kRecorderAntenna<2>})
        std::memcpy(drafts.Of(*recorder).draft + receiverstate::kRecorderAntennaOffset, antenna.draft,
                    receiverstate::kAntennaBlock);
}

// A recorder that is asked to start must have space to record into.
std::string StartRefusal(int recorder, const rows::Place &state, const rows::Place &record, EntryDrafts &drafts) {
    const rows::EntryCopy &asked = drafts.Of(state);
    if (asked.draft[0] != 1 || asked.stored[0] == 1) return {};
    RecConfig config{};
    std::memcpy(&config, drafts.Of(record).stored, sizeof config);
    return receiverstate::StartRefusal(recorder, config);
}

std::string GroupRefusal(const NamedGroup &named, EntryDrafts &drafts) {
    switch (named.extra) {
        case Extra::Recorder1:
            return StartRefusal(1, receiverstate::kRecorderState<1>, named.group.place, drafts);
        case Extra::Recorder2:
            return StartRefusal(2, receiverstate::kRecorderState<2>, named.group.place, drafts);
        default:
            return {};
    }
}

bool WriteMonitorEntries(const std::vector<const rows::EntryCopy *> &monitor_writes) {
    return std::ranges::all_of(monitor_writes, [](const rows::EntryCopy *copy) {
        return SetMonitorParaToShareMemory(copy->place->entry, copy->draft) == 0;
    });
}

void Change(cgi::JsonWriter &reply, const NamedGroup &named, json_object *values, json_object *revision_value,
            const GroupEntries &stored) {
    unsigned long long revision = 0;
    if (!ParseRevision(revision_value, &revision))
        return cgi::WriteFailed(reply, "Revision must be sent as a read of the group gave it, to change it");
    if (!json_object_is_type(values, json_type_object))
        return cgi::WriteFailed(reply, "Values must be an object of the keys to change");

    EntryDrafts drafts(stored);
    if (std::string failed = rows::Draw(named.group, values, {}, drafts.copies); !failed.empty())
        return cgi::WriteFailed(reply, failed);
    if (named.extra == Extra::Antenna) MirrorAntenna(drafts);
    if (std::string refused = GroupRefusal(named, drafts); !refused.empty()) return cgi::WriteFailed(reply, refused);

    // A change that shows no other value than before writes nothing and announces nothing.
    std::vector<ConfigRangeWrite> writes;
    std::vector<const rows::EntryCopy *> monitor_writes;
    std::vector<const rows::Place *> changed;
    for (const rows::EntryCopy &copy : drafts.copies) {
        const std::vector<ConfigByteRange> ranges = rows::ChangedRanges(copy);
        if (ranges.empty()) continue;
        changed.push_back(copy.place);
        if (copy.place->segment == rows::Segment::Monitor) {
            monitor_writes.push_back(&copy);
            continue;
        }
        for (const ConfigByteRange &range : ranges) writes.push_back({range, copy.draft + range.offset});
    }
    if (changed.empty()) return Success(reply, named, stored);
    if (writes.empty()) {
        // Only a start or a stop: the revision still has to be the one the person saw.
        if (RevisionOf(named.group, stored) != revision) return Conflict(reply, named.group);
    } else {
        const std::vector<ConfigByteRange> watched = WatchedRanges(named.group);
        const int result =
            UpdateReceiverConfigRangesIfRevision(writes.data(), static_cast<unsigned>(writes.size()), watched.data(),
                                                 static_cast<unsigned>(watched.size()), revision);
        if (result == 1) return Conflict(reply, named.group);
        if (result != 0)
            return cgi::WriteFailed(reply, "nothing was stored: the configuration segment's lock was not free");
    }
    if (!WriteMonitorEntries(monitor_writes))
        return cgi::WriteFailed(reply, std::string(writes.empty() ? "nothing was stored" : "the settings are stored") +
                                           ", but the start or stop was not: the monitor segment's lock was not free");

    for (std::size_t i = 0; i < changed.size(); ++i) {
        if (changed[i]->operation == ENTRY_NULL_OP || PostMonitorOperate(changed[i]->operation, kMailboxTimeoutMs) == 0)
            continue;
        return cgi::WriteFailed(reply, std::string("the change is stored, but ") + changed[i]->operation_name +
                                           (errno == EBUSY ? " was not taken: the receiver's mailbox stayed busy"
                                                           : " could not be posted: the monitor segment's lock "
                                                             "was not free") +
                                           " (posted before it: " + Posted(changed, i) + ")");
    }
    GroupEntries now = EntriesOf(named);
    if (!Read(now)) return cgi::WriteFailed(reply, "the change is stored and announced, but " + cgi::ReadFailure());
    Success(reply, named, now);
}

// ---- Maintenance ---------------------------------------------------------------------------

// What the change log shows of a maintenance request: nothing before it, the action and its
// result after it.
struct MaintenanceDone {
    std::string action;
    std::string result;
};
MaintenanceDone &LastMaintenance() {
    static MaintenanceDone done;
    return done;
}

void MaintenanceActions(cgi::JsonWriter &reply) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.Key("Group");
    reply.String("maintenance");
    reply.Key("Maintenance");
    receiverstate::WriteMaintenanceActions(reply);
    reply.EndObject();
}

void Maintain(cgi::JsonWriter &reply, json_object *action_name, json_object *confirmation) {
    const receiverstate::MaintenanceAction *action =
        json_object_is_type(action_name, json_type_string)
            ? receiverstate::FindMaintenance(json_object_get_string(action_name))
            : nullptr;
    if (action == nullptr) {
        std::string names;
        for (const receiverstate::MaintenanceAction &one : receiverstate::kMaintenance)
            names += std::string(names.empty() ? "" : ", ") + '"' + one.name + '"';
        return cgi::WriteFailed(reply, "Action must be one of " + names);
    }
    const receiverstate::MaintenanceOutcome outcome = receiverstate::CarryOutMaintenance(
        *action, json_object_is_type(confirmation, json_type_string) ? json_object_get_string(confirmation) : "",
        kMailboxTimeoutMs);
    if (!outcome.error.empty()) return cgi::WriteFailed(reply, outcome.error);
    LastMaintenance() = {action->name, outcome.result};
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.Key("Action");
    reply.String(action->name);
    reply.Key("Result");
    reply.String(outcome.result);
    reply.EndObject();
}

// ---- Requests ------------------------------------------------------------------------------

json_object *Member(json_object *request, const char *key) {
    json_object *value = nullptr;
    return json_object_object_get_ex(request, key, &value) ? value : nullptr;
}

bool IsChange(json_object *request) {
    return json_object_is_type(request, json_type_object) && Member(request, "Describe") == nullptr &&
           Member(request, "Values") != nullptr;
}

bool IsMaintenance(json_object *request) {
    return json_object_is_type(request, json_type_object) && Member(request, "Describe") == nullptr &&
           Member(request, "Action") != nullptr;
}

// The members a request of each kind has, and no others.
std::string ExtraMember(const NamedGroup &named, json_object *request) {
    const bool maintenance = named.extra == Extra::Maintenance;
    json_object_object_foreach(request, key, value) {
        (void)value;
        const bool known = std::strcmp(key, "Group") == 0 ||
                           (maintenance ? std::strcmp(key, "Action") == 0 || std::strcmp(key, "Confirm") == 0
                                        : std::strcmp(key, "Revision") == 0 || std::strcmp(key, "Values") == 0);
        if (!known)
            return std::string("unknown member ") + key +
                   (maintenance ? ": a request has Group, and Action and Confirm to carry one out"
                                : ": a request has Group, and Revision and Values to change");
    }
    if (maintenance) return {};
    if ((Member(request, "Revision") != nullptr) != (Member(request, "Values") != nullptr))
        return "a change sends both Revision and Values";
    return {};
}

}  // namespace

void Serve(const cgi::StrictRequest &request, cgi::JsonWriter &reply) {
    if (!request.error.empty()) return cgi::WriteFailed(reply, request.error);
    json_object *document = request.document.get();
    if (document == nullptr || !json_object_is_type(document, json_type_object))
        return cgi::WriteFailed(reply, "the request must be a JSON object naming a Group, or {\"Describe\": true}");
    if (json_object *describe = Member(document, "Describe")) {
        if (json_object_object_length(document) != 1 || !json_object_is_type(describe, json_type_boolean) ||
            !json_object_get_boolean(describe))
            return cgi::WriteFailed(reply, "Describe is asked alone, as {\"Describe\": true}");
        return Describe(reply);
    }
    const NamedGroup *named = FindGroup(Member(document, "Group"));
    if (named == nullptr) return cgi::WriteFailed(reply, "Group must be one of " + GroupNames());
    if (std::string extra = ExtraMember(*named, document); !extra.empty()) return cgi::WriteFailed(reply, extra);
    if (named->extra == Extra::Maintenance) {
        if (!IsMaintenance(document)) return MaintenanceActions(reply);
        return Maintain(reply, Member(document, "Action"), Member(document, "Confirm"));
    }
    GroupEntries stored = EntriesOf(*named);
    if (!Read(stored)) return cgi::WriteFailed(reply, cgi::ReadFailure());
    if (!IsChange(document)) return Success(reply, *named, stored);
    Change(reply, *named, Member(document, "Values"), Member(document, "Revision"), stored);
}

bool WaitsOnReceiver(const cgi::StrictRequest &request) {
    return request.error.empty() && request.document != nullptr &&
           (IsChange(request.document.get()) || IsMaintenance(request.document.get()));
}

cgi::Role LeastRole(json_object *request) {
    if (!IsChange(request) && !IsMaintenance(request)) return cgi::Role::Viewer;
    const NamedGroup *named = FindGroup(Member(request, "Group"));
    return named != nullptr && named->admins_only ? cgi::Role::Admin : cgi::Role::Operator;
}

const char *ChangeKind(json_object *request) {
    if (IsMaintenance(request)) return "maintenance";
    return IsChange(request) ? "settings" : nullptr;
}

void WriteShown(json_object *request, cgi::JsonWriter &shown) {
    if (IsMaintenance(request)) {
        shown.BeginObject();
        shown.Key("Action");
        shown.String(LastMaintenance().action);
        shown.Key("Result");
        shown.String(LastMaintenance().result);
        return shown.EndObject();
    }
    cgi::StrictRequest read{cgi::JsonPtr{json_object_new_object()}, {}};
    if (json_object *group = Member(request, "Group"))
        json_object_object_add(read.document.get(), "Group", json_object_get(group));
    Serve(read, shown);
}

}  // namespace settings
