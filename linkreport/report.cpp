#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>

#include "channels.h"
#include "message_tables.h"
#include "number_text.h"
#include "records.h"
#include "sharememory.h"

namespace linkreport {
namespace {

// A message array within a record: its slots' bytes read where they lie.
struct MessageSlots {
    const unsigned char *record;
    Member slots;

    int Interval(int index) const { return static_cast<signed char>(Byte(index, offsetof(MsgCfgPara, Interval))); }
    int Available(int index) const { return Byte(index, offsetof(MsgCfgPara, Available)); }

 private:
    unsigned char Byte(int index, std::size_t member) const {
        const std::size_t at = static_cast<std::size_t>(index) * sizeof(MsgCfgPara) + member;
        return at < slots.size ? record[slots.offset + at] : 0;
    }
};

// An item's value: the interval byte, or the available byte (set if any of its slots is).
int ItemValue(const MessageTable &table, const MessageRow &row, const MessageSlots &slots) {
    if (table.byte == ValueByte::Interval) return slots.Interval(row.first_index);
    if (row.first_index == row.last_index) return slots.Available(row.first_index);
    for (int index = row.first_index; index <= row.last_index; ++index)
        if (slots.Available(index) != 0) return 1;
    return 0;
}

// One list: an item per row of the table, its value from the stored slots.
void WriteMessageList(cgi::JsonWriter &writer, const MessageTable &table, const MessageSlots &slots) {
    writer.BeginArray();
    for (const MessageRow &row : table.rows) {
        writer.BeginObject();
        writer.Key("ID");
        writer.Int(row.id);
        writer.Key("Name");
        writer.String(row.name);
        writer.Key("Interval");
        writer.Int(ItemValue(table, row, slots));
        writer.EndObject();
    }
    writer.EndArray();
}

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
            if (kChannels[i].entry == entry) return records[i].bytes;
        return nullptr;
    }
};

std::unique_ptr<ChannelRecords> ReadChannelRecords() {
    std::unique_ptr<ChannelRecords> read(new ChannelRecords);  // each read fills its record first
    for (std::size_t i = 0; i < std::size(kChannels); ++i)
        cgi::ReadConfigRecord(kChannels[i].entry, read->records[i].bytes, kChannels[i].record_size);
    return read;
}

template <typename Value>
Value Load(const unsigned char *record, const Member &member) {
    Value value;
    static_assert(std::is_trivially_copyable_v<Value>);
    std::memcpy(&value, record + member.offset, std::min(sizeof value, member.size));
    return value;
}

// A member's value as a number: a byte as it is, a word as its 32-bit pattern.
int Number(const unsigned char *record, const Member &member) {
    if (member.kind == MemberKind::Byte) return Load<unsigned char>(record, member);
    return static_cast<int>(Load<unsigned int>(record, member));
}

std::string_view TextOf(const unsigned char *record, const Member &member) {
    const char *text = reinterpret_cast<const char *>(record + member.offset);
    return {text, strnlen(text, member.size)};
}

void WriteString(cgi::JsonWriter &writer, std::string_view text) {
    writer.String(text.data(), text.size());
}

// "%d.%d.%d.%d" of the four words, cut to 23 characters as it always was (a word above 255
// is not an octet, and shows as its own number).
void WriteDottedAddress(cgi::JsonWriter &writer, const unsigned char *record, const Member &member) {
    Ipv4Words address;
    std::memcpy(address, record + member.offset, sizeof address);
    char text[4 * 12] = {};
    std::size_t length = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text[length++] = '.';
        length += cgi::IntegerText(static_cast<int>(address[i]), text + length, sizeof text - length);
    }
    WriteString(writer, std::string_view(text, std::min<std::size_t>(length, 23)));
}

int RadioModelCode(std::string_view model) {
    for (const RadioModel &known : kRadioModels)
        if (model == known.text) return known.code;
    return 0;
}

// "MSM" of an NTRIP server: the first rule whose slot is set decides; 0 when none is.
int MsmLevel(const MessageSlots &rtcm32) {
    for (const MsmRule &rule : kMsmRules)
        if (rtcm32.Available(rule.index) != 0) return rule.level;
    return 0;
}

// JSON has no NaN or infinity (json-c would print them as words no JSON reader takes): a
// frequency that is not a number shows as 0.
double Frequency(float stored) {
    const auto value = static_cast<double>(stored);
    return std::isfinite(value) ? value : 0.0;
}

void WriteMessages(cgi::JsonWriter &writer, const unsigned char *stream, std::span<const MessageList> lists) {
    writer.BeginArray();
    for (const MessageList &list : lists) {
        if (list.shape == ListShape::Items) {
            WriteMessageList(writer, *list.table, MessageSlots{stream, list.slots});
            continue;
        }
        writer.BeginArray();
        if (list.shape == ListShape::TwoEmptyObjects) {
            for (int i = 0; i < 2; ++i) {
                writer.BeginObject();
                writer.EndObject();
            }
        }
        writer.EndArray();
    }
    writer.EndArray();
}

// The number of a key shown only when it has one (0: no key).
int OptionalNumber(const KeyRow &row, const unsigned char *record) {
    if (row.shown == Shown::RadioModel) return RadioModelCode(TextOf(record, row.member));
    return MsmLevel(MessageSlots{record, row.member});
}

// The key and its value, or nothing for a key that shows only when it has a value.
void WriteKey(cgi::JsonWriter &writer, const KeyRow &row, const unsigned char *record) {
    const Member &member = row.member;
    if (row.shown == Shown::RadioModel || row.shown == Shown::MsmLevel) {
        if (const int number = OptionalNumber(row, record); number != 0) {
            writer.Key(row.key);
            writer.Int(number);
        }
        return;
    }
    writer.Key(row.key);
    switch (row.shown) {
        case Shown::Constant:
            writer.Int(row.constant);
            break;
        case Shown::Number:
            writer.Int(Number(record, member));
            break;
        case Shown::Flag:
            writer.Bool(Number(record, member) != 0);
            break;
        case Shown::Text:
            WriteString(writer, TextOf(record, member));
            break;
        case Shown::DottedAddress:
            WriteDottedAddress(writer, record, member);
            break;
        case Shown::Frequency:
            writer.Double(Frequency(Load<float>(record, member)));
            break;
        case Shown::ConnectionStatus:
            WriteString(writer, Number(record, member) != 0 ? "Connect" : "Disconnect");
            break;
        case Shown::TcpRole:
            writer.Int(Number(record, member) == 1 ? 0 : 1);
            break;
        case Shown::StreamType:
            writer.Int(StreamType(*row.stream_types, Load<unsigned char>(record, member)));
            break;
        case Shown::Messages:
            WriteMessages(writer, record + member.offset, row.messages);
            break;
        case Shown::RadioModel:
        case Shown::MsmLevel:
            break;
    }
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
    for (const KeyRow &row : channel.keys) WriteKey(writer, row, row.from_entry == ENTRY_NS1_CONFIG ? server1 : record);
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
