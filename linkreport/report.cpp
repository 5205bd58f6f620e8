#include "report.h"

#include <memory>

#include "channels.h"
#include "records.h"
#include "values.h"

namespace linkreport {
namespace {

// A channel's record as read, kept as bytes: the rows find their members by offset.
struct RecordBytes {
    alignas(std::max_align_t) unsigned char bytes[kLargestRecord];
};

// What the report shows, read before anything is printed (a failed read turns the reply into
// "Failed"), in the order the channels appear.
struct ChannelRecords {
    RecordBytes records[std::size(kChannels)];

    const unsigned char *Of(unsigned char entry) const {
        for (std::size_t i = 0; i < std::size(kChannels); ++i)
            if (kChannels[i].group.place.entry == entry) return records[i].bytes;
        return nullptr;
    }
};

std::unique_ptr<ChannelRecords> ReadChannelRecords() {
    std::unique_ptr<ChannelRecords> read(new ChannelRecords);  // each read fills its record first
    for (std::size_t i = 0; i < std::size(kChannels); ++i)
        cgi::ReadConfigRecord(kChannels[i].group.place.entry, read->records[i].bytes, kChannels[i].group.record_size);
    return read;
}

// The records are all read before anything is written.
void WriteChannels(cgi::JsonWriter &writer, const ChannelRecords &records) {
    writer.BeginArray();
    for (std::size_t i = 0; i < std::size(kChannels); ++i) {
        WriteChannelObject(writer, kChannels[i], records.records[i].bytes, records.Of(ENTRY_NS1_CONFIG));
    }
    writer.EndArray();
}

}  // namespace

void WriteChannelObject(cgi::JsonWriter &writer, const Channel &channel, const unsigned char *record,
                        const unsigned char *server1) {
    writer.BeginObject();
    writer.Key("TransID");
    writer.Int(channel.trans_id);
    for (const Row &row : channel.group.rows)
        rows::WriteShown(writer, row, row.place == &kNtripServer1 ? server1 : record);
    writer.EndObject();
}

void WriteDataTransReport(cgi::JsonWriter &reply) {
    const std::unique_ptr<ChannelRecords> records = ReadChannelRecords();
    reply.BeginObject();
    reply.Key("DataTrans");
    WriteChannels(reply, *records);
    reply.EndObject();
}

}  // namespace linkreport
