#include "json_writer.h"

#include <json-c/json.h>

#include <array>
#include <charconv>
#include <cstdlib>

namespace cgi {

namespace {
// A whole report is a few kilobytes at most: one allocation holds it.
constexpr std::size_t kReplyCapacity = std::size_t{32} * 1024;
}  // namespace

JsonWriter::JsonWriter() {
    text_.reserve(kReplyCapacity);
}

void JsonWriter::Clear() {
    text_.clear();
    depth_ = 0;
}

void JsonWriter::Open(char bracket, bool array) {
    BeforeValue();
    // Every reply has a fixed shape, a few levels deep: more is a fault of the program.
    if (depth_ == kMaxDepth) std::abort();
    text_ += bracket;
    array_[depth_] = array;
    had_children_[depth_] = false;
    ++depth_;
}

void JsonWriter::Close(char bracket) {
    --depth_;
    text_ += ' ';
    text_ += bracket;
}

// Escapes a text the way json-c escapes its strings (a test holds the two side by side for
// every byte value): the named control characters, other bytes below 0x20 as \u00xx in lower
// case, the quote, the backslash and the slash; every other byte as is.
void JsonWriter::String(const char *text, std::size_t length) {
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> escaped{};
        for (int byte = 0; byte < 0x20; ++byte) escaped[byte] = true;
        escaped['"'] = escaped['\\'] = escaped['/'] = true;
        return escaped;
    }();
    BeforeValue();
    Append("\"");
    std::size_t plain = 0;  // start of the run of bytes that need no escape
    for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kEscaped[byte]) continue;
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

void JsonWriter::Int(long long value) {
    BeforeValue();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text_.append(digits, end);
}

// Few doubles are printed this way, so json-c itself writes them: the text is its own
// (seventeen significant digits, ".0" after a whole number).
void JsonWriter::Double(double value) {
    json_object *number = json_object_new_double(value);
    Number(json_object_to_json_string_ext(number, JSON_C_TO_STRING_SPACED));
    json_object_put(number);
}

}  // namespace cgi
