#include "gnss_report.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "angle_text.h"
#include "gsv.h"
#include "json_build.h"
#include "json_writer.h"
#include "number_text.h"
#include "records.h"
#include "sharememory.h"

namespace gnssreport {
namespace {

using cgi::Add;
using cgi::AddInt;
using cgi::AddString;

const char *FixName(int quality) {
    static constexpr const char *kNames[] = {"No fix",    "Single",         "DGPS",   "PPS",       "RTK fixed",
                                             "RTK float", "Dead reckoning", "Manual", "Simulation"};
    return quality >= 0 && quality < static_cast<int>(std::size(kNames)) ? kNames[quality] : "Unknown";
}

// A number printed with a fixed count of decimals, as a JSON number.
json_object *Decimal(double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;  // JSON has no NaN or infinity
    char text[400];
    cgi::FixedText(value, decimals, text, sizeof text);
    return json_object_new_double_s(value, text);
}

json_object *Letter(unsigned char letter) {
    return cgi::DirectionText(letter >= 0x20 && letter < 0x7F ? letter : 0);
}

// ddmm.mmmm with its hemisphere letter in signed decimal degrees.
double DecimalDegrees(double packed, unsigned char hemisphere) {
    const double magnitude = std::fabs(packed);
    // Whole degrees, without libm: above 2^52 a double has no fraction left to cut.
    const double hundreds = magnitude / 100;
    const double degrees =
        hundreds < 4503599627370496.0 ? static_cast<double>(static_cast<long long>(hundreds)) : hundreds;
    const double value = degrees + (magnitude - 100 * degrees) / 60;
    return hemisphere == 'S' || hemisphere == 'W' ? -value : value;
}

// hh:mm:ss.ss of the hhmmss.ss time field.
json_object *UtcText(float utc) {
    const double value = std::isfinite(utc) && utc >= 0 && utc < 240000 ? utc : 0.0;
    const int hours = static_cast<int>(value / 10000);
    const int minutes = static_cast<int>((value - hours * 10000) / 100);
    const double seconds = value - hours * 10000 - minutes * 100;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%05.2f", hours, minutes, seconds);
    return json_object_new_string(text);
}

json_object *FixObject(const GGAInfo &gga) {
    json_object *fix = json_object_new_object();
    const int quality = gga.available != 0 ? gga.fix_status : 0;
    AddInt(fix, "Quality", quality);
    AddString(fix, "Name", FixName(quality));
    if (gga.available == 0) return fix;
    AddInt(fix, "Satellites", gga.fix_satellite);
    Add(fix, "HDOP", Decimal(gga.hdop, 2));
    Add(fix, "UTC", UtcText(gga.utc));
    return fix;
}

json_object *PositionObject(const GGAInfo &gga) {
    json_object *position = json_object_new_object();
    Add(position, "Latitude", Decimal(DecimalDegrees(gga.latitude, gga.latdir), 9));
    Add(position, "Longitude", Decimal(DecimalDegrees(gga.longitude, gga.londir), 9));
    json_object *coordinate = json_object_new_object();
    Add(coordinate, "Longitude", cgi::BaseAngleObject(gga.longitude, gga.londir));
    Add(coordinate, "Latitude", cgi::BaseAngleObject(gga.latitude, gga.latdir));
    Add(position, "Coordinate", coordinate);
    Add(position, "Altitude", Decimal(gga.altitude, 3));
    Add(position, "AltitudeUnit", Letter(gga.alt_unit));
    Add(position, "Undulation", Decimal(gga.undulation, 3));
    Add(position, "UndulationUnit", Letter(gga.und_unit));
    AddInt(position, "Age", gga.age);
    Add(position, "Station", json_object_new_int64(gga.station_id));
    return position;
}

void WriteSatellite(cgi::JsonWriter &writer, const Satellite &satellite) {
    writer.BeginObject();
    writer.Key("Number");
    writer.Int(satellite.number);
    const std::pair<const char *, int> fields[] = {
        {"Elevation", satellite.elevation}, {"Azimuth", satellite.azimuth}, {"SNR", satellite.snr}};
    for (const auto &[key, value] : fields) {
        if (value == kAbsent) continue;
        writer.Key(key);
        writer.Int(value);
    }
    writer.EndObject();
}

// A system's satellites print themselves: forty of them would otherwise be forty json-c
// objects, each with a hash table of its own.
void WriteSystem(const void *userdata, cgi::JsonWriter &writer) {
    const auto &view = *static_cast<const SatellitesInView *>(userdata);
    const cgi::JsonStyle &style = writer.Style();
    writer.BeginObject();
    writer.Key("Count");
    writer.Int(static_cast<int>(view.count));
    writer.Key("List");
    writer.Raw(view.count == 0 ? style.empty_array : style.open_array);
    for (std::size_t i = 0; i < view.count; ++i) {
        if (i > 0) writer.Raw(style.comma);
        WriteSatellite(writer, view.list[i]);
    }
    if (view.count != 0) writer.Raw(style.close_array);
    writer.EndObject();
}

void DeleteSystem(void *userdata) {
    delete static_cast<SatellitesInView *>(userdata);
}

json_object *SystemObject(unsigned char slot_entry) {
    auto *view = new SatellitesInView(ReadGsvSlot(cgi::ReadGnssEntry<GSVSlot>(slot_entry)));
    return cgi::SelfPrintingValue(view, WriteSystem, DeleteSystem);
}

}  // namespace

cgi::JsonPtr BuildGnssReport() {
    cgi::JsonPtr root{json_object_new_object()};
    const auto gga = cgi::ReadGnssEntry<GGAInfo>(ENTRY_GGA);
    Add(root.get(), "Fix", FixObject(gga));
    if (gga.available != 0 && gga.fix_status != 0) Add(root.get(), "Position", PositionObject(gga));
    json_object *satellites = json_object_new_object();
    Add(satellites, "GPS", SystemObject(ENTRY_GSV_GP));
    Add(satellites, "BeiDou", SystemObject(ENTRY_GSV_BD));
    Add(satellites, "GLONASS", SystemObject(ENTRY_GSV_GL));
    Add(satellites, "Galileo", SystemObject(ENTRY_GSV_GA));
    Add(root.get(), "Satellites", satellites);
    return root;
}

}  // namespace gnssreport
