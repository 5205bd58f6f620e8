#include "coordinates.h"

#include <climits>
#include <cstdlib>

#include "angle_text.h"
#include "json_build.h"
#include "request.h"

namespace rolekind {
namespace {

json_object *ListAngle(double value, unsigned char direction) {
    json_object *angle = json_object_new_object();
    cgi::Add(angle, "DEG", cgi::FixedNumberText(value, kListDegreesDecimals));
    cgi::AddString(angle, "MIN", "0.00");
    cgi::AddString(angle, "SEC", "0.00");
    cgi::Add(angle, "HEM", cgi::DirectionText(direction));
    return angle;
}

json_object *Angle(double value, unsigned char direction, AngleForm form) {
    return form == AngleForm::Base ? cgi::BaseAngleObject(value, direction) : ListAngle(value, direction);
}

}  // namespace

double TextToDouble(const char *text) {
    return std::strtod(text, nullptr);
}

long long TextToInteger(const char *text) {
    return std::strtoll(text, nullptr, 10);
}

json_object *CoordinateObject(const Coordinates &point, AngleForm form) {
    json_object *coordinate = json_object_new_object();
    cgi::Add(coordinate, "Longitude", Angle(point.Longitude, point.LonDirection, form));
    cgi::Add(coordinate, "Latitude", Angle(point.Latitude, point.LatDirection, form));
    return coordinate;
}

json_object *HeightText(double elevation) {
    return cgi::FixedNumberText(elevation, kHeightDecimals);
}

void ReadAngle(json_object *angle, AngleForm form, double *value, unsigned char *direction) {
    if (form == AngleForm::Base) {
        // Degrees and minutes are whole numbers; negative texts are taken as they come.
        const long long degrees = TextToInteger(MemberText(angle, {"DEG"}));
        const long long minutes = TextToInteger(MemberText(angle, {"MIN"}));
        const double seconds = TextToDouble(MemberText(angle, {"SEC"}));
        long long packed = 0;
        if (__builtin_mul_overflow(degrees, 100LL, &packed) || __builtin_add_overflow(packed, minutes, &packed))
            packed = degrees < 0 ? LLONG_MIN : LLONG_MAX;
        *value = static_cast<double>(packed) + seconds / 60;
    } else {
        *value = TextToDouble(MemberText(angle, {"DEG"}));
    }
    *direction = static_cast<unsigned char>(MemberText(angle, {"HEM"})[0]);
}

}  // namespace rolekind
