#include "smartbase.h"

#include <cstring>
#include <iterator>

#include "angle_text.h"
#include "coordinates.h"
#include "json_build.h"
#include "json_writer.h"
#include "records.h"
#include "request.h"
#include "station_id.h"

namespace rolekind {
namespace {

constexpr const char *kStationKeys[] = {
    "Station1",  "Station2",  "Station3",  "Station4",  "Station5",  "Station6",  "Station7",  "Station8",
    "Station9",  "Station10", "Station11", "Station12", "Station13", "Station14", "Station15", "Station16",
    "Station17", "Station18", "Station19", "Station20", "Station21", "Station22", "Station23", "Station24",
    "Station25", "Station26", "Station27", "Station28", "Station29", "Station30",
};
static_assert(std::size(kStationKeys) == SMARTBASE_STATIONS);

}  // namespace

const char *SmartBaseKey(int position) {
    return kStationKeys[position - 1];
}

namespace {

void WriteText(cgi::JsonWriter &writer, const char *text) {
    writer.String(text, std::strlen(text));
}

// An angle object in the list form. "DEG" is a formatted number (digits, sign, point, or inf
// and nan), which needs no escaping; "MIN" and "SEC" are constant.
void WriteListAngle(cgi::JsonWriter &writer, double value, unsigned char direction) {
    const bool spaced = writer.Spaced();
    writer.Raw(spaced ? R"({ "DEG": ")" : R"({"DEG":")");
    writer.Raw(cgi::FixedShortText(value, kListDegreesDecimals).text);
    writer.Raw(spaced ? R"(", "MIN": "0.00", "SEC": "0.00", "HEM": )" : R"(","MIN":"0.00","SEC":"0.00","HEM":)");
    const char letter[2] = {static_cast<char>(direction), '\0'};  // a zero letter gives ""
    writer.String(letter, std::strlen(letter));
    writer.Raw(spaced ? " }" : "}");
}

// A list position's object, printed straight from its record: thirty of them would otherwise
// be 120 json-c objects, each with a hash table of its own.
void WriteSmartBase(const void *userdata, cgi::JsonWriter &writer) {
    const auto &station = *static_cast<const SmartBaseInfo *>(userdata);
    const Coordinates &point = station.coordinate_point;
    writer.BeginObject();
    writer.Key("ID");
    writer.String(station.id, strnlen(station.id, sizeof station.id));
    writer.Key("Coordinate");
    writer.BeginObject();
    writer.Key("Longitude");
    WriteListAngle(writer, point.Longitude, point.LonDirection);
    writer.Key("Latitude");
    WriteListAngle(writer, point.Latitude, point.LatDirection);
    writer.EndObject();
    writer.Key("Height");
    WriteText(writer, cgi::FixedShortText(point.Elevation, kHeightDecimals).text);
    writer.Key("StationState");
    writer.Int(station.available != 0 ? 1 : 0);
    writer.EndObject();
}

void DeleteSmartBase(void *userdata) {
    delete static_cast<SmartBaseInfo *>(userdata);
}

}  // namespace

json_object *SmartBaseObject(int position) {
    auto *station = new SmartBaseInfo(cgi::ReadConfigEntry<SmartBaseInfo>(SmartBaseEntry(position)));
    return cgi::SelfPrintingValue(station, WriteSmartBase, DeleteSmartBase);
}

SmartBaseInfo SmartBaseFromRequest(json_object *station) {
    auto info = cgi::ZeroRecord<SmartBaseInfo>();
    CopyIdentifier(info.id, MemberText(station, {"ID"}));
    Coordinates &point = info.coordinate_point;
    ReadAngle(MemberObject(station, {"Coordinate", "Longitude"}), AngleForm::List, &point.Longitude,
              &point.LonDirection);
    ReadAngle(MemberObject(station, {"Coordinate", "Latitude"}), AngleForm::List, &point.Latitude, &point.LatDirection);
    point.Elevation = TextToDouble(MemberText(station, {"Height"}));
    info.available = 0;  // an edited station is never the chosen one
    return info;
}

}  // namespace rolekind
