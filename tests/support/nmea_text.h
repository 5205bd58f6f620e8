// Receiver sentences for tests: the recorded logs, which live beside the project, and
// sentences made from a body.
#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

inline std::string LogPath(const char *name) {
    return std::string(NMEA_DIR) + "/" + name;
}

// "$BODY*HH" with the body's own checksum.
inline std::string Nmea(const std::string &body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return "$" + body + tail;
}

}  // namespace testsupport
