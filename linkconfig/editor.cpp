#include "editor.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "change.h"
#include "channels.h"
#include "describe.h"
#include "json_writer.h"
#include "records.h"
#include "report.h"
#include "revision.h"

namespace linkconfig {
namespace {

using linkreport::Channel;
using rows::Row;
using rows::Shown;

// A channel's record and NTRIP server 1's, whose version the client shows.
struct ChannelRecords {
    alignas(std::max_align_t) unsigned char record[linkreport::kLargestRecord];
    alignas(std::max_align_t) unsigned char server1[sizeof(NtripServerConfig)];

    const unsigned char *Of(const rows::Place &place) const {
        return &place == &linkreport::kNtripServer1 ? server1 : record;
    }
};

bool Read(const Channel &channel, ChannelRecords &records) {
    cgi::ReadConfigRecord(channel.group.place.entry, records.record, channel.group.record_size);
    cgi::ReadConfigRecord(ENTRY_NS1_CONFIG, records.server1, sizeof records.server1);
    return !cgi::AnyReadFailed();
}

const Channel *FindChannel(json_object *request) {
    json_object *id = nullptr;
    if (request == nullptr || !json_object_object_get_ex(request, "TransID", &id) ||
        !json_object_is_type(id, json_type_int))
        return nullptr;
    for (const Channel &channel : linkreport::kChannels)
        if (json_object_get_int64(id) == channel.trans_id) return &channel;
    return nullptr;
}

// ---- The revision: the bytes behind the keys the channel shows -----------------------------

void Watch(std::vector<ConfigByteRange> &watched, unsigned char entry, std::size_t offset, std::size_t length) {
    watched.push_back({entry, static_cast<unsigned short>(offset), static_cast<unsigned short>(length)});
}

std::size_t ByteOfSlot(const Row &row, const rows::MessageList &list, int index) {
    const bool interval = list.table->byte == rows::ValueByte::Interval;
    return row.member.offset + list.slots.offset + static_cast<std::size_t>(index) * sizeof(MsgCfgPara) +
           (interval ? offsetof(MsgCfgPara, Interval) : offsetof(MsgCfgPara, Available));
}

// Every byte a key shows from, and nothing else: never a message's time word, which the
// receiver rewrites with every sample.
std::vector<ConfigByteRange> WatchedRanges(const Channel &channel) {
    std::vector<ConfigByteRange> watched;
    for (const Row &row : channel.group.rows) {
        const unsigned char entry = rows::PlaceOf(channel.group, row).entry;
        switch (row.shown) {
            case Shown::Constant:
                break;
            case Shown::Messages:
                for (const rows::MessageList &list : row.messages) {
                    if (list.shape != rows::ListShape::Items) continue;
                    for (const rows::MessageRow &item : list.table->rows)
                        for (int index = item.first_index; index <= item.last_index; ++index)
                            Watch(watched, entry, ByteOfSlot(row, list, index), 1);
                }
                break;
            case Shown::SlotLevel:
                for (const rows::SlotLevel &level : row.levels)
                    Watch(watched, entry,
                          row.member.offset + level.index * sizeof(MsgCfgPara) + offsetof(MsgCfgPara, Available), 1);
                break;
            default:
                Watch(watched, entry, row.member.offset, row.member.size);
                break;
        }
    }
    return watched;
}

unsigned long long RevisionOf(const Channel &channel, const std::vector<ConfigByteRange> &watched,
                              const ChannelRecords &records) {
    unsigned long long hash = GRSHM_REVISION_BASIS;
    for (const ConfigByteRange &range : watched) {
        const unsigned char *record = range.entry == channel.group.place.entry ? records.record : records.server1;
        hash = grshm::HashBytes(hash, record + range.offset, range.length);
    }
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

void Success(cgi::JsonWriter &reply, const Channel &channel, const ChannelRecords &records) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.Key("Channel");
    linkreport::WriteChannelObject(reply, channel, records.record, records.server1);
    reply.Key("Revision");
    reply.String(RevisionText(RevisionOf(channel, WatchedRanges(channel), records)));
    reply.EndObject();
}

void Conflict(cgi::JsonWriter &reply, const Channel &channel) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Conflict");
    reply.Key("Error");
    reply.String(std::string("someone else changed ") + channel.group.name + ": reload it and make the change again");
    reply.EndObject();
}

// Every channel's rows; "Version" follows the text of "Channels", so that it changes when
// the rows do.
void Describe(cgi::JsonWriter &reply) {
    reply.BeginObject();
    reply.Key("Res");
    reply.String("Success");
    reply.Key("Channels");
    const std::size_t start = reply.Text().size();
    reply.BeginArray();
    for (const Channel &channel : linkreport::kChannels) {
        reply.BeginObject();
        reply.Key("TransID");
        reply.Int(channel.trans_id);
        reply.Key("Name");
        reply.String(channel.group.title);
        reply.Key("Keys");
        reply.BeginArray();
        for (const Row &row : channel.group.rows) rows::Describe(reply, channel.group, row);
        reply.EndArray();
        reply.EndObject();
    }
    reply.EndArray();
    const std::string version = rows::VersionOf(reply.Text().substr(start));
    reply.Key("Version");
    reply.String(version);
    reply.EndObject();
}

// ---- A change ------------------------------------------------------------------------------

constexpr const char *kNotKeys[] = {"TransID", "Revision"};

bool HasChanges(json_object *request) {
    return json_object_object_length(request) > (json_object_object_get_ex(request, "Revision", nullptr) ? 2 : 1);
}

void Change(cgi::JsonWriter &reply, const Channel &channel, json_object *request, const ChannelRecords &stored) {
    json_object *revision_value = nullptr;
    json_object_object_get_ex(request, "Revision", &revision_value);
    unsigned long long revision = 0;
    if (!ParseRevision(revision_value, &revision))
        return cgi::WriteFailed(reply, "Revision must be sent as a read of the channel gave it, to change the channel");

    ChannelRecords draft = stored;
    rows::EntryCopy copies[] = {
        {&channel.group.place, stored.record, draft.record, channel.group.record_size},
        {&linkreport::kNtripServer1, stored.server1, draft.server1, sizeof draft.server1},
    };
    if (std::string failed = rows::Draw(channel.group, request, kNotKeys, copies); !failed.empty())
        return cgi::WriteFailed(reply, failed);

    // Only the channel's own entry is changed here; a change that shows no other value than
    // before writes nothing and announces nothing.
    const std::vector<ConfigByteRange> writes = rows::ChangedRanges(copies[0]);
    if (writes.empty()) return Success(reply, channel, stored);
    const std::vector<ConfigByteRange> watched = WatchedRanges(channel);
    const int stored_change = UpdateReceiverConfigParaIfRevision(channel.group.place.entry, draft.record, writes.data(),
                                                                 static_cast<unsigned>(writes.size()), watched.data(),
                                                                 static_cast<unsigned>(watched.size()), revision);
    if (stored_change == 1) return Conflict(reply, channel);
    if (stored_change != 0)
        return cgi::WriteFailed(reply, "nothing was stored: the configuration segment's lock was not free");

    if (PostMonitorOperate(channel.group.place.operation, kMailboxTimeoutMs) != 0)
        return cgi::WriteFailed(reply, errno == EBUSY
                                           ? "the change is stored, but the receiver did not take it: its mailbox "
                                             "stayed busy"
                                           : "the change is stored, but could not be announced: the monitor "
                                             "segment's lock was not free");
    ChannelRecords now{};
    if (!Read(channel, now))
        return cgi::WriteFailed(reply, "the change is stored and announced, but " + cgi::ReadFailure());
    Success(reply, channel, now);
}

bool AsksDescribe(json_object *request) {
    return json_object_object_get_ex(request, "Describe", nullptr);
}

}  // namespace

cgi::Role LeastRole(json_object *request) {
    const bool change = request != nullptr && json_object_is_type(request, json_type_object) &&
                        !AsksDescribe(request) && HasChanges(request);
    return change ? cgi::Role::Operator : cgi::Role::Viewer;
}

const char *ChangeKind(json_object *request) {
    return json_object_is_type(request, json_type_object) && !AsksDescribe(request) && HasChanges(request) ? "channel"
                                                                                                           : nullptr;
}

void WriteShown(json_object *request, cgi::JsonWriter &shown) {
    cgi::StrictRequest read{cgi::JsonPtr{json_object_new_object()}, {}};
    json_object *channel = nullptr;
    if (json_object_object_get_ex(request, "TransID", &channel))
        json_object_object_add(read.document.get(), "TransID", json_object_get(channel));
    Serve(read, shown);
}

bool WaitsOnReceiver(const cgi::StrictRequest &request) {
    json_object *document = request.document.get();
    return request.error.empty() && document != nullptr && json_object_is_type(document, json_type_object) &&
           !AsksDescribe(document) && HasChanges(document);
}

void Serve(const cgi::StrictRequest &request, cgi::JsonWriter &reply) {
    if (!request.error.empty()) return cgi::WriteFailed(reply, request.error);
    json_object *document = request.document.get();
    if (document == nullptr || !json_object_is_type(document, json_type_object))
        return cgi::WriteFailed(reply, "the request must be a JSON object naming a channel by TransID");
    if (AsksDescribe(document)) {
        json_object *describe = nullptr;
        json_object_object_get_ex(document, "Describe", &describe);
        if (json_object_object_length(document) != 1 || !json_object_is_type(describe, json_type_boolean) ||
            !json_object_get_boolean(describe))
            return cgi::WriteFailed(reply, "Describe is asked alone, as {\"Describe\": true}");
        return Describe(reply);
    }
    const Channel *channel = FindChannel(document);
    if (channel == nullptr) return cgi::WriteFailed(reply, "TransID must be one of 1, 3, 4, 5, 6, 7, 8, 9 or 10");
    ChannelRecords stored{};
    if (!Read(*channel, stored)) return cgi::WriteFailed(reply, cgi::ReadFailure());
    if (!HasChanges(document)) return Success(reply, *channel, stored);
    Change(reply, *channel, document, stored);
}

}  // namespace linkconfig
