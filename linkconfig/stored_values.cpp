#include "stored_values.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <string_view>

namespace linkconfig {
namespace {

using linkreport::KeyRow;
using linkreport::Member;
using linkreport::MemberKind;
using linkreport::MessageList;
using linkreport::MessageRow;
using linkreport::MessageTable;
using linkreport::Shown;

std::string Fail(const KeyRow &row, const std::string &reason) {
    return std::string(row.key) + " " + reason;
}

void Note(Draft &draft, std::size_t offset, std::size_t length) {
    draft.writes.push_back({draft.entry, static_cast<unsigned short>(offset), static_cast<unsigned short>(length)});
}

unsigned int LoadNumber(const unsigned char *record, const Member &member) {
    if (member.kind == MemberKind::Byte) return record[member.offset];
    unsigned int word = 0;
    std::memcpy(&word, record + member.offset, sizeof word);
    return word;
}

void StoreNumber(Draft &draft, const Member &member, unsigned int value) {
    if (member.kind == MemberKind::Byte) {
        draft.record[member.offset] = static_cast<unsigned char>(value);
    } else {
        std::memcpy(draft.record + member.offset, &value, sizeof value);
    }
    Note(draft, member.offset, member.size);
}

bool IsInteger(json_object *value) {
    return json_object_is_type(value, json_type_int);
}

// A JSON integer within min to max.
bool IntegerWithin(json_object *value, long long min, long long max, int *out) {
    if (!IsInteger(value)) return false;
    const long long number = json_object_get_int64(value);
    if (number < min || number > max) return false;
    *out = static_cast<int>(number);
    return true;
}

std::string Range(long long min, long long max) {
    return "must be a whole number from " + std::to_string(min) + " to " + std::to_string(max);
}

// The stored value for a shown code, where several stored values show as one: the stored one
// when it already shows so, else the value equal to the code when it shows as itself, else
// the smallest that does; -1 when no value below limit shows so.
template <typename Shows>
long long StoredFor(long long asked, unsigned int stored, unsigned int limit, Shows shows) {
    if (shows(stored) == asked) return stored;
    if (asked >= 0 && asked < limit && shows(static_cast<unsigned int>(asked)) == asked) return asked;
    for (unsigned int value = 0; value < limit; ++value)
        if (shows(value) == asked) return value;
    return -1;
}

// The codes a column shows, for the message that names them ("3, 4, 5 or 6").
template <typename Shows>
std::string CodesShown(unsigned int limit, Shows shows) {
    bool seen[256] = {};
    for (unsigned int value = 0; value < limit; ++value) seen[shows(value)] = true;
    int left = 0;
    for (const bool any : seen) left += any;
    std::string text;
    for (int code = 0; code < 256; ++code) {
        if (!seen[code]) continue;
        if (!text.empty()) text += left == 1 ? " or " : ", ";
        text += std::to_string(code);
        --left;
    }
    return text;
}

template <typename Shows>
std::string StoreShownCode(const KeyRow &row, long long asked, Draft &draft, unsigned int limit, Shows shows) {
    const long long stored = StoredFor(asked, LoadNumber(draft.record, row.member), limit, shows);
    if (stored < 0) return Fail(row, "must be " + CodesShown(limit, shows));
    StoreNumber(draft, row.member, static_cast<unsigned int>(stored));
    return {};
}

// A code's requested value: a JSON integer, else one no stored value shows.
long long AskedCode(json_object *value) {
    return IsInteger(value) ? json_object_get_int64(value) : -1;
}

std::string StoreText(const KeyRow &row, json_object *value, Draft &draft) {
    if (!json_object_is_type(value, json_type_string)) return Fail(row, "must be a text");
    const char *text = json_object_get_string(value);
    const auto length = static_cast<std::size_t>(json_object_get_string_len(value));
    if (length + 1 > row.member.size)
        return Fail(row, "holds at most " + std::to_string(row.member.size - 1) + " characters");
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] < 0x20 || text[i] > 0x7E) return Fail(row, "must be printable ASCII, without control characters");
    std::memset(draft.record + row.member.offset, 0, row.member.size);
    std::memcpy(draft.record + row.member.offset, text, length);
    Note(draft, row.member.offset, row.member.size);
    return {};
}

std::string StoreAddress(const KeyRow &row, json_object *value, Draft &draft) {
    Ipv4Words words{};
    if (!json_object_is_type(value, json_type_string) ||
        !ParseDottedAddress(json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value)),
                            words))
        return Fail(row, "must be a dotted IPv4 address such as 192.168.1.10");
    std::memcpy(draft.record + row.member.offset, words, sizeof words);
    Note(draft, row.member.offset, row.member.size);
    return {};
}

std::string StoreFrequency(const KeyRow &row, json_object *value, Draft &draft) {
    const bool number = json_object_is_type(value, json_type_double) || IsInteger(value);
    const double frequency = number ? json_object_get_double(value) : -1;
    if (!number || !std::isfinite(frequency) || frequency < 0 || frequency > FLT_MAX)
        return Fail(row, "must be a finite frequency from 0 to 3.4e38");
    const auto stored = static_cast<float>(frequency);
    std::memcpy(draft.record + row.member.offset, &stored, sizeof stored);
    Note(draft, row.member.offset, row.member.size);
    return {};
}

std::string StoreRadioModel(const KeyRow &row, json_object *value, Draft &draft) {
    char *model = reinterpret_cast<char *>(draft.record + row.member.offset);
    const std::string_view current(model, strnlen(model, row.member.size));
    int asked = 0;
    const linkreport::RadioModel *first = nullptr;
    if (IntegerWithin(value, 1, INT_MAX, &asked))
        for (const linkreport::RadioModel &known : linkreport::kRadioModels) {
            if (known.code != asked) continue;
            if (current == known.text) return {};  // already shows so: kept as it is
            if (first == nullptr) first = &known;
        }
    if (first == nullptr) return Fail(row, "must be 1 (MV-TX), 2 (PN-WAVE), 3 (7731K) or 4 (T3, T8)");
    std::memset(model, 0, row.member.size);
    std::memcpy(model, first->text, std::strlen(first->text));
    Note(draft, row.member.offset, row.member.size);
    return {};
}

// ---- Messages ------------------------------------------------------------------------------

std::size_t SlotOffset(std::size_t stream, const MessageList &list, int index, const MessageTable &table) {
    return stream + list.slots.offset + static_cast<std::size_t>(index) * sizeof(MsgCfgPara) +
           (table.byte == linkreport::ValueByte::Interval ? offsetof(MsgCfgPara, Interval)
                                                          : offsetof(MsgCfgPara, Available));
}

// The values an item's byte can take and still show as asked.
void ItemRange(const MessageTable &table, const MessageRow &row, int *min, int *max) {
    if (table.byte == linkreport::ValueByte::Interval) {
        *min = SCHAR_MIN;
        *max = SCHAR_MAX;
    } else {
        *min = 0;
        *max = row.first_index == row.last_index ? UCHAR_MAX : 1;  // "any of them set" shows as 1
    }
}

json_object *Get(json_object *object, const char *key) {
    json_object *value = nullptr;
    return json_object_object_get_ex(object, key, &value) ? value : nullptr;
}

bool SameItem(json_object *item, const MessageRow &row) {
    json_object *id = Get(item, "ID");
    json_object *name = Get(item, "Name");
    return json_object_is_type(item, json_type_object) && json_object_object_length(item) == 3 && id != nullptr &&
           IsInteger(id) && json_object_get_int64(id) == row.id && name != nullptr &&
           json_object_is_type(name, json_type_string) && std::strcmp(json_object_get_string(name), row.name) == 0 &&
           Get(item, "Interval") != nullptr;
}

std::string ListPlace(std::size_t list, std::size_t item) {
    return "list " + std::to_string(list + 1) + " item " + std::to_string(item + 1);
}

std::string StoreItems(const MessageList &list, std::size_t place, json_object *items, std::size_t stream,
                       Draft &draft) {
    const MessageTable &table = *list.table;
    const std::string shape = "Messages must have the lists linkreport shows, with only Interval values changed: ";
    if (json_object_array_length(items) != table.rows.size())
        return shape + "list " + std::to_string(place + 1) + " has " + std::to_string(table.rows.size()) + " items";
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const MessageRow &row = table.rows[i];
        json_object *item = json_object_array_get_idx(items, i);
        if (!SameItem(item, row))
            return shape + ListPlace(place, i) + " is {\"ID\": " + std::to_string(row.id) + ", \"Name\": \"" +
                   row.name + "\", \"Interval\": ...}";
        int min = 0, max = 0, interval = 0;
        ItemRange(table, row, &min, &max);
        if (!IntegerWithin(Get(item, "Interval"), min, max, &interval))
            return std::string("Messages: Interval of ") + row.name + " (" + ListPlace(place, i) + ") " +
                   Range(min, max);
        bool shows_as_asked = false;  // a row over several slots keeps them when it already shows so
        if (row.first_index != row.last_index) {
            bool any = false;
            for (int index = row.first_index; index <= row.last_index; ++index)
                any = any || draft.record[SlotOffset(stream, list, index, table)] != 0;
            shows_as_asked = any == (interval != 0);
        }
        for (int index = row.first_index; index <= row.last_index; ++index) {
            const std::size_t offset = SlotOffset(stream, list, index, table);
            if (!shows_as_asked) draft.record[offset] = static_cast<unsigned char>(interval);
            Note(draft, offset, 1);
        }
    }
    return {};
}

bool IsEmptyObject(json_object *value) {
    return json_object_is_type(value, json_type_object) && json_object_object_length(value) == 0;
}

std::string StoreMessages(const KeyRow &row, json_object *value, Draft &draft) {
    const std::string shape = "Messages must have the lists linkreport shows, with only Interval values changed";
    if (!json_object_is_type(value, json_type_array) || json_object_array_length(value) != row.messages.size())
        return shape + ": " + std::to_string(row.messages.size()) + " lists";
    for (std::size_t i = 0; i < row.messages.size(); ++i) {
        const MessageList &list = row.messages[i];
        json_object *items = json_object_array_get_idx(value, i);
        if (!json_object_is_type(items, json_type_array))
            return shape + ": list " + std::to_string(i + 1) + " is a list";
        const std::size_t length = json_object_array_length(items);
        switch (list.shape) {
            case linkreport::ListShape::Empty:
                if (length != 0) return shape + ": list " + std::to_string(i + 1) + " is empty";
                break;
            case linkreport::ListShape::TwoEmptyObjects:
                if (length != 2 || !IsEmptyObject(json_object_array_get_idx(items, 0)) ||
                    !IsEmptyObject(json_object_array_get_idx(items, 1)))
                    return shape + ": list " + std::to_string(i + 1) + " holds two empty objects";
                break;
            case linkreport::ListShape::Items:
                if (std::string failed = StoreItems(list, i, items, row.member.offset, draft); !failed.empty())
                    return failed;
                break;
        }
    }
    return {};
}

}  // namespace

bool ParseDottedAddress(const char *text, std::size_t length, Ipv4Words &words) {
    std::size_t at = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0 && (at >= length || text[at++] != '.')) return false;
        unsigned int value = 0;
        std::size_t digits = 0;
        for (; at < length && text[at] >= '0' && text[at] <= '9' && digits < 4; ++at, ++digits)
            value = value * 10 + static_cast<unsigned int>(text[at] - '0');
        if (digits == 0 || digits > 3 || value > 255) return false;
        words[octet] = value;
    }
    return at == length;
}

bool IsDerived(const KeyRow &row) {
    return row.from_entry != 0 || row.shown == Shown::Constant || row.shown == Shown::ConnectionStatus ||
           row.shown == Shown::MsmLevel;
}

std::string StoreKey(const KeyRow &row, json_object *value, Draft &draft) {
    switch (row.shown) {
        case Shown::Number: {
            const long long max = row.max != 0 ? row.max : row.member.kind == MemberKind::Byte ? UCHAR_MAX : INT_MAX;
            int number = 0;
            if (!IntegerWithin(value, row.min, max, &number)) return Fail(row, Range(row.min, max));
            StoreNumber(draft, row.member, static_cast<unsigned int>(number));
            return {};
        }
        case Shown::Flag:
            if (!json_object_is_type(value, json_type_boolean)) return Fail(row, "must be true or false");
            return StoreShownCode(row, json_object_get_boolean(value) ? 1 : 0, draft, 2,
                                  [](unsigned int stored) { return stored != 0 ? 1 : 0; });
        case Shown::Text:
            return StoreText(row, value, draft);
        case Shown::DottedAddress:
            return StoreAddress(row, value, draft);
        case Shown::Frequency:
            return StoreFrequency(row, value, draft);
        case Shown::TcpRole:
            return StoreShownCode(row, AskedCode(value), draft, 2,
                                  [](unsigned int stored) { return stored == 1 ? 0 : 1; });
        case Shown::StreamType:
            return StoreShownCode(row, AskedCode(value), draft, 256, [&row](unsigned int stored) {
                return linkreport::StreamType(*row.stream_types, static_cast<unsigned char>(stored));
            });
        case Shown::RadioModel:
            return StoreRadioModel(row, value, draft);
        case Shown::Messages:
            return StoreMessages(row, value, draft);
        case Shown::Constant:
        case Shown::ConnectionStatus:
        case Shown::MsmLevel:
            break;
    }
    return Fail(row, "cannot be set");
}

}  // namespace linkconfig
