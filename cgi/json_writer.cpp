#include "json_writer.h"

#include <json-c/printbuf.h>

#include <charconv>
#include <cstring>

namespace cgi {
namespace {

struct SelfPrinting {
    void *userdata;
    void (*print)(const void *, JsonWriter &);
    void (*delete_userdata)(void *);
};

int PrintSelf(json_object *value, printbuf *out, int /*level*/, int flags) {
    const auto *self = static_cast<const SelfPrinting *>(json_object_get_userdata(value));
    JsonWriter writer(out, flags);
    self->print(self->userdata, writer);
    return 0;
}

void DeleteSelf(json_object * /*value*/, void *userdata) {
    auto *self = static_cast<SelfPrinting *>(userdata);
    self->delete_userdata(self->userdata);
    delete self;
}

}  // namespace

void JsonWriter::AppendLong(std::string_view text) {
    Flush();
    if (text.size() > sizeof pending_) {
        printbuf_memappend(out_, text.data(), static_cast<int>(text.size()));
        return;
    }
    std::memcpy(pending_, text.data(), text.size());
    used_ = text.size();
}

void JsonWriter::Flush() {
    if (used_ > 0) printbuf_memappend(out_, pending_, static_cast<int>(used_));
    used_ = 0;
}

void JsonWriter::String(const char *text, std::size_t length) {
    // json-c itself escapes the text, exactly as it escapes every other string of the reply.
    json_object *string = json_object_new_string_len(text, static_cast<int>(length));
    std::size_t printed = 0;
    const char *escaped = json_object_to_json_string_length(string, flags_, &printed);
    Append(std::string_view(escaped, printed));
    json_object_put(string);
}

void JsonWriter::Int(int value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Append(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

json_object *SelfPrintingValue(void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                               void (*delete_userdata)(void *userdata)) {
    json_object *value = json_object_new_int(0);  // its own form is never printed
    json_object_set_serializer(value, PrintSelf, new SelfPrinting{userdata, print, delete_userdata}, DeleteSelf);
    return value;
}

}  // namespace cgi
