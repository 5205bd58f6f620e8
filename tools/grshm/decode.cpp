#include "decode.h"

#include <json-c/json_object_iterator.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace grshmtool {
namespace {

using grshm::Kind;
using grshm::Layout;
using grshm::Member;

json_object *Number(long long value) {
    return json_object_new_int64(value);
}

json_object *TextValue(const char *field, std::size_t width) {
    return json_object_new_string_len(field, static_cast<int>(strnlen(field, width)));
}
#define TEXT(field) TextValue(field, sizeof(field))

json_object *Letter(unsigned char letter) {
    const char text[2] = {static_cast<char>(letter), '\0'};
    return json_object_new_string(text);
}

json_object *Address(const Ipv4Words &words) {
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", words[0], words[1], words[2], words[3]);
    return json_object_new_string(text);
}

void Add(json_object *object, const char *key, json_object *value) {
    json_object_object_add(object, key, value);
}

std::string HexOf(const unsigned char *bytes, std::size_t size) {
    return grshmtool::Hex(Bytes(bytes, bytes + size));
}

json_object *DecodeRows(Layout rows, const unsigned char *record, std::size_t element, std::size_t stride);

// A list: count elements of the row's element rows, element n stride bytes after element 0.
json_object *DecodeList(Layout rows, const unsigned char *start, std::size_t count, std::size_t stride) {
    json_object *list = json_object_new_array();
    for (std::size_t n = 0; n < count; ++n) json_object_array_add(list, DecodeRows(rows, start, n, stride));
    return list;
}

json_object *DecodeField(const Member &field, const unsigned char *at) {
    switch (field.kind) {
        case Kind::Unsigned: {
            unsigned long long value = 0;
            std::memcpy(&value, at, std::min(field.size, sizeof value));  // little-endian, as kept
            return Number(static_cast<long long>(value));
        }
        case Kind::Signed: {
            unsigned long long value = 0;
            const std::size_t width = std::min(field.size, sizeof value);
            std::memcpy(&value, at, width);  // little-endian, as kept
            if (width < sizeof value && (value >> (8 * width - 1)) & 1) value |= ~0ULL << (8 * width);  // sign
            return Number(static_cast<long long>(value));
        }
        case Kind::Real: {
            if (field.size == sizeof(float)) {
                float value = 0;
                std::memcpy(&value, at, sizeof value);
                return json_object_new_double(value);
            }
            double value = 0;
            std::memcpy(&value, at, sizeof value);
            return json_object_new_double(value);
        }
        case Kind::Letter:
            return Letter(*at);
        case Kind::Text:
            return TextValue(reinterpret_cast<const char *>(at), field.size);
        case Kind::Address: {
            Ipv4Words words{};
            std::memcpy(words, at, sizeof words);
            return Address(words);
        }
        case Kind::Bytes:
            return json_object_new_string(HexOf(at, field.size).c_str());
        case Kind::Record:
            return DecodeRows(field.rows, at, 0, 0);
        case Kind::Array:
            return DecodeList(field.rows, at, field.count, field.stride);
    }
    return nullptr;
}

// One record (or one element of a list) as an object, a member per row.
json_object *DecodeRows(Layout rows, const unsigned char *record, std::size_t element, std::size_t stride) {
    json_object *object = json_object_new_object();
    for (const Member &field : rows) {
        const std::size_t step = field.stride != 0 ? field.stride : stride;
        Add(object, field.name, DecodeField(field, record + field.offset + element * step));
    }
    return object;
}

// A record entry: its rows over its bytes (zero-extended to the record's size if short). A
// record whose one row is an unnamed list shows as that list.
json_object *DecodeRecord(const Layout rows, const Bytes &bytes) {
    std::size_t size = 0;
    for (const Member &field : rows) size = std::max(size, field.offset + field.size);
    Bytes record(std::max(size, bytes.size()), 0);
    std::memcpy(record.data(), bytes.data(), bytes.size());
    if (rows.size() == 1 && rows[0].kind == Kind::Array && *rows[0].name == '\0')
        return DecodeField(rows[0], record.data());
    return DecodeRows(rows, record.data(), 0, 0);
}

// Calls fn(key, member) for each member of an object, in order.
template <typename Fn>
void ForEachMember(json_object *object, Fn &&fn) {
    json_object_iterator it = json_object_iter_begin(object);
    const json_object_iterator end = json_object_iter_end(object);
    for (; !json_object_iter_equal(&it, &end); json_object_iter_next(&it))
        fn(json_object_iter_peek_name(&it), json_object_iter_peek_value(&it));
}

bool IsContainer(json_object *value) {
    return json_object_is_type(value, json_type_object) || json_object_is_type(value, json_type_array);
}

bool IsZeroLeaf(json_object *value) {
    if (!json_object_is_type(value, json_type_object)) return false;
    bool zero = true;
    ForEachMember(value, [&zero](const char *, json_object *member) {
        zero =
            zero && !IsContainer(member) && json_object_get_int64(member) == 0 && json_object_get_double(member) == 0.0;
    });
    return zero;
}

bool IsLeafObject(json_object *value) {
    if (!json_object_is_type(value, json_type_object)) return false;
    bool leaf = true;
    ForEachMember(value, [&leaf](const char *, json_object *member) { leaf = leaf && !IsContainer(member); });
    return leaf;
}

std::string Scalar(json_object *value) {
    if (json_object_is_type(value, json_type_string)) {
        std::string quoted(1, '"');
        quoted.append(json_object_get_string(value)).push_back('"');
        return quoted;
    }
    if (json_object_is_type(value, json_type_double)) {
        char text[40];
        std::snprintf(text, sizeof text, "%.12g", json_object_get_double(value));
        return text;
    }
    return json_object_to_json_string_ext(value, JSON_C_TO_STRING_PLAIN);
}

void Flatten(const std::string &path, json_object *value, std::ostringstream &out) {
    if (json_object_is_type(value, json_type_array)) {
        int zero = 0;
        for (std::size_t i = 0; i < json_object_array_length(value); ++i) {
            json_object *element = json_object_array_get_idx(value, i);
            if (IsZeroLeaf(element)) {
                ++zero;
                continue;
            }
            Flatten(path + "[" + std::to_string(i) + "]", element, out);
        }
        if (zero > 0) out << path << ": " << zero << " all-zero slots not shown\n";
        return;
    }
    if (IsLeafObject(value) && !path.empty() && path.back() == ']') {
        out << path << ":";
        ForEachMember(value,
                      [&out](const char *key, json_object *member) { out << " " << key << "=" << Scalar(member); });
        out << "\n";
        return;
    }
    if (json_object_is_type(value, json_type_object)) {
        ForEachMember(value, [&](const char *key, json_object *member) {
            Flatten(path.empty() ? key : path + "." + key, member, out);
        });
        return;
    }
    out << path << ": " << Scalar(value) << "\n";
}

bool ParseUnsigned(const std::string &text, unsigned long long limit, unsigned long long *value) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
    errno = 0;
    char *end = nullptr;
    *value = std::strtoull(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && *value <= limit;
}

}  // namespace

std::string Hex(const Bytes &bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

json_object *Decode(const Entry &entry, const Bytes &bytes) {
    const Member &member = entry.member;
    switch (member.kind) {
        case Kind::Record:
            return DecodeRecord(member.rows, bytes);
        case Kind::Array:
            return DecodeList(member.rows, bytes.data(), bytes.size() / member.stride, member.stride);
        case Kind::Bytes:
            return json_object_new_string(Hex(bytes).c_str());
        default: {
            Bytes value(std::max(member.size, bytes.size()), 0);  // a scalar read short is zero-extended
            std::memcpy(value.data(), bytes.data(), bytes.size());
            Member whole = member;
            whole.offset = 0;
            whole.size = bytes.size();
            return DecodeField(whole, value.data());
        }
    }
}

json_object *Describe(const Entry &entry, const Bytes &bytes) {
    json_object *o = json_object_new_object();
    Add(o, "segment", json_object_new_string(entry.segment->name));
    Add(o, "entry", json_object_new_string(entry.name.c_str()));
    Add(o, "number", Number(entry.number));
    Add(o, "offset", Number(entry.span.offset));
    Add(o, "size", Number(static_cast<long long>(bytes.size())));
    Add(o, "value", Decode(entry, bytes));
    Add(o, "hex", json_object_new_string(Hex(bytes).c_str()));
    return o;
}

std::string DecodedText(const Entry &entry, const Bytes &bytes) {
    json_object *value = Decode(entry, bytes);
    std::ostringstream out;
    if (json_object_is_type(value, json_type_object) || json_object_is_type(value, json_type_array)) {
        out << entry.name << " (" << bytes.size() << " bytes at " << entry.span.offset << "):\n";
        std::ostringstream fields;
        Flatten("", value, fields);
        std::istringstream lines(fields.str());
        for (std::string line; std::getline(lines, line);) out << "  " << line << "\n";
    } else {
        out << entry.name << ": " << Scalar(value) << "\n";
    }
    json_object_put(value);
    return out.str();
}

Bytes Encode(const Entry &entry, const std::string &value, bool from_hex, std::string *error) {
    const std::size_t size = entry.span.size;
    Bytes bytes(size, 0);
    if (from_hex) {
        if (value.size() != 2 * size || value.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            *error = entry.name + " takes exactly " + std::to_string(size) + " bytes (" + std::to_string(2 * size) +
                     " hex digits)";
            return {};
        }
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(std::strtoul(value.substr(2 * i, 2).c_str(), nullptr, 16));
        return bytes;
    }
    unsigned long long number = 0;
    switch (entry.member.kind) {
        case Kind::Unsigned: {
            const unsigned long long limit = size == 1 ? 0xFF : size == 2 ? 0xFFFF : 0xFFFFFFFF;
            if (!ParseUnsigned(value, limit, &number)) {
                *error = entry.name + " takes a whole number from 0 to " + std::to_string(limit);
                return {};
            }
            std::memcpy(bytes.data(), &number, size);  // little-endian, as the receiver keeps it
            return bytes;
        }
        case Kind::Text:
            if (value.size() >= size) {
                *error = entry.name + " holds at most " + std::to_string(size - 1) + " bytes of text";
                return {};
            }
            std::memcpy(bytes.data(), value.data(), value.size());
            return bytes;
        case Kind::Address: {
            unsigned int octets[4];
            char tail = 0;
            if (std::sscanf(value.c_str(), "%u.%u.%u.%u%c", &octets[0], &octets[1], &octets[2], &octets[3], &tail) !=
                    4 ||
                octets[0] > 255 || octets[1] > 255 || octets[2] > 255 || octets[3] > 255) {
                *error = entry.name + " takes a dotted IPv4 address such as 192.168.1.10";
                return {};
            }
            std::memcpy(bytes.data(), octets, sizeof octets);
            return bytes;
        }
        default:
            *error = entry.name + " is a record: give its " + std::to_string(size) + " bytes with --hex";
            return {};
    }
}

}  // namespace grshmtool
