#include "sky.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "nmea.h"
#include "nmea_reader.h"

namespace receiversim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadiusKm = 6371.0;
constexpr double kEarthRotation = 7.2921159e-5;  // rad/s
constexpr double kGeostationaryKm = 42164.0;

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

struct Vector {
    double x, y, z;
};

double Dot(const Vector &a, const Vector &b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// A constellation of circular orbits: planes evenly spread, satellites evenly spaced in each,
// each plane's first satellite a little ahead of the previous plane's.
struct Orbits {
    Constellation system;
    int planes;
    int per_plane;
    double inclination;  // degrees
    double radius;       // km
    double period;       // s
    int first_number;
};

constexpr Orbits kOrbits[] = {
    {Constellation::Gps, 6, 4, 55.0, 26560.0, 43082.0, 1},
    {Constellation::Glonass, 3, 8, 64.8, 25510.0, 40544.0, 65},
    {Constellation::Galileo, 3, 8, 56.0, 29600.0, 50680.0, 1},
    {Constellation::BeiDou, 3, 8, 55.0, 27906.0, 46080.0, 19},
};

// Geostationary satellites by the number GSV gives them, and their longitude.
struct Geostationary {
    Constellation system;
    int number;
    double longitude;
};

constexpr Geostationary kGeostationary[] = {
    {Constellation::BeiDou, 1, 140.0}, {Constellation::BeiDou, 2, 80.0},  {Constellation::BeiDou, 3, 110.5},
    {Constellation::BeiDou, 4, 160.0}, {Constellation::BeiDou, 5, 58.75}, {Constellation::Sbas, 36, 31.5},
    {Constellation::Sbas, 40, 55.0},   {Constellation::Sbas, 41, 83.0},   {Constellation::Sbas, 42, 127.0},
    {Constellation::Sbas, 44, -117.0}, {Constellation::Sbas, 46, -129.0}, {Constellation::Sbas, 49, 5.0},
};

// A satellite on a circular orbit, in earth-fixed coordinates.
Vector OrbitPosition(const Orbits &orbits, int plane, int slot, double seconds) {
    const int count = orbits.planes * orbits.per_plane;
    const double node = 2 * kPi * plane / orbits.planes + 0.37 * static_cast<int>(orbits.system);
    const double along = 2 * kPi * (static_cast<double>(slot) / orbits.per_plane + static_cast<double>(plane) / count) +
                         2 * kPi * std::fmod(seconds, orbits.period) / orbits.period;
    const double inclination = Radians(orbits.inclination);
    const Vector inertial{
        orbits.radius * (std::cos(along) * std::cos(node) - std::sin(along) * std::cos(inclination) * std::sin(node)),
        orbits.radius * (std::cos(along) * std::sin(node) + std::sin(along) * std::cos(inclination) * std::cos(node)),
        orbits.radius * std::sin(along) * std::sin(inclination)};
    const double turned = std::fmod(kEarthRotation * seconds, 2 * kPi);
    return {inertial.x * std::cos(turned) + inertial.y * std::sin(turned),
            -inertial.x * std::sin(turned) + inertial.y * std::cos(turned), inertial.z};
}

// The receiver's local east, north and up, and its place, on a spherical earth.
struct Site {
    Vector place, east, north, up;
};

Site SiteAt(double latitude, double longitude) {
    const double phi = Radians(latitude), lambda = Radians(longitude);
    const Vector up{std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
    return {{kEarthRadiusKm * up.x, kEarthRadiusKm * up.y, kEarthRadiusKm * up.z},
            {-std::sin(lambda), std::cos(lambda), 0.0},
            {-std::sin(phi) * std::cos(lambda), -std::sin(phi) * std::sin(lambda), std::cos(phi)},
            up};
}

// Listed when above the mask: elevation and azimuth as GSV gives them (whole degrees), a signal
// strength that grows with the elevation (a little different for each satellite).
void AddIfInView(std::vector<SkySatellite> *sky, const Site &site, Constellation system, int number,
                 const Vector &satellite) {
    const Vector line{satellite.x - site.place.x, satellite.y - site.place.y, satellite.z - site.place.z};
    const double range = std::sqrt(Dot(line, line));
    const double elevation = std::asin(Dot(line, site.up) / range) * 180.0 / kPi;
    if (elevation < kSkyMaskDegrees) return;
    double azimuth = std::atan2(Dot(line, site.east), Dot(line, site.north)) * 180.0 / kPi;
    if (azimuth < 0) azimuth += 360.0;
    const int whole_elevation = static_cast<int>(std::lround(elevation));
    const int spread = (number * 7 + static_cast<int>(system) * 3) % 5 - 2;
    const int snr = static_cast<int>(std::lround(28.0 + 22.0 * std::sin(Radians(elevation)))) + spread;
    sky->push_back({system, number, whole_elevation, static_cast<int>(std::lround(azimuth)) % 360, snr,
                    whole_elevation >= kSkyUsedDegrees && system != Constellation::Sbas});
}

const char *Talker(Constellation system) {
    switch (system) {
        case Constellation::Glonass:
            return "GL";
        case Constellation::Galileo:
            return "GA";
        case Constellation::BeiDou:
            return "GB";
        default:
            return "GP";  // GPS, and SBAS under its GPS numbers
    }
}

}  // namespace

std::vector<SkySatellite> SkyAt(double latitude, double longitude, double unix_seconds) {
    const Site site = SiteAt(latitude, longitude);
    std::vector<SkySatellite> sky;
    for (const Orbits &orbits : kOrbits)
        for (int plane = 0; plane < orbits.planes; ++plane)
            for (int slot = 0; slot < orbits.per_plane; ++slot)
                AddIfInView(&sky, site, orbits.system, orbits.first_number + plane * orbits.per_plane + slot,
                            OrbitPosition(orbits, plane, slot, unix_seconds));
    for (const Geostationary &geo : kGeostationary) {
        const double lambda = Radians(geo.longitude);
        AddIfInView(&sky, site, geo.system, geo.number,
                    {kGeostationaryKm * std::cos(lambda), kGeostationaryKm * std::sin(lambda), 0.0});
    }
    std::stable_sort(sky.begin(), sky.end(), [](const SkySatellite &a, const SkySatellite &b) {
        return a.system != b.system ? a.system < b.system : a.number < b.number;
    });
    return sky;
}

float SkyHdop(const std::vector<SkySatellite> &sky) {
    // The normal matrix of east, north, up and the clock, inverted by Gauss-Jordan elimination.
    std::array<std::array<double, 8>, 4> m{};
    int used = 0;
    for (const SkySatellite &satellite : sky) {
        if (!satellite.used) continue;
        ++used;
        const double el = Radians(satellite.elevation), az = Radians(satellite.azimuth);
        const double row[4] = {std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el), 1.0};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) m[i][j] += row[i] * row[j];
    }
    if (used < 4) return 0.0f;
    for (int i = 0; i < 4; ++i) m[i][4 + i] = 1.0;
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int i = column + 1; i < 4; ++i)
            if (std::fabs(m[i][column]) > std::fabs(m[pivot][column])) pivot = i;
        if (std::fabs(m[pivot][column]) < 1e-12) return 0.0f;
        std::swap(m[pivot], m[column]);
        const double scale = m[column][column];
        for (double &value : m[column]) value /= scale;
        for (int i = 0; i < 4; ++i) {
            if (i == column) continue;
            const double factor = m[i][column];
            for (int j = 0; j < 8; ++j) m[i][j] -= factor * m[column][j];
        }
    }
    const double hdop = std::sqrt(m[0][4] + m[1][5]);
    return static_cast<float>(std::round(hdop * 10.0) / 10.0);
}

std::vector<GSVInput> SkyGsv(const std::vector<SkySatellite> &sky) {
    std::vector<GSVInput> records;
    for (const char *talker : {"GP", "GL", "GA", "GB"}) {
        std::vector<const SkySatellite *> listed;
        for (const SkySatellite &satellite : sky)
            if (std::strcmp(Talker(satellite.system), talker) == 0) listed.push_back(&satellite);
        const int count = static_cast<int>(std::min<std::size_t>(listed.size(), std::size_t{4} * GNSS_GSV_SENTENCES));
        const int sentences = (count + 3) / 4;
        for (int n = 1; n <= sentences; ++n) {
            char body[128];
            int length = std::snprintf(body, sizeof body, "%sGSV,%d,%d,%02d", talker, sentences, n, count);
            for (int i = 4 * (n - 1); i < std::min(count, 4 * n); ++i)
                length +=
                    std::snprintf(body + length, sizeof body - static_cast<std::size_t>(length), ",%02d,%02d,%03d,%02d",
                                  listed[i]->number, listed[i]->elevation, listed[i]->azimuth, listed[i]->snr);
            char sentence[136];
            std::snprintf(sentence, sizeof sentence, "$%s*%02X", body, nmea::Checksum(body));
            if (const auto record = ParseGsv(sentence)) records.push_back(*record);
        }
    }
    return records;
}

}  // namespace receiversim
