#include "coordinates.h"

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

void ReadAngle(const CheckedRequest &request, const AngleMembers &angle, AngleForm form, double *value,
               unsigned char *direction) {
    if (form == AngleForm::Base) {
        // Whole degrees and minutes (checked: at most 180 and 59) packed in integer arithmetic,
        // then the seconds as a fraction of a minute.
        const auto degrees = static_cast<long long>(request.Number(angle.degrees));
        const auto minutes = static_cast<long long>(request.Number(angle.minutes));
        *value = static_cast<double>(degrees * 100 + minutes) + request.Number(angle.seconds) / 60;
    } else {
        *value = request.Number(angle.degrees);
    }
    *direction = static_cast<unsigned char>(request.Text(angle.hemisphere)[0]);
}

}  // namespace rolekind
