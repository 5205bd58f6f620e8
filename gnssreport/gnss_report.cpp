#include "gnss_report.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "angle_text.h"
#include "gsv.h"
#include "json_build.h"
#include "json_writer.h"
#include "number_text.h"
#include "records.h"
#include "self_printing.h"
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

// The time field in hundredths of a second, as the receiver wrote it: the fewest decimals,
// at most two, whose reading as a float is the stored value. Above 131072 a float keeps only
// 1/64-second steps, so rounding its exact value to two decimals would invent a digit
// (132819.60 is stored as 132819.59375).
long long TimeHundredths(float utc) {
    char text[48];
    for (int decimals = 0;; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(utc));
        if (decimals == 2 || std::strtof(text, nullptr) == utc) break;
    }
    long long hundredths = 0;
    int decimals = -1;
    for (const char *c = text; *c != '\0'; ++c) {
        if (*c == '.') {
            decimals = 0;
            continue;
        }
        hundredths = hundredths * 10 + (*c - '0');
        if (decimals >= 0) ++decimals;
    }
    for (decimals = decimals < 0 ? 0 : decimals; decimals < 2; ++decimals) hundredths *= 10;
    return hundredths;
}

// hh:mm:ss.ss of the hhmmss.ss time field; false when the field is no time of day.
bool UtcText(float utc, char (&text)[32]) {
    if (!(utc >= 0 && utc < 240000)) return false;  // NaN fails too
    const long long hundredths = TimeHundredths(utc);
    const int hours = static_cast<int>(hundredths / 1000000);
    const int minutes = static_cast<int>(hundredths / 10000 % 100);
    const int seconds = static_cast<int>(hundredths % 10000);         // in hundredths
    if (hours > 23 || minutes > 59 || seconds >= 6100) return false;  // 60.xx: a leap second
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%02d", hours, minutes, seconds / 100, seconds % 100);
    return true;
}

bool HasFix(const GGAInfo &gga) {
    return gga.available != 0 && gga.fix_status != 0;
}

json_object *FixObject(const GGAInfo &gga) {
    json_object *fix = json_object_new_object();
    const int quality = gga.available != 0 ? gga.fix_status : 0;
    AddInt(fix, "Quality", quality);
    AddString(fix, "Name", FixName(quality));
    if (gga.available == 0) return fix;
    AddInt(fix, "Satellites", gga.fix_satellite);
    if (gga.hdop > 0) Add(fix, "HDOP", Decimal(gga.hdop, 2));  // 0: the field was empty
    char utc[32];
    const bool no_time = !HasFix(gga) && gga.utc == 0;  // an empty field, not midnight
    if (!no_time && UtcText(gga.utc, utc)) AddString(fix, "UTC", utc);
    return fix;
}

// A point on the earth: both angles finite and within their range.
bool OnEarth(double latitude, double longitude) {
    return latitude >= -90 && latitude <= 90 && longitude >= -180 && longitude <= 180;  // NaN fails
}

// The position of a fix, or null when the record's angles are no point on the earth. A
// height whose unit letter is empty was not sent.
json_object *PositionObject(const GGAInfo &gga) {
    const double latitude = DecimalDegrees(gga.latitude, gga.latdir);
    const double longitude = DecimalDegrees(gga.longitude, gga.londir);
    if (!OnEarth(latitude, longitude)) return nullptr;
    json_object *position = json_object_new_object();
    Add(position, "Latitude", Decimal(latitude, 9));
    Add(position, "Longitude", Decimal(longitude, 9));
    json_object *coordinate = json_object_new_object();
    Add(coordinate, "Longitude", cgi::BaseAngleObject(gga.longitude, gga.londir));
    Add(coordinate, "Latitude", cgi::BaseAngleObject(gga.latitude, gga.latdir));
    Add(position, "Coordinate", coordinate);
    if (gga.alt_unit != 0) {
        Add(position, "Altitude", Decimal(gga.altitude, 3));
        Add(position, "AltitudeUnit", Letter(gga.alt_unit));
    }
    if (gga.und_unit != 0) {
        Add(position, "Undulation", Decimal(gga.undulation, 3));
        Add(position, "UndulationUnit", Letter(gga.und_unit));
    }
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
    writer.BeginObject();
    writer.Key("Count");
    writer.Int(static_cast<int>(view.count));
    writer.Key("List");
    writer.BeginArray();
    for (std::size_t i = 0; i < view.count; ++i) WriteSatellite(writer, view.list[i]);
    writer.EndArray();
    writer.EndObject();
}

void DeleteSystem(void *userdata) {
    delete static_cast<SatellitesInView *>(userdata);
}

json_object *SystemObject(const SatellitesInView &satellites) {
    return cgi::SelfPrintingValue(new SatellitesInView(satellites), WriteSystem, DeleteSystem);
}

json_object *SystemObject(unsigned char slot_entry) {
    return SystemObject(ReadGsvSlot(cgi::ReadGnssEntry<GSVSlot>(slot_entry)));
}

}  // namespace

cgi::JsonPtr BuildGnssReport() {
    cgi::JsonPtr root{json_object_new_object()};
    const auto gga = cgi::ReadGnssEntry<GGAInfo>(ENTRY_GGA);
    Add(root.get(), "Fix", FixObject(gga));
    if (HasFix(gga)) {
        if (json_object *position = PositionObject(gga)) Add(root.get(), "Position", position);
    }
    json_object *satellites = json_object_new_object();
    SatellitesInView gps = ReadGsvSlot(cgi::ReadGnssEntry<GSVSlot>(ENTRY_GSV_GP));
    const SatellitesInView sbas = TakeSbas(&gps);
    Add(satellites, "GPS", SystemObject(gps));
    Add(satellites, "BeiDou", SystemObject(ENTRY_GSV_BD));
    Add(satellites, "GLONASS", SystemObject(ENTRY_GSV_GL));
    Add(satellites, "Galileo", SystemObject(ENTRY_GSV_GA));
    Add(satellites, "SBAS", SystemObject(sbas));
    Add(root.get(), "Satellites", satellites);
    return root;
}

}  // namespace gnssreport
