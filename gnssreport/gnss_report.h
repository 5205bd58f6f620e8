// The GNSS report: the receiver's position and fix, and the satellites in view.
//
// Its exact form (json-c's spaced single-line rendering), for a receiver with a fix:
//
//   { "Fix": { "Quality": 4, "Name": "RTK fixed", "Satellites": 10, "HDOP": 0.90, "UTC": "13:28:19.60" },
//     "Position": { "Latitude": 41.574966, "Longitude": -93.750572,
//                   "Coordinate": { "Longitude": { "DEG": "93", "MIN": "45", "SEC": "2.058845", "HEM": "W" },
//                                   "Latitude": { "DEG": "41", "MIN": "34", "SEC": "29.877276", "HEM": "N" } },
//                   "Altitude": 278.161, "AltitudeUnit": "M", "Undulation": -31.442, "UndulationUnit": "M",
//                   "Age": 6, "Station": 133 },
//     "Satellites": { "GPS": { "Count": 2, "List": [ { "Number": 5, "Elevation": 6, "Azimuth": 110, "SNR": 19 },
//                                                    { "Number": 24, "Elevation": 7, "Azimuth": 45 } ] },
//                     "BeiDou": { "Count": 0, "List": [ ] }, "GLONASS": { ... }, "Galileo": { ... } } }
//
// - "Fix": "Quality" is the GGA fix quality and "Name" its name ("No fix", "Single", "DGPS",
//   "PPS", "RTK fixed", "RTK float", "Dead reckoning", "Manual", "Simulation", else
//   "Unknown"). "Satellites" (used in the fix), "HDOP" (two decimals) and "UTC" (hh:mm:ss.ss)
//   come with every decoded record; a record that is not "available" gives { "Quality": 0,
//   "Name": "No fix" } alone.
// - "Position" only with a fix (quality above 0 in an available record). "Latitude" and
//   "Longitude" in signed decimal degrees (nine decimals; south and west negative);
//   "Coordinate" the same point as degree, minute, second and hemisphere texts, as rolekind
//   shows a base station; "Altitude" and "Undulation" with three decimals and their unit
//   letters; "Age" of the corrections in seconds and the reference "Station", 0 when none.
// - "Satellites": per system, the satellites the GSV sentences list, each once, in sentence
//   order; "Elevation", "Azimuth" and "SNR" are absent when the sentence leaves them empty.
#pragma once

#include "cgi_frame.h"

namespace gnssreport {

cgi::JsonPtr BuildGnssReport();

}  // namespace gnssreport
