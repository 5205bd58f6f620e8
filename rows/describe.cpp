#include "describe.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "revision.h"
#include "values.h"

namespace rows {
namespace {

const char *TypeName(Shown shown) {
    switch (shown) {
        case Shown::Constant:
            return "Constant";
        case Shown::Number:
            return "Number";
        case Shown::Decimal:
            return "Decimal";
        case Shown::Flag:
            return "Flag";
        case Shown::Text:
            return "Text";
        case Shown::DottedAddress:
            return "Address";
        case Shown::Choice:
        case Shown::TextChoice:
            return "Choice";
        case Shown::FlagWords:
            return "Status";
        case Shown::Messages:
            return "Messages";
        case Shown::SlotLevel:
            return "Level";
    }
    return "";
}

// A whole number as an integer, any other as its shortest usual text (0.00625).
void WriteNumber(cgi::JsonWriter &writer, double value) {
    if (std::fabs(value) < 9e15 && static_cast<double>(static_cast<long long>(value)) == value)
        return writer.Int(static_cast<long long>(value));
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    writer.Number(text);
}

void WriteRange(cgi::JsonWriter &writer, const Rule &rule) {
    writer.Key("Min");
    WriteNumber(writer, rule.min);
    writer.Key("Max");
    WriteNumber(writer, rule.max);
    writer.Key("Step");
    WriteNumber(writer, rule.step);
}

void WriteChoices(cgi::JsonWriter &writer, std::span<const Choice> choices) {
    writer.Key("Choices");
    writer.BeginArray();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0 && choices[i].code == choices[i - 1].code) continue;  // said with the first
        std::string text = choices[i].text;
        for (std::size_t j = i + 1; j < choices.size() && choices[j].code == choices[i].code; ++j)
            text += std::string(" or ") + choices[j].text;
        writer.BeginObject();
        writer.Key("Value");
        writer.Int(choices[i].code);
        writer.Key("Text");
        writer.String(text);
        writer.EndObject();
    }
    writer.EndArray();
}

// Each list of a Messages row: its name, and the values its items take.
void WriteLists(cgi::JsonWriter &writer, std::span<const MessageList> lists) {
    writer.Key("Lists");
    writer.BeginArray();
    for (const MessageList &list : lists) {
        writer.BeginObject();
        writer.Key("Name");
        writer.String(list.name);
        if (list.shape == ListShape::Items) {
            const bool interval = list.table->byte == ValueByte::Interval;
            writer.Key("Value");
            writer.String(interval ? "Interval" : "On");
            const Rule rule = ItemRule(*list.table);
            writer.Key("Min");
            WriteNumber(writer, rule.min);
            writer.Key("Max");
            WriteNumber(writer, rule.max);
            writer.Key("Unit");
            writer.String(interval ? "s" : "");
        }
        writer.EndObject();
    }
    writer.EndArray();
}

void WriteRule(cgi::JsonWriter &writer, const Row &row) {
    switch (row.shown) {
        case Shown::Constant:
            writer.Key("Value");
            writer.Int(row.constant);
            break;
        case Shown::Number:
        case Shown::Decimal:
            WriteRange(writer, row.rule);
            break;
        case Shown::Text:
            writer.Key("MaxLength");
            writer.Int(static_cast<long long>(row.rule.max_length != 0 ? row.rule.max_length : row.member.size - 1));
            if (row.rule.min_length != 0) {
                writer.Key("MinLength");
                writer.Int(row.rule.min_length);
            }
            writer.Key("Characters");
            writer.String(row.rule.characters == Characters::FileName ? "A-Z a-z 0-9 - _" : "printable ASCII");
            if (row.choices_from != nullptr) {  // read at run time: the group's read carries them
                writer.Key("ChoicesFrom");
                writer.String(row.choices_from->entry_name);
                writer.Key("ChoicesIn");
                writer.String(row.choices_in);
            }
            break;
        case Shown::Choice:
        case Shown::TextChoice:
        case Shown::FlagWords:
            WriteChoices(writer, row.rule.choices);
            break;
        case Shown::Messages:
            WriteLists(writer, row.messages);
            break;
        default:
            break;
    }
}

void WritePlace(cgi::JsonWriter &writer, const Group &group, const Row &row) {
    if (row.shown == Shown::Constant) return;  // no bytes
    const Place &place = PlaceOf(group, row);
    writer.Key("Segment");
    writer.String(SegmentName(place.segment));
    writer.Key("Entry");
    writer.String(place.entry_name);
    writer.Key("Offset");
    writer.Int(static_cast<long long>(row.member.offset));
    writer.Key("Size");
    writer.Int(static_cast<long long>(row.member.size));
    writer.Key("Operation");
    writer.String(place.operation_name);
}

}  // namespace

const char *SegmentName(Segment segment) {
    switch (segment) {
        case Segment::Configuration:
            return "configuration";
        case Segment::Monitor:
            return "monitor";
        case Segment::Gnss:
            return "GNSS";
    }
    return "";
}

std::string FixedReason(const Group &group, const Row &row) {
    if (row.fixed != nullptr) return row.fixed;
    if (row.live) return std::string(row.key) + " is read-only: the receiver writes it";
    return std::string(row.key) + " is " + std::to_string(row.constant) + " for " + group.name +
           " and cannot be changed";
}

void Describe(cgi::JsonWriter &writer, const Group &group, const Row &row) {
    const bool changeable = Changeable(row);
    writer.BeginObject();
    writer.Key("Key");
    writer.String(row.key);
    writer.Key("Type");
    writer.String(TypeName(row.shown));
    writer.Key("Label");
    writer.String(row.label);
    writer.Key("Unit");
    writer.String(row.unit != nullptr ? row.unit : "");
    writer.Key("Changeable");
    writer.Bool(changeable);
    writer.Key("Secret");
    writer.Bool(row.secret);
    if (row.live) {  // its value may be {"Unknown": raw}
        writer.Key("Live");
        writer.Bool(true);
    }
    WriteRule(writer, row);
    writer.Key("Error");
    writer.String(changeable ? BadValue(row) : FixedReason(group, row));
    WritePlace(writer, group, row);
    writer.EndObject();
}

std::string VersionOf(std::string_view description) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx",
                  grshm::HashBytes(GRSHM_REVISION_BASIS, description.data(), description.size()));
    return text;
}

}  // namespace rows
