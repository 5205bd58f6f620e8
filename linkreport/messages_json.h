// A channel's "Messages" value. Its hundreds of message items are kept as plain values and
// written out by json-c's printer in json-c's own form, instead of as one json-c object per
// item: the reply is the same to the byte, at a fraction of the allocations.
#pragma once

#include <json-c/json.h>

#include <vector>

#include "message_tables.h"

namespace linkreport {

struct MessageItem {
    const MessageRow *row;  // its ID and name, from the name tables
    int value;
};

class Messages {
 public:
    void BeginList() { elements_.push_back({Element::List, 0}); }
    void AddItem(const MessageItem &item) {
        items_.push_back(item);
        ++elements_.back().count;
    }
    void AddEmptyArray() { elements_.push_back({Element::EmptyArray, 0}); }
    void AddArrayOfTwoEmptyObjects() { elements_.push_back({Element::TwoEmptyObjects, 0}); }

    // Hands the value over to a json-c array object that prints it.
    json_object *ToJson() &&;

 private:
    enum class Element : unsigned char { List, EmptyArray, TwoEmptyObjects };
    struct Part {
        Element kind;
        unsigned short count;  // items of a list
    };
    static int Write(json_object *object, struct printbuf *out, int level, int flags);
    static void Delete(json_object *object, void *userdata);

    std::vector<MessageItem> items_;
    std::vector<Part> elements_;
};

}  // namespace linkreport
