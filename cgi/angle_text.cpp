#include "angle_text.h"

#include <climits>
#include <cmath>

#include "json_build.h"
#include "number_text.h"

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

ShortText FixedShortText(double value, int decimals) {
    ShortText text{};
    FixedText(value, decimals, text.text, sizeof text.text);
    return text;
}

json_object *FixedNumberText(double value, int decimals) {
    return json_object_new_string(FixedShortText(value, decimals).text);
}

json_object *IntegerNumberText(int value) {
    char text[kAngleTextBuffer];
    IntegerText(value, text, sizeof text);
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
    Add(angle, "DEG", IntegerNumberText(static_cast<int>(degrees)));
    Add(angle, "MIN", IntegerNumberText(static_cast<int>(minutes)));
    Add(angle, "SEC", FixedNumberText(seconds, 6));
    Add(angle, "HEM", DirectionText(hemisphere));
    return angle;
}

}  // namespace cgi
