#include "angle_text.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "json_build.h"

namespace cgi {
namespace {

// Whole part of a magnitude, saturated so that no stored value, however wild, converts out
// of range.
unsigned int TruncToUnsigned(double magnitude) {
    if (!(magnitude >= 0.0)) return 0;  // also NaN
    if (magnitude >= 4294967295.0) return UINT_MAX;
    return static_cast<unsigned int>(magnitude);
}

}  // namespace

json_object *FormattedText(const char *format, double value) {
    char text[kAngleTextBuffer] = {};
    std::snprintf(text, sizeof text, format, value);
    return json_object_new_string(text);
}

json_object *FormattedText(const char *format, int value) {
    char text[kAngleTextBuffer] = {};
    std::snprintf(text, sizeof text, format, value);
    return json_object_new_string(text);
}

json_object *DirectionText(unsigned char direction) {
    const char text[2] = {static_cast<char>(direction), '\0'};
    return json_object_new_string(text);
}

json_object *BaseAngleObject(double value, unsigned char hemisphere) {
    const double magnitude = std::fabs(value);
    const unsigned int degrees = TruncToUnsigned(magnitude / 100);
    const unsigned int minutes = TruncToUnsigned(magnitude - static_cast<double>(100ULL * degrees));
    const double seconds = (magnitude - TruncToUnsigned(magnitude)) * 60;
    json_object *angle = json_object_new_object();
    Add(angle, "DEG", FormattedText("%d", static_cast<int>(degrees)));
    Add(angle, "MIN", FormattedText("%d", static_cast<int>(minutes)));
    Add(angle, "SEC", FormattedText("%.6lf", seconds));
    Add(angle, "HEM", DirectionText(hemisphere));
    return angle;
}

}  // namespace cgi
