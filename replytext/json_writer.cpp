#include "json_writer.h"

#include <json-c/json.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace cgi {

namespace {
// A whole report is a few kilobytes at most: one allocation holds it.
constexpr std::size_t kReplyCapacity = std::size_t{32} * 1024;
}  // namespace

JsonWriter::JsonWriter() : data_(new char[kReplyCapacity]), capacity_(kReplyCapacity) {}

void JsonWriter::Grow(std::size_t size) {
    const std::size_t capacity = std::max(2 * capacity_, used_ + size);
    std::unique_ptr<char[]> data(new char[capacity]);
    std::memcpy(data.get(), data_.get(), used_);
    data_ = std::move(data);
    capacity_ = capacity;
}

std::size_t Utf8SequenceLength(const char *text, std::size_t length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    // The lead byte gives the length and the range of the first continuation byte, which
    // rules out overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    std::size_t size = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (length < size || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < size; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return size;
}

// Escapes a text the way json-c escapes its strings (a test holds the two side by side for
// every byte value): the named control characters, other bytes below 0x20 as \u00xx in lower
// case, the quote, the backslash and the slash. Record texts may hold any bytes, and a reply
// must be UTF-8 text: each byte that does not belong to a valid UTF-8 sequence is written as
// U+FFFD. Every other byte goes as is. The bytes before first need none.
void JsonWriter::EscapedString(const char *text, std::size_t length, std::size_t first) {
    static constexpr char kHex[] = "0123456789abcdef";
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
    SeparateValue();
    Append("\"");
    std::size_t plain = 0;  // start of the run of bytes that need no escape
    for (std::size_t i = first; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!kEscaped[byte]) continue;
        if (byte >= 0x80) {
            if (const std::size_t sequence = Utf8SequenceLength(text + i, length - i); sequence > 0) {
                i += sequence - 1;
                continue;
            }
        }
        Append(std::string_view(text + plain, i - plain));
        plain = i + 1;
        if (byte >= 0x80) {
            Append(kReplacement);
            continue;
        }
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

void JsonWriter::LongInt(long long value) {
    char *at = BeforeValue(Room(24));  // a separator and at most 20 characters
    used_ = static_cast<std::size_t>(std::to_chars(at, at + 22, value).ptr - data_.get());
}

// Few doubles are printed this way, so json-c itself writes them: the text is its own
// (seventeen significant digits, ".0" after a whole number).
void JsonWriter::Double(double value) {
    json_object *number = json_object_new_double(value);
    Number(json_object_to_json_string_ext(number, JSON_C_TO_STRING_SPACED));
    json_object_put(number);
}

}  // namespace cgi
