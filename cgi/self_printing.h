// Values of a json-c document that print themselves with the JSON writer, for the replies
// still built as json-c documents: json-c calls back, and the writer's text is appended to
// json-c's print buffer.
#pragma once

#include <json-c/json.h>

#include "json_writer.h"

namespace cgi {

// A value that prints itself: print(userdata, writer) runs when json-c prints the reply, and
// delete_userdata releases userdata with the value.
json_object *SelfPrintingValue(void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                               void (*delete_userdata)(void *userdata));

// Makes an existing value print itself the same way (a whole reply, say), whatever it holds.
void SetSelfPrinting(json_object *value, void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                     void (*delete_userdata)(void *userdata));

}  // namespace cgi
