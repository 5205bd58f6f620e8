#include "coordinates.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "angle_text.h"
#include "request.h"

namespace rolekind {
namespace {

void WriteText(cgi::JsonWriter &writer, const char *text) {
    writer.String(text, std::strlen(text));
}

// An angle object in the list form: "DEG" holds the signed degrees, "MIN" and "SEC" are
// constant.
void WriteListAngle(cgi::JsonWriter &writer, double value, unsigned char direction) {
    writer.BeginObject();
    writer.Key("DEG");
    WriteText(writer, cgi::FixedShortText(value, kListDegreesDecimals).text);
    writer.Key("MIN");
    WriteText(writer, "0.00");
    writer.Key("SEC");
    WriteText(writer, "0.00");
    writer.Key("HEM");
    const char letter[2] = {cgi::HemisphereLetter(direction), '\0'};
    WriteText(writer, letter);
    writer.EndObject();
}

void WriteAngle(cgi::JsonWriter &writer, double value, unsigned char direction, AngleForm form) {
    if (form == AngleForm::Base) {
        cgi::WriteBaseAngle(writer, value, direction);
    } else {
        WriteListAngle(writer, value, direction);
    }
}

}  // namespace

double TextToDouble(const char *text) {
    return std::strtod(text, nullptr);
}

long long TextToInteger(const char *text) {
    return std::strtoll(text, nullptr, 10);
}

void WriteCoordinate(cgi::JsonWriter &writer, const Coordinates &point, AngleForm form) {
    writer.BeginObject();
    writer.Key("Longitude");
    WriteAngle(writer, point.Longitude, point.LonDirection, form);
    writer.Key("Latitude");
    WriteAngle(writer, point.Latitude, point.LatDirection, form);
    writer.EndObject();
}

void WriteHeight(cgi::JsonWriter &writer, double elevation) {
    WriteText(writer, cgi::FixedShortText(elevation, kHeightDecimals).text);
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
