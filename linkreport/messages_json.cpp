#include "messages_json.h"

namespace linkreport {
namespace {

int ItemValue(const MessageTable &table, const MessageRow &row, const MsgCfgPara *slots) {
    if (table.byte == ValueByte::Interval) return slots[row.first_index].Interval;
    if (row.first_index == row.last_index) return slots[row.first_index].Available;
    for (int index = row.first_index; index <= row.last_index; ++index)
        if (slots[index].Available != 0) return 1;
    return 0;
}

}  // namespace

void MessagesWriter::List(const MessageTable &table, const MsgCfgPara *slots) {
    writer_.Element();
    writer_.BeginArray();
    const bool spaced = writer_.Spaced();
    for (const MessageRow &row : table.rows) {
        writer_.Element();
        // The prefix opens the item and holds its ID, name and key of the value.
        writer_.Raw(spaced ? row.spaced_prefix : row.plain_prefix);
        writer_.Int(ItemValue(table, row, slots));
        writer_.Raw(writer_.Style().close_object);
    }
    writer_.EndArray();
}

void MessagesWriter::EmptyArray() {
    writer_.Element();
    writer_.Raw(writer_.Style().empty_array);
}

void MessagesWriter::ArrayOfTwoEmptyObjects() {
    const cgi::JsonStyle &style = writer_.Style();
    writer_.Element();
    writer_.BeginArray();
    writer_.Element();
    writer_.Raw(style.empty_object);
    writer_.Element();
    writer_.Raw(style.empty_object);
    writer_.EndArray();
}

}  // namespace linkreport
