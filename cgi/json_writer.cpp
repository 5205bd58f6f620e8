#include "json_writer.h"

#include <json-c/printbuf.h>

#include <array>
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

// Escapes a text the way json-c escapes its strings (a test holds the two side by side for
// every byte value): the named control characters, other bytes below 0x20 as \u00xx in lower
// case, the quote, the backslash and, unless asked not to, the slash; every other byte as is.
void JsonWriter::String(const char *text, std::size_t length) {
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> escaped{};
        for (int byte = 0; byte < 0x20; ++byte) escaped[byte] = true;
        escaped['"'] = escaped['\\'] = escaped['/'] = true;
        return escaped;
    }();
    Append("\"");
    std::size_t plain = 0;  // start of the run of bytes that need no escape
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kEscaped[byte] || (byte == '/' && (flags_ & JSON_C_TO_STRING_NOSLASHESCAPE) != 0)) continue;
        Append(std::string_view(text + plain, i - plain));
        plain = i + 1;
        switch (byte) {
            case '\b':
                Append("\\b");
                break;
            case '\t':
                Append("\\t");
                break;
            case '\n':
                Append("\\n");
                break;
            case '\f':
                Append("\\f");
                break;
            case '\r':
                Append("\\r");
                break;
            case '"':
                Append("\\\"");
                break;
            case '\\':
                Append("\\\\");
                break;
            case '/':
                Append("\\/");
                break;
            default: {
                const char escaped[6] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 15]};
                Append(std::string_view(escaped, sizeof escaped));
            }
        }
    }
    Append(std::string_view(text + plain, length - plain));
    Append("\"");
}

void JsonWriter::Int(int value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Append(std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

// Few doubles are printed this way, so json-c itself writes them: the text is its own
// (seventeen significant digits, ".0" after a whole number, its words for NaN and infinities).
void JsonWriter::Double(double value) {
    json_object *number = json_object_new_double(value);
    Append(json_object_to_json_string_ext(number, flags_));
    json_object_put(number);
}

json_object *SelfPrintingValue(void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                               void (*delete_userdata)(void *userdata)) {
    json_object *value = json_object_new_int(0);  // its own form is never printed
    SetSelfPrinting(value, userdata, print, delete_userdata);
    return value;
}

void SetSelfPrinting(json_object *value, void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                     void (*delete_userdata)(void *userdata)) {
    json_object_set_serializer(value, PrintSelf, new SelfPrinting{userdata, print, delete_userdata}, DeleteSelf);
}

}  // namespace cgi
