#include "decode.h"

#include <json-c/json_object_iterator.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace grshmtool {
namespace {

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

json_object *Slots(const MsgCfgPara *slots, int count) {
    json_object *list = json_object_new_array();
    for (int i = 0; i < count; ++i) {
        json_object *slot = json_object_new_object();
        Add(slot, "MsgID", Number(slots[i].MsgID));
        Add(slot, "Interval", Number(slots[i].Interval));
        Add(slot, "time", Number(slots[i].time));
        Add(slot, "Available", Number(slots[i].Available));
        json_object_array_add(list, slot);
    }
    return list;
}
#define SLOTS(array) Slots(array, static_cast<int>(sizeof(array) / sizeof(MsgCfgPara)))

json_object *Switch(const MsgSwitchPara &s) {
    json_object *object = json_object_new_object();
    Add(object, "Enable", Number(s.Enable));
    Add(object, "Type", Number(s.Type));
    return object;
}

json_object *Trans(const TransDSPara &d) {
    json_object *o = json_object_new_object();
    Add(o, "Switch", Switch(d.Switch));
    Add(o, "NMEA", SLOTS(d.NMEA));
    Add(o, "EPH", SLOTS(d.EPH));
    Add(o, "RTCM23", SLOTS(d.RTCM23));
    Add(o, "RTCM30", SLOTS(d.RTCM30));
    Add(o, "RTCM32", SLOTS(d.RTCM32));
    Add(o, "CMR", SLOTS(d.CMR));
    Add(o, "Binex", SLOTS(d.Binex));
    Add(o, "QX", SLOTS(d.QX));
    Add(o, "Weather", SLOTS(d.Weather));
    Add(o, "Custom", SLOTS(d.Custom));
    return o;
}

json_object *Diff(const DiffDSPara &d) {
    json_object *o = json_object_new_object();
    Add(o, "Switch", Switch(d.Switch));
    Add(o, "RTCM23", SLOTS(d.RTCM23));
    Add(o, "RTCM30", SLOTS(d.RTCM30));
    Add(o, "RTCM32", SLOTS(d.RTCM32));
    Add(o, "CMR", SLOTS(d.CMR));
    Add(o, "Custom", SLOTS(d.Custom));
    return o;
}

json_object *Point(const Coordinates &c) {
    json_object *o = json_object_new_object();
    Add(o, "Longitude", json_object_new_double(c.Longitude));
    Add(o, "LonDirection", Letter(c.LonDirection));
    Add(o, "Latitude", json_object_new_double(c.Latitude));
    Add(o, "LatDirection", Letter(c.LatDirection));
    Add(o, "Elevation", json_object_new_double(c.Elevation));
    Add(o, "Available", Number(c.Available));
    return o;
}

json_object *Ctrl(const NtripServerCtrl &c) {
    json_object *o = json_object_new_object();
    Add(o, "Version", Number(c.Version));
    Add(o, "Domain", TEXT(c.Domain));
    Add(o, "CasterIP", Address(c.CasterIP));
    Add(o, "CasterPort", Number(c.CasterPort));
    Add(o, "UserName", TEXT(c.UserName));
    Add(o, "UserPwd", TEXT(c.UserPwd));
    Add(o, "MountPoint", TEXT(c.MountPoint));
    return o;
}

template <typename Record>
Record As(const Bytes &bytes) {
    Record record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
    return record;
}

json_object *DecodeRecord(Form form, const Bytes &bytes) {
    switch (form) {
        case Form::Coordinates:
            return Point(As<Coordinates>(bytes));
        case Form::SmartBase: {
            const auto s = As<SmartBaseInfo>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "id", TEXT(s.id));
            Add(o, "coordinate_point", Point(s.coordinate_point));
            Add(o, "available", Number(s.available));
            return o;
        }
        case Form::Recording: {
            const auto r = As<RecConfig>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "FolderName", TEXT(r.FolderName));
            Add(o, "MarkName", TEXT(r.MarkName));
            Add(o, "FileType", Number(r.FileType));
            Add(o, "RecMode", Number(r.RecMode));
            Add(o, "RecInterval", Number(r.RecInterval));
            Add(o, "MaxSpace", Number(r.MaxSpace));
            Add(o, "FreeSpace", Number(r.FreeSpace));
            Add(o, "CircularFlag", Number(r.CircularFlag));
            Add(o, "Antenna", json_object_new_string(Hex(Bytes(r.Antenna, r.Antenna + sizeof r.Antenna)).c_str()));
            return o;
        }
        case Form::SerialPort: {
            const auto s = As<SerialPortConfig>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "Baudrate", Number(s.Baudrate));
            Add(o, "Verify", Number(s.Verify));
            Add(o, "COMDSPara", Trans(s.COMDSPara));
            return o;
        }
        case Form::NetworkChannel: {
            const auto t = As<EthTCPConfig>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "RoleKind", Number(t.RoleKind));
            Add(o, "LocalPort", Number(t.LocalPort));
            Add(o, "ServerIP", Address(t.ServerIP));
            Add(o, "ServerPort", Number(t.ServerPort));
            Add(o, "EncryptFlag", Number(t.EncryptFlag));
            Add(o, "PassWord", TEXT(t.PassWord));
            Add(o, "MaxConNum", Number(t.MaxConNum));
            Add(o, "DSPara", Trans(t.TCPDSPara));
            Add(o, "DS_Flag", Number(t.DS_Flag));
            return o;
        }
        case Form::NtripClient: {
            const auto c = As<NtripClientConfig>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "ClientEnable", Number(c.ClientEnable));
            Add(o, "Domain", TEXT(c.Domain));
            Add(o, "ServerIP", Address(c.ServerIP));
            Add(o, "ServerPort", Number(c.ServerPort));
            Add(o, "UserName", TEXT(c.UserName));
            Add(o, "UserPwd", TEXT(c.UserPwd));
            Add(o, "MountPoint", TEXT(c.MountPoint));
            return o;
        }
        case Form::NtripServerCtrl:
            return Ctrl(As<NtripServerCtrl>(bytes));
        case Form::NtripServer: {
            const auto s = As<NtripServerConfig>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "CtrlPara", Ctrl(s.CtrlPara));
            Add(o, "ServerDSPara", Diff(s.ServerDSPara));
            return o;
        }
        case Form::Radio: {
            const auto r = As<RadioConfig>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "rx_freq", json_object_new_double(r.rx_freq));
            Add(o, "tx_freq", json_object_new_double(r.tx_freq));
            Add(o, "sw", Number(r.sw));
            Add(o, "channel", Number(r.channel));
            Add(o, "mode", Number(r.mode));
            Add(o, "protocol", Number(r.protocol));
            Add(o, "power", Number(r.power));
            Add(o, "fec", Number(r.fec));
            Add(o, "air_baudrate", Number(r.air_baudrate));
            Add(o, "model", TEXT(r.model));
            Add(o, "sv", TEXT(r.sv));
            Add(o, "RadioDSPara", Diff(r.RadioDSPara));
            return o;
        }
        case Form::Caster: {
            const auto c = As<NtripCasterConfig>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "port", Number(c.port));
            Add(o, "usr_name", TEXT(c.usr_name));
            Add(o, "pwd", TEXT(c.pwd));
            Add(o, "enable", Number(c.enable));
            return o;
        }
        case Form::Gga: {
            const auto g = As<GGAInfo>(bytes);
            json_object *o = json_object_new_object();
            Add(o, "utc", json_object_new_double(g.utc));
            Add(o, "latitude", json_object_new_double(g.latitude));
            Add(o, "latdir", Letter(g.latdir));
            Add(o, "longitude", json_object_new_double(g.longitude));
            Add(o, "londir", Letter(g.londir));
            Add(o, "fix_status", Number(g.fix_status));
            Add(o, "fix_satellite", Number(g.fix_satellite));
            Add(o, "hdop", json_object_new_double(g.hdop));
            Add(o, "altitude", json_object_new_double(g.altitude));
            Add(o, "alt_unit", Letter(g.alt_unit));
            Add(o, "undulation", json_object_new_double(g.undulation));
            Add(o, "und_unit", Letter(g.und_unit));
            Add(o, "age", Number(g.age));
            Add(o, "station_id", Number(g.station_id));
            Add(o, "checksum", Number(g.checksum));
            Add(o, "available", Number(g.available));
            return o;
        }
        case Form::GsvSlot: {
            const auto s = As<GSVSlot>(bytes);
            json_object *list = json_object_new_array();
            for (int n = 0; n < GNSS_GSV_SENTENCES; ++n) {
                json_object *o = json_object_new_object();
                Add(o, "Sentence", TEXT(s.Sentence[n]));
                Add(o, "Control", Number(s.Control[n]));
                json_object_array_add(list, o);
            }
            return list;
        }
        default:
            return nullptr;
    }
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
    unsigned long long word = 0;
    std::memcpy(&word, bytes.data(), std::min<std::size_t>(bytes.size(), sizeof word));
    switch (entry.form) {
        case Form::Bytes:
            return json_object_new_string(Hex(bytes).c_str());
        case Form::Text:
            return TextValue(reinterpret_cast<const char *>(bytes.data()), bytes.size());
        case Form::Byte:
            return Number(bytes[0]);
        case Form::SignedByte:
            return Number(static_cast<signed char>(bytes[0]));
        case Form::Word16:
            return Number(static_cast<long long>(word & 0xFFFF));
        case Form::Word32:
            return Number(static_cast<long long>(word & 0xFFFFFFFF));
        case Form::Ipv4: {
            Ipv4Words words{};
            std::memcpy(words, bytes.data(), std::min(bytes.size(), sizeof words));
            return Address(words);
        }
        case Form::MessageList:
            return Slots(reinterpret_cast<const MsgCfgPara *>(bytes.data()),
                         static_cast<int>(bytes.size() / sizeof(MsgCfgPara)));
        default:
            return DecodeRecord(entry.form, bytes);
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
    switch (entry.form) {
        case Form::Byte:
        case Form::Word16:
        case Form::Word32: {
            const unsigned long long limit = size == 1 ? 0xFF : size == 2 ? 0xFFFF : 0xFFFFFFFF;
            if (!ParseUnsigned(value, limit, &number)) {
                *error = entry.name + " takes a whole number from 0 to " + std::to_string(limit);
                return {};
            }
            std::memcpy(bytes.data(), &number, size);  // little-endian, as the receiver keeps it
            return bytes;
        }
        case Form::Text:
            if (value.size() >= size) {
                *error = entry.name + " holds at most " + std::to_string(size - 1) + " bytes of text";
                return {};
            }
            std::memcpy(bytes.data(), value.data(), value.size());
            return bytes;
        case Form::Ipv4: {
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
