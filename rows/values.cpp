#include "values.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <type_traits>
#include <vector>

#include "number_text.h"

namespace rows {
namespace {

using grshm::Member;

// ---- Reading -------------------------------------------------------------------------------

// A message array within a record: its slots' bytes read where they lie.
struct MessageSlots {
    const unsigned char *record;
    Member slots;

    int Interval(int index) const { return static_cast<signed char>(Byte(index, offsetof(MsgCfgPara, Interval))); }
    int Available(int index) const { return Byte(index, offsetof(MsgCfgPara, Available)); }

 private:
    unsigned char Byte(int index, std::size_t member) const {
        const std::size_t at = static_cast<std::size_t>(index) * sizeof(MsgCfgPara) + member;
        return at < slots.size ? record[slots.offset + at] : 0;
    }
};

// An item's value: the interval byte, or the available byte (set if any of its slots is).
int ItemValue(const MessageTable &table, const MessageRow &row, const MessageSlots &slots) {
    if (table.byte == ValueByte::Interval) return slots.Interval(row.first_index);
    if (row.first_index == row.last_index) return slots.Available(row.first_index);
    for (int index = row.first_index; index <= row.last_index; ++index)
        if (slots.Available(index) != 0) return 1;
    return 0;
}

// One list: an item per row of the table, its value from the stored slots.
void WriteMessageList(cgi::JsonWriter &writer, const MessageTable &table, const MessageSlots &slots) {
    writer.BeginArray();
    for (const MessageRow &row : table.rows) {
        writer.BeginObject();
        writer.Key("ID");
        writer.Int(row.id);
        writer.Key("Name");
        writer.String(row.name);
        writer.Key("Interval");
        writer.Int(ItemValue(table, row, slots));
        writer.EndObject();
    }
    writer.EndArray();
}

void WriteMessages(cgi::JsonWriter &writer, const unsigned char *stream, std::span<const MessageList> lists) {
    writer.BeginArray();
    for (const MessageList &list : lists) {
        if (list.shape == ListShape::Items) {
            WriteMessageList(writer, *list.table, MessageSlots{stream, list.slots});
            continue;
        }
        writer.BeginArray();
        if (list.shape == ListShape::TwoEmptyObjects) {
            for (int i = 0; i < 2; ++i) {
                writer.BeginObject();
                writer.EndObject();
            }
        }
        writer.EndArray();
    }
    writer.EndArray();
}

template <typename Value>
Value Load(const unsigned char *record, const Member &member) {
    Value value{};  // a narrower member fills its low bytes (little-endian, as kept)
    static_assert(std::is_trivially_copyable_v<Value>);
    std::memcpy(&value, record + member.offset, std::min(sizeof value, member.size));
    return value;
}

// A member's value as a number: a byte as it is, a word as its 32-bit pattern.
unsigned int Stored(const unsigned char *record, const Member &member) {
    if (member.size == 1) return record[member.offset];
    return Load<unsigned int>(record, member);
}

std::string_view TextOf(const unsigned char *record, const Member &member) {
    const char *text = reinterpret_cast<const char *>(record + member.offset);
    return {text, strnlen(text, member.size)};
}

void WriteString(cgi::JsonWriter &writer, std::string_view text) {
    writer.String(text.data(), text.size());
}

// "%d.%d.%d.%d" of the four words, cut to 23 characters as it always was (a word above 255
// is not an octet, and shows as its own number).
void WriteDottedAddress(cgi::JsonWriter &writer, const unsigned char *record, const Member &member) {
    Ipv4Words address;
    std::memcpy(address, record + member.offset, sizeof address);
    char text[4 * 12] = {};
    std::size_t length = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) text[length++] = '.';
        length += cgi::IntegerText(static_cast<int>(address[i]), text + length, sizeof text - length);
    }
    WriteString(writer, std::string_view(text, std::min<std::size_t>(length, 23)));
}

// The code a Choice shows for a stored value.
int ShownCode(const Row &row, unsigned int stored) {
    if (row.shown_of.empty()) return static_cast<int>(stored);
    return stored < row.shown_of.size() ? row.shown_of[stored] : row.shown_of[0];
}

// The choice whose stored text the member holds; null when none.
const Choice *TextChoiceOf(const Row &row, const unsigned char *record) {
    const std::string_view text = TextOf(record, row.member);
    for (const Choice &choice : row.rule.choices)
        if (text == choice.stored) return &choice;
    return nullptr;
}

// The first level whose slot's available byte is set; 0 when none is.
int LevelOf(const Row &row, const unsigned char *record) {
    const MessageSlots slots{record, row.member};
    for (const SlotLevel &level : row.levels)
        if (slots.Available(level.index) != 0) return level.level;
    return 0;
}

// JSON has no NaN or infinity (json-c would print them as words no JSON reader takes): a
// value that is not a number shows as 0.
double Finite(float stored) {
    const auto value = static_cast<double>(stored);
    return std::isfinite(value) ? value : 0.0;
}

// A scaled word as its exact decimal text (15000 of scale 10000 is 1.5; -5 is -0.0005).
void WriteScaled(cgi::JsonWriter &writer, int stored, int scale) {
    const long long units = stored;
    const long long whole = units / scale, part = (units < 0 ? -units : units) % scale;
    std::string text = units < 0 && whole == 0 ? "-" : "";  // (one text appended to another: GCC 12's
    text += std::to_string(whole);                          // -O3 warns of overlap for a + of the two)
    if (part != 0) {
        std::string digits = std::to_string(part + scale).substr(1);  // leading zeros kept
        while (digits.back() == '0') digits.pop_back();
        text += "." + digits;
    }
    writer.Number(text);
}

// A Number's value: a signed member as signed (a temperature byte), any other as stored.
long long NumberOf(const unsigned char *record, const Member &member) {
    if (member.kind == grshm::Kind::Signed && member.size == 1) return static_cast<signed char>(record[member.offset]);
    if (member.kind == grshm::Kind::Signed && member.size == 2) return Load<short>(record, member);
    if (member.kind == grshm::Kind::Signed) return Load<int>(record, member);
    return Stored(record, member);
}

// Whether a receiver's value is in the form it is written in: a number within its range, a
// code among the choices, a text of printable characters that ends within its field.
bool InLiveForm(const Row &row, const unsigned char *record) {
    switch (row.shown) {
        case Shown::Number: {
            const auto value = static_cast<double>(NumberOf(record, row.member));
            return value >= row.rule.min && value <= row.rule.max;
        }
        case Shown::Choice: {
            const int code = ShownCode(row, Stored(record, row.member));
            return std::any_of(row.rule.choices.begin(), row.rule.choices.end(),
                               [code](const Choice &choice) { return choice.code == code; });
        }
        case Shown::Text: {
            const std::string_view text = TextOf(record, row.member);
            return text.size() < row.member.size &&
                   std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
        }
        default:
            return true;
    }
}

// {"Unknown": raw}: a number as stored, a text's whole field in hex.
void WriteUnknown(cgi::JsonWriter &writer, const Row &row, const unsigned char *record) {
    writer.BeginObject();
    writer.Key("Unknown");
    if (row.shown == Shown::Text) {
        static constexpr char kHex[] = "0123456789abcdef";
        std::string hex;
        for (std::size_t i = 0; i < row.member.size; ++i) {
            hex += kHex[record[row.member.offset + i] >> 4];
            hex += kHex[record[row.member.offset + i] & 15];
        }
        writer.String(hex);
    } else {
        writer.Int(row.shown == Shown::Number ? NumberOf(record, row.member) : Stored(record, row.member));
    }
    writer.EndObject();
}

// ---- Checking ------------------------------------------------------------------------------

// A number as the messages and the describe reply write it: 65535, 0.00625.
std::string NumberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

bool IsInteger(json_object *value) {
    return json_object_is_type(value, json_type_int);
}

// Within min to max on the step, as near as a float holds it (463.125 MHz is kept exactly;
// 414.51875 MHz as 414.5187378, which is still that raster frequency).
// (value is min or more. Rounded by hand: the programs do not load libm.)
bool OnStep(double value, double min, double step) {
    if (step <= 0) return true;
    const double steps = (value - min) / step;
    auto below = static_cast<long long>(steps);  // steps is 0 or more: this is its floor
    if (steps - static_cast<double>(below) >= 0.5) ++below;
    const double nearest = min + static_cast<double>(below) * step;
    return std::fabs(value - nearest) <= std::max(1e-9, std::fabs(value) * FLT_EPSILON);
}

// A JSON integer the row's range and step take.
bool WholeWithin(const Rule &rule, json_object *value, long long *out) {
    if (!IsInteger(value)) return false;
    const long long number = json_object_get_int64(value);
    constexpr long long kExact = 1LL << 53;  // every whole number up to here is a double
    if (number < -kExact || number > kExact) return false;
    const auto exact = static_cast<double>(number);
    if (exact < rule.min || exact > rule.max || !OnStep(exact, rule.min, rule.step)) return false;
    *out = number;
    return true;
}

const Choice *ChoiceFor(const Row &row, json_object *value) {
    if (!IsInteger(value)) return nullptr;
    for (const Choice &choice : row.rule.choices)
        if (json_object_get_int64(value) == choice.code) return &choice;
    return nullptr;
}

// "3 (RTCM 2.3), 4 (RTCM 3.0) or 5 (RTCM 3.2)"; a text that is the code itself is not repeated,
// and choices that share a code are said once ("4 (T3 or T8)").
std::string ChoicesText(std::span<const Choice> choices) {
    std::vector<std::string> said;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i > 0 && choices[i].code == choices[i - 1].code) continue;
        std::string text = choices[i].text;
        for (std::size_t j = i + 1; j < choices.size() && choices[j].code == choices[i].code; ++j)
            text += std::string(" or ") + choices[j].text;
        const std::string code = std::to_string(choices[i].code);
        std::string choice = code;
        if (text != code) choice.append(" (").append(text).append(")");
        said.push_back(std::move(choice));
    }
    std::string all;
    for (std::size_t i = 0; i < said.size(); ++i) {
        if (i > 0) all += i + 1 == said.size() ? " or " : ", ";
        all += said[i];
    }
    return all;
}

std::size_t MaxLength(const Row &row) {
    return row.rule.max_length != 0 ? row.rule.max_length : row.member.size - 1;
}

// "at most 16", "1 to 16", "exactly 20".
std::string LengthText(const Row &row) {
    const std::string most = std::to_string(MaxLength(row));
    if (row.rule.min_length == 0) return "at most " + most;
    if (row.rule.min_length == MaxLength(row)) return "exactly " + most;
    return std::to_string(row.rule.min_length) + " to " + most;
}

// ---- Storing -------------------------------------------------------------------------------

// The value's low bytes, as wide as the member (little-endian, as kept).
void StoreNumber(unsigned char *record, const Member &member, unsigned int value) {
    if (member.size == 1) {
        record[member.offset] = static_cast<unsigned char>(value);
    } else {
        std::memcpy(record + member.offset, &value, std::min(sizeof value, member.size));
    }
}

// The stored value for a shown code, where several stored values show as one: the value equal
// to the code when it shows as itself, else the smallest that does; -1 when none does.
long long StoredFor(const Row &row, int asked) {
    if (row.shown_of.empty()) return asked;
    if (asked >= 0 && asked <= UCHAR_MAX && ShownCode(row, static_cast<unsigned int>(asked)) == asked) return asked;
    for (unsigned int value = 0; value <= UCHAR_MAX; ++value)
        if (ShownCode(row, value) == asked) return value;
    return -1;
}

bool TakenCharacter(Characters characters, char c) {
    if (characters == Characters::FileName)
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    return c >= 0x20 && c <= 0x7E;
}

bool StoreText(const Row &row, json_object *value, unsigned char *record) {
    if (!json_object_is_type(value, json_type_string)) return false;
    const char *text = json_object_get_string(value);
    const auto length = static_cast<std::size_t>(json_object_get_string_len(value));
    if (length > MaxLength(row) || length < row.rule.min_length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (!TakenCharacter(row.rule.characters, text[i])) return false;
    std::memset(record + row.member.offset, 0, row.member.size);
    std::memcpy(record + row.member.offset, text, length);
    return true;
}

bool StoreAddress(const Row &row, json_object *value, unsigned char *record) {
    Ipv4Words words{};
    if (!json_object_is_type(value, json_type_string) ||
        !ParseDottedAddress(json_object_get_string(value), static_cast<std::size_t>(json_object_get_string_len(value)),
                            words))
        return false;
    std::memcpy(record + row.member.offset, words, sizeof words);
    return true;
}

bool StoreDecimal(const Row &row, json_object *value, unsigned char *record) {
    if (!json_object_is_type(value, json_type_double) && !IsInteger(value)) return false;
    const double number = json_object_get_double(value);
    if (!std::isfinite(number) || number < row.rule.min || number > row.rule.max ||
        !OnStep(number, row.rule.min, row.rule.step))
        return false;
    if (row.scale != 0) {
        const double units = number * row.scale;
        const auto stored = static_cast<int>(units < 0 ? units - 0.5 : units + 0.5);  // no libm: rounded by hand
        std::memcpy(record + row.member.offset, &stored, sizeof stored);
        return true;
    }
    const auto stored = static_cast<float>(number);
    std::memcpy(record + row.member.offset, &stored, sizeof stored);
    return true;
}

bool StoreChoice(const Row &row, json_object *value, unsigned char *record) {
    const Choice *choice = ChoiceFor(row, value);
    if (choice == nullptr) return false;
    const long long stored = StoredFor(row, choice->code);
    if (stored < 0) return false;
    StoreNumber(record, row.member, static_cast<unsigned int>(stored));
    return true;
}

bool StoreTextChoice(const Row &row, json_object *value, unsigned char *record) {
    const Choice *choice = ChoiceFor(row, value);
    if (choice == nullptr) return false;
    std::memset(record + row.member.offset, 0, row.member.size);
    std::memcpy(record + row.member.offset, choice->stored, std::min(std::strlen(choice->stored), row.member.size));
    return true;
}

// ---- Messages ------------------------------------------------------------------------------

std::size_t SlotOffset(std::size_t stream, const MessageList &list, int index) {
    return stream + list.slots.offset + static_cast<std::size_t>(index) * sizeof(MsgCfgPara) +
           (list.table->byte == ValueByte::Interval ? offsetof(MsgCfgPara, Interval) : offsetof(MsgCfgPara, Available));
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

const char *const kMessagesShape = "Messages must have the lists linkreport shows, with only Interval values changed";

std::string StoreItems(const MessageList &list, std::size_t place, json_object *items, std::size_t stream,
                       unsigned char *record) {
    const MessageTable &table = *list.table;
    const std::string shape = std::string(kMessagesShape) + ": ";
    if (json_object_array_length(items) != table.rows.size())
        return shape + "list " + std::to_string(place + 1) + " has " + std::to_string(table.rows.size()) + " items";
    const MessageSlots slots{record + stream, list.slots};
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const MessageRow &row = table.rows[i];
        json_object *item = json_object_array_get_idx(items, i);
        if (!SameItem(item, row))
            return shape + ListPlace(place, i) + " is {\"ID\": " + std::to_string(row.id) + ", \"Name\": \"" +
                   row.name + "\", \"Interval\": ...}";
        json_object *asked = Get(item, "Interval");
        if (IsInteger(asked) && json_object_get_int64(asked) == ItemValue(table, row, slots)) continue;  // as shown
        const Rule rule = ItemRule(table);
        long long interval = 0;
        if (!WholeWithin(rule, asked, &interval))
            return std::string("Messages: Interval of ") + row.name + " (" + ListPlace(place, i) +
                   ") must be a whole number from " + NumberText(rule.min) + " to " + NumberText(rule.max);
        for (int index = row.first_index; index <= row.last_index; ++index)
            record[SlotOffset(stream, list, index)] = static_cast<unsigned char>(interval);
    }
    return {};
}

bool IsEmptyObject(json_object *value) {
    return json_object_is_type(value, json_type_object) && json_object_object_length(value) == 0;
}

std::string StoreMessages(const Row &row, json_object *value, unsigned char *record) {
    const std::string shape = kMessagesShape;
    if (!json_object_is_type(value, json_type_array) || json_object_array_length(value) != row.messages.size())
        return shape + ": " + std::to_string(row.messages.size()) + " lists";
    for (std::size_t i = 0; i < row.messages.size(); ++i) {
        const MessageList &list = row.messages[i];
        json_object *items = json_object_array_get_idx(value, i);
        if (!json_object_is_type(items, json_type_array))
            return shape + ": list " + std::to_string(i + 1) + " is a list";
        const std::size_t length = json_object_array_length(items);
        switch (list.shape) {
            case ListShape::Empty:
                if (length != 0) return shape + ": list " + std::to_string(i + 1) + " is empty";
                break;
            case ListShape::TwoEmptyObjects:
                if (length != 2 || !IsEmptyObject(json_object_array_get_idx(items, 0)) ||
                    !IsEmptyObject(json_object_array_get_idx(items, 1)))
                    return shape + ": list " + std::to_string(i + 1) + " holds two empty objects";
                break;
            case ListShape::Items:
                if (std::string failed = StoreItems(list, i, items, row.member.offset, record); !failed.empty())
                    return failed;
                break;
        }
    }
    return {};
}

bool StoreValue(const Row &row, json_object *value, unsigned char *record) {
    switch (row.shown) {
        case Shown::Number: {
            long long number = 0;
            if (!WholeWithin(row.rule, value, &number)) return false;
            StoreNumber(record, row.member, static_cast<unsigned int>(number));
            return true;
        }
        case Shown::Flag:
            if (!json_object_is_type(value, json_type_boolean)) return false;
            StoreNumber(record, row.member, json_object_get_boolean(value) ? 1 : 0);
            return true;
        case Shown::Text:
            return StoreText(row, value, record);
        case Shown::DottedAddress:
            return StoreAddress(row, value, record);
        case Shown::Decimal:
            return StoreDecimal(row, value, record);
        case Shown::Choice:
            return StoreChoice(row, value, record);
        case Shown::TextChoice:
            return StoreTextChoice(row, value, record);
        default:
            return false;
    }
}

}  // namespace

// The values an item may take: any interval the signed byte holds (the receiver's own meaning
// for the negative ones is kept as it is), or whether the message is sent.
Rule ItemRule(const MessageTable &table) {
    return table.byte == ValueByte::Interval ? Rule{.min = SCHAR_MIN, .max = SCHAR_MAX, .step = 1}
                                             : Rule{.min = 0, .max = 1, .step = 1};
}

bool ShowsKey(const Row &row, const unsigned char *record) {
    if (row.shown == Shown::TextChoice) return TextChoiceOf(row, record) != nullptr;
    if (row.shown == Shown::SlotLevel) return LevelOf(row, record) != 0;
    return true;
}

void WriteShown(cgi::JsonWriter &writer, const Row &row, const unsigned char *record) {
    const Member &member = row.member;
    if (!ShowsKey(row, record)) return;
    writer.Key(row.key);
    if (row.live && !InLiveForm(row, record)) return WriteUnknown(writer, row, record);
    switch (row.shown) {
        case Shown::Constant:
            writer.Int(row.constant);
            break;
        case Shown::Number:  // a receiver's number as its form reads it; a setting's word as before
            writer.Int(row.live ? NumberOf(record, member) : static_cast<int>(Stored(record, member)));
            break;
        case Shown::Decimal:
            if (row.scale != 0) {
                WriteScaled(writer, Load<int>(record, member), row.scale);
                break;
            }
            writer.Double(Finite(Load<float>(record, member)));
            break;
        case Shown::Flag:
            writer.Bool(Stored(record, member) != 0);
            break;
        case Shown::Text:
            WriteString(writer, TextOf(record, member));
            break;
        case Shown::DottedAddress:
            WriteDottedAddress(writer, record, member);
            break;
        case Shown::Choice:
            writer.Int(ShownCode(row, Stored(record, member)));
            break;
        case Shown::TextChoice:
            writer.Int(TextChoiceOf(row, record)->code);
            break;
        case Shown::FlagWords:
            writer.String(row.rule.choices[Stored(record, member) != 0 ? 1 : 0].text);
            break;
        case Shown::Messages:
            WriteMessages(writer, record + member.offset, row.messages);
            break;
        case Shown::SlotLevel:
            writer.Int(LevelOf(row, record));
            break;
    }
}

bool ShowsAs(const Row &row, const unsigned char *record, json_object *value) {
    if (!ShowsKey(row, record)) return false;
    cgi::JsonWriter shown;
    shown.BeginObject();
    WriteShown(shown, row, record);
    shown.EndObject();
    const std::unique_ptr<json_object, decltype(&json_object_put)> parsed(
        json_tokener_parse(std::string(shown.Text()).c_str()), json_object_put);
    json_object *current = nullptr;
    return json_object_object_get_ex(parsed.get(), row.key, &current) && json_object_equal(current, value);
}

std::string Store(const Row &row, json_object *value, unsigned char *record) {
    if (ShowsAs(row, record, value)) return {};
    if (row.shown == Shown::Messages) {
        std::vector<unsigned char> before(record + row.member.offset, record + row.member.offset + row.member.size);
        std::string failed = StoreMessages(row, value, record);
        if (!failed.empty()) std::memcpy(record + row.member.offset, before.data(), before.size());
        return failed;
    }
    if (!StoreValue(row, value, record)) return BadValue(row);
    return {};
}

std::string BadValue(const Row &row) {
    const std::string key = row.key;
    const Rule &rule = row.rule;
    switch (row.shown) {
        case Shown::Number:
            return key + " must be a whole number from " + NumberText(rule.min) + " to " + NumberText(rule.max) +
                   (rule.step > 1 ? " in steps of " + NumberText(rule.step) : "");
        case Shown::Decimal:
            return key + " must be a number from " + NumberText(rule.min) + " to " + NumberText(rule.max) +
                   (row.unit != nullptr && *row.unit != '\0' ? std::string(" ") + row.unit : "") +
                   (rule.step > 0 ? " in steps of " + NumberText(rule.step) : "");
        case Shown::Flag:
            return key + " must be true or false";
        case Shown::Text:
            return key + " must be a text of " + LengthText(row) +
                   (rule.characters == Characters::FileName ? " of the characters A-Z a-z 0-9 - _"
                                                            : " printable ASCII characters (no control characters)");
        case Shown::DottedAddress:
            return key + " must be a dotted IPv4 address such as 192.168.1.10";
        case Shown::Choice:
        case Shown::TextChoice:
            return key + " must be " + ChoicesText(rule.choices);
        case Shown::Messages:
            return kMessagesShape;
        default:
            return key + " cannot be set";
    }
}

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

}  // namespace rows
