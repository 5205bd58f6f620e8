// A channel's "Messages" value: its message lists (an item per table row, in table order)
// and the fixed tails of its kind, written straight into the reply as json-c would print
// them, rather than built from one json-c object per item.
#pragma once

#include "json_writer.h"
#include "message_tables.h"
#include "sharememory.h"

namespace linkreport {

class MessagesWriter {
 public:
    explicit MessagesWriter(cgi::JsonWriter &writer) : writer_(writer) { writer_.BeginArray(); }
    ~MessagesWriter() { writer_.EndArray(); }
    MessagesWriter(const MessagesWriter &) = delete;
    MessagesWriter &operator=(const MessagesWriter &) = delete;

    // One list: an item per row of the table, its value from the stored slots.
    void List(const MessageTable &table, const MsgCfgPara *slots);
    void EmptyArray();
    void ArrayOfTwoEmptyObjects();

 private:
    cgi::JsonWriter &writer_;
};

}  // namespace linkreport
