// The sky the stand-in shows at a fixed position: the satellites of GPS, GLONASS, Galileo,
// BeiDou and SBAS above it at a given time, from circular orbits of each constellation's
// shape (planes, inclination, period) and the geostationary satellites at their longitudes.
// Elevations and azimuths move as real ones do (a few degrees in ten minutes), signal
// strengths follow the elevation, and the fix uses what a receiver would: the satellites at
// 15 degrees and more, SBAS aside. Not an almanac: a plausible sky, consistent with its fix.
#pragma once

#include <string>
#include <vector>

#include "sharememory.h"

namespace receiversim {

// The talker of each system's GSV sentences; SBAS satellites go with GPS's, as numbers 33 to 64.
enum class Constellation { Gps, Glonass, Galileo, BeiDou, Sbas };

struct SkySatellite {
    Constellation system;
    int number;     // as GSV numbers it
    int elevation;  // degrees, at least the mask
    int azimuth;    // degrees clockwise from north, 0 to 359
    int snr;        // dB-Hz
    bool used;      // in the fix
};

inline constexpr int kSkyMaskDegrees = 10;  // lower satellites are not listed
inline constexpr int kSkyUsedDegrees = 15;  // lower ones are not used in the fix

// The satellites above latitude and longitude (decimal degrees) at unix_seconds.
std::vector<SkySatellite> SkyAt(double latitude, double longitude, double unix_seconds);

// The horizontal dilution of precision of the used satellites, to one decimal; 0 with fewer
// than four.
float SkyHdop(const std::vector<SkySatellite> &sky);

// The sky as GSV input records, one group per talker (GP with SBAS, GL, GA, GB).
std::vector<GSVInput> SkyGsv(const std::vector<SkySatellite> &sky);

}  // namespace receiversim
