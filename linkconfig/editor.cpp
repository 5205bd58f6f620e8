#include "editor.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "channels.h"
#include "json_writer.h"
#include "records.h"
#include "report.h"
#include "revision.h"
#include "stored_values.h"

namespace linkconfig {
namespace {

using linkreport::Channel;
using linkreport::KeyRow;
using linkreport::Shown;

// A channel's record and NTRIP server 1's, whose version the client shows.
struct ChannelRecords {
    alignas(std::max_align_t) unsigned char record[linkreport::kLargestRecord];
    alignas(std::max_align_t) unsigned char server1[sizeof(NtripServerConfig)];
};

bool Read(const Channel &channel, ChannelRecords &records) {
    cgi::ReadConfigRecord(channel.entry, records.record, channel.record_size);
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

std::size_t SlotByteOffset(const KeyRow &row, const linkreport::MessageList &list, int index) {
    const bool interval = list.table->byte == linkreport::ValueByte::Interval;
    return row.member.offset + list.slots.offset + static_cast<std::size_t>(index) * sizeof(MsgCfgPara) +
           (interval ? offsetof(MsgCfgPara, Interval) : offsetof(MsgCfgPara, Available));
}

void Watch(std::vector<ConfigByteRange> &watched, unsigned char entry, std::size_t offset, std::size_t length) {
    watched.push_back({entry, static_cast<unsigned short>(offset), static_cast<unsigned short>(length)});
}

// Every byte a key shows from, and nothing else: never a message's time word, which the
// receiver rewrites with every sample.
std::vector<ConfigByteRange> WatchedRanges(const Channel &channel) {
    std::vector<ConfigByteRange> watched;
    for (const KeyRow &row : channel.keys) {
        const unsigned char entry = row.from_entry != 0 ? row.from_entry : channel.entry;
        switch (row.shown) {
            case Shown::Constant:
                break;
            case Shown::Messages:
                for (const linkreport::MessageList &list : row.messages) {
                    if (list.shape != linkreport::ListShape::Items) continue;
                    for (const linkreport::MessageRow &item : list.table->rows)
                        for (int index = item.first_index; index <= item.last_index; ++index)
                            Watch(watched, entry, SlotByteOffset(row, list, index), 1);
                }
                break;
            case Shown::MsmLevel:
                for (const linkreport::MsmRule &rule : linkreport::kMsmRules)
                    Watch(watched, entry,
                          row.member.offset + rule.index * sizeof(MsgCfgPara) + offsetof(MsgCfgPara, Available), 1);
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
        const unsigned char *record = range.entry == channel.entry ? records.record : records.server1;
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
    reply.String(std::string("someone else changed ") + channel.name + ": reload it and make the change again");
    reply.EndObject();
}

// ---- A change ------------------------------------------------------------------------------

const KeyRow *FindKey(const Channel &channel, const char *key) {
    for (const KeyRow &row : channel.keys)
        if (std::strcmp(row.key, key) == 0) return &row;
    return nullptr;
}

bool IsChange(const char *key) {
    return std::strcmp(key, "TransID") != 0 && std::strcmp(key, "Revision") != 0;
}

// Why a fixed or derived key cannot take another value.
std::string FixedReason(const Channel &channel, const KeyRow &row) {
    const std::string key = row.key;
    if (row.from_entry != 0) return key + " of " + channel.name + " follows NTRIP server 1: change it there";
    switch (row.shown) {
        case Shown::ConnectionStatus:
            return "Status follows Startup: set Startup to connect or disconnect";
        case Shown::MsmLevel:
            return "MSM follows the RTCM 3.2 messages that are on, and cannot be set";
        default:
            return key + " is " + std::to_string(row.constant) + " for " + channel.name + " and cannot be changed";
    }
}

// The channel object as the draft would show it, parsed.
cgi::JsonPtr ShownDraft(const Channel &channel, const ChannelRecords &draft) {
    cgi::JsonWriter shown;
    linkreport::WriteChannelObject(shown, channel, draft.record, draft.server1);
    return cgi::JsonPtr{json_tokener_parse(std::string(shown.Text()).c_str())};
}

// Fixed and derived keys may be sent only with the value they will show once the change is
// stored (a page sends back what it read).
std::string CheckFixedKeys(const Channel &channel, json_object *request, const ChannelRecords &draft) {
    const cgi::JsonPtr shown = ShownDraft(channel, draft);
    json_object_object_foreach(request, key, value) {
        const KeyRow *row = FindKey(channel, key);
        if (row == nullptr || !IsDerived(*row)) continue;
        json_object *will_show = nullptr;
        if (!json_object_object_get_ex(shown.get(), key, &will_show) || !json_object_equal(will_show, value))
            return FixedReason(channel, *row);
    }
    return {};
}

std::string Draw(const Channel &channel, json_object *request, ChannelRecords &draft,
                 std::vector<ConfigByteRange> &writes) {
    Draft changes{channel.entry, draft.record, {}};
    json_object_object_foreach(request, key, value) {
        if (!IsChange(key)) continue;
        const KeyRow *row = FindKey(channel, key);
        if (row == nullptr) return std::string("unknown key ") + key + " for " + channel.name;
        if (IsDerived(*row)) continue;
        if (std::string failed = StoreKey(*row, value, changes); !failed.empty()) return failed;
    }
    writes = std::move(changes.writes);
    return CheckFixedKeys(channel, request, draft);
}

bool HasChanges(json_object *request) {
    json_object_object_foreach(request, key, value) {
        (void)value;
        if (IsChange(key)) return true;
    }
    return false;
}

void Change(cgi::JsonWriter &reply, const Channel &channel, json_object *request, const ChannelRecords &stored) {
    json_object *revision_value = nullptr;
    json_object_object_get_ex(request, "Revision", &revision_value);
    unsigned long long revision = 0;
    if (!ParseRevision(revision_value, &revision))
        return cgi::WriteFailed(reply, "Revision must be sent as a read of the channel gave it, to change the channel");

    ChannelRecords draft = stored;
    std::vector<ConfigByteRange> writes;
    if (std::string failed = Draw(channel, request, draft, writes); !failed.empty())
        return cgi::WriteFailed(reply, failed);

    if (writes.empty()) return Success(reply, channel, stored);  // only fixed keys, as they are: nothing to store
    const std::vector<ConfigByteRange> watched = WatchedRanges(channel);
    const int stored_change = UpdateReceiverConfigParaIfRevision(channel.entry, draft.record, writes.data(),
                                                                 static_cast<unsigned>(writes.size()), watched.data(),
                                                                 static_cast<unsigned>(watched.size()), revision);
    if (stored_change == 1) return Conflict(reply, channel);
    if (stored_change != 0)
        return cgi::WriteFailed(reply, "nothing was stored: the configuration segment's lock was not free");

    if (PostMonitorOperate(channel.operation, kMailboxTimeoutMs) != 0)
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

}  // namespace

void Serve(json_object *request, cgi::JsonWriter &reply) {
    if (request == nullptr || !json_object_is_type(request, json_type_object))
        return cgi::WriteFailed(reply, "the request must be a JSON object naming a channel by TransID");
    const Channel *channel = FindChannel(request);
    if (channel == nullptr) return cgi::WriteFailed(reply, "TransID must be one of 1, 3, 4, 5, 6, 7, 8, 9 or 10");
    ChannelRecords stored{};
    if (!Read(*channel, stored)) return cgi::WriteFailed(reply, cgi::ReadFailure());
    if (!HasChanges(request)) return Success(reply, *channel, stored);
    Change(reply, *channel, request, stored);
}

}  // namespace linkconfig
