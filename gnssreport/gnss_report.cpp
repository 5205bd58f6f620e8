#include "gnss_report.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "angle_text.h"
#include "gsv.h"
#include "json_writer.h"
#include "nmea_reader.h"
#include "number_text.h"
#include "records.h"
#include "sharememory.h"

namespace gnssreport {
namespace {

const char *FixName(int quality) {
    static constexpr const char *kNames[] = {"No fix",    "Single",         "DGPS",   "PPS",       "RTK fixed",
                                             "RTK float", "Dead reckoning", "Manual", "Simulation"};
    return quality >= 0 && quality < static_cast<int>(std::size(kNames)) ? kNames[quality] : "Unknown";
}

// A number printed with a fixed count of decimals, as a JSON number.
void WriteDecimal(cgi::JsonWriter &writer, double value, int decimals) {
    if (!std::isfinite(value)) value = 0.0;  // JSON has no NaN or infinity
    char text[400];
    cgi::FixedText(value, decimals, text, sizeof text);
    writer.Number(text);
}

// A unit letter as a one-letter text; a byte that is no printable letter gives "".
void WriteLetter(cgi::JsonWriter &writer, unsigned char letter) {
    const char text[2] = {letter >= 0x20 && letter < 0x7F ? static_cast<char>(letter) : '\0', '\0'};
    writer.String(text);
}

// ddmm.mmmm in decimal degrees, the side taken from the hemisphere letter alone: south and
// west negative, whatever the stored value's sign.
double DegreesSignedByHemisphere(double packed, unsigned char hemisphere) {
    const double value = nmea::DdmmToDegrees(std::fabs(packed));
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

void WriteFix(cgi::JsonWriter &writer, const GGAInfo &gga) {
    writer.BeginObject();
    const int quality = gga.available != 0 ? gga.fix_status : 0;
    writer.Key("Quality");
    writer.Int(quality);
    writer.Key("Name");
    writer.String(FixName(quality));
    if (gga.available != 0) {
        writer.Key("Satellites");
        writer.Int(gga.fix_satellite);
        if (gga.hdop > 0) {  // 0: the field was empty
            writer.Key("HDOP");
            WriteDecimal(writer, gga.hdop, 2);
        }
        char utc[32];
        const bool no_time = !HasFix(gga) && gga.utc == 0;  // an empty field, not midnight
        if (!no_time && UtcText(gga.utc, utc)) {
            writer.Key("UTC");
            writer.String(utc);
        }
    }
    writer.EndObject();
}

// A point on the earth: both angles finite and within their range.
bool OnEarth(double latitude, double longitude) {
    return latitude >= -90 && latitude <= 90 && longitude >= -180 && longitude <= 180;  // NaN fails
}

// A height and its unit letter; a height whose unit letter is empty was not sent.
void WriteHeight(cgi::JsonWriter &writer, const char *key, const char *unit_key, double height, unsigned char unit) {
    if (unit == 0) return;
    writer.Key(key);
    WriteDecimal(writer, height, 3);
    writer.Key(unit_key);
    WriteLetter(writer, unit);
}

// "Position" of a fix, left out when the record's angles are no point on the earth.
void WritePosition(cgi::JsonWriter &writer, const GGAInfo &gga) {
    const double latitude = DegreesSignedByHemisphere(gga.latitude, gga.latdir);
    const double longitude = DegreesSignedByHemisphere(gga.longitude, gga.londir);
    if (!OnEarth(latitude, longitude)) return;
    writer.Key("Position");
    writer.BeginObject();
    writer.Key("Latitude");
    WriteDecimal(writer, latitude, 9);
    writer.Key("Longitude");
    WriteDecimal(writer, longitude, 9);
    writer.Key("Coordinate");
    writer.BeginObject();
    writer.Key("Longitude");
    cgi::WriteBaseAngle(writer, gga.longitude, gga.londir);
    writer.Key("Latitude");
    cgi::WriteBaseAngle(writer, gga.latitude, gga.latdir);
    writer.EndObject();
    WriteHeight(writer, "Altitude", "AltitudeUnit", gga.altitude, gga.alt_unit);
    WriteHeight(writer, "Undulation", "UndulationUnit", gga.undulation, gga.und_unit);
    writer.Key("Age");
    writer.Int(gga.age);
    writer.Key("Station");
    writer.Int(gga.station_id);
    writer.EndObject();
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

void WriteSystem(cgi::JsonWriter &writer, const char *key, const SatellitesInView &view) {
    writer.Key(key);
    writer.BeginObject();
    writer.Key("Count");
    writer.Int(static_cast<long long>(view.count));
    writer.Key("List");
    writer.BeginArray();
    for (std::size_t i = 0; i < view.count; ++i) WriteSatellite(writer, view.list[i]);
    writer.EndArray();
    writer.EndObject();
}

SatellitesInView ReadSystem(unsigned char slot_entry) {
    return ReadGsvSlot(cgi::ReadGnssEntry<GSVSlot>(slot_entry));
}

}  // namespace

void WriteGnssReport(cgi::JsonWriter &reply) {
    const auto gga = cgi::ReadGnssEntry<GGAInfo>(ENTRY_GGA);
    reply.BeginObject();
    reply.Key("Fix");
    WriteFix(reply, gga);
    if (HasFix(gga)) WritePosition(reply, gga);
    reply.Key("Satellites");
    reply.BeginObject();
    SatellitesInView gps = ReadSystem(ENTRY_GSV_GP);
    const SatellitesInView sbas = TakeSbas(&gps);
    WriteSystem(reply, "GPS", gps);
    WriteSystem(reply, "BeiDou", ReadSystem(ENTRY_GSV_BD));
    WriteSystem(reply, "GLONASS", ReadSystem(ENTRY_GSV_GL));
    WriteSystem(reply, "Galileo", ReadSystem(ENTRY_GSV_GA));
    WriteSystem(reply, "SBAS", sbas);
    reply.EndObject();
    reply.EndObject();
}

}  // namespace gnssreport
