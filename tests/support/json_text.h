// Expected replies written out as json-c prints them (its spaced form), built independently
// of the programs so that whole documents can be compared byte for byte.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using Members = std::vector<std::pair<std::string, std::string>>;

inline std::string Int(long long value) {
    return std::to_string(value);
}

inline std::string Bool(bool value) {
    return value ? "true" : "false";
}

inline std::string Str(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '/') out += '\\';
        out += c;
    }
    return out + "\"";
}

// json-c writes doubles with 17 significant digits and keeps a ".0" on whole numbers.
inline std::string Double(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    std::string out = text;
    if (out.find_first_of(".eni") == std::string::npos) out += ".0";
    return out;
}

inline std::string Obj(const Members &members) {
    if (members.empty()) return "{ }";
    std::string out = "{ ";
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i > 0) out += ", ";
        out += Str(members[i].first) + ": " + members[i].second;
    }
    return out + " }";
}

inline std::string Arr(const std::vector<std::string> &items) {
    if (items.empty()) return "[ ]";
    std::string out = "[ ";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ", ";
        out += items[i];
    }
    return out + " ]";
}

}  // namespace testsupport
