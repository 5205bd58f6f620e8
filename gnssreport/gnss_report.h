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
//                     "BeiDou": { "Count": 0, "List": [ ] }, "GLONASS": { ... }, "Galileo": { ... },
//                     "SBAS": { ... } } }
//
// - "Fix": "Quality" is the GGA fix quality and "Name" its name ("No fix", "Single", "DGPS",
//   "PPS", "RTK fixed", "RTK float", "Dead reckoning", "Manual", "Simulation", else
//   "Unknown"). "Satellites" (used in the fix) comes with every decoded record; a record that
//   is not "available" gives { "Quality": 0, "Name": "No fix" } alone.
// - "HDOP" (two decimals) is left out when it is 0 (the receiver sent none).
// - "UTC" is hh:mm:ss.ss. The record keeps the time as a 32-bit float, which past 13:10:72
//   holds only 1/64-second steps: the reply gives the fewest decimals, at most two, that read
//   back as the stored float, so a time a receiver writes at 1 to 20 Hz (132819.60) comes back
//   as written; where two hundredths share one float either may be given. "UTC" is left out
//   when the field is no time of day, and when there is no fix and it is 0 (an empty field).
// - "Position" only with a fix (quality above 0 in an available record) whose latitude and
//   longitude are finite and within ±90 and ±180 degrees. "Latitude" and "Longitude" in signed
//   decimal degrees (nine decimals; south and west negative); "Coordinate" the same point as
//   degree, minute, second and hemisphere texts, as rolekind shows a base station;
//   "Altitude" and "Undulation" with three decimals and their unit letters, each pair left
//   out when its unit letter is empty (the receiver sent no value); "Age" of the corrections
//   in seconds and the reference "Station", 0 when none.
// - "Satellites": "GPS", "BeiDou", "GLONASS", "Galileo" and "SBAS", each the satellites its
//   GSV sentences list, each once, in sentence order (gsv.h tells how a slot is read). SBAS
//   satellites are those of the GPS sentences numbered 33 to 64. "Elevation", "Azimuth" and
//   "SNR" are absent when the sentence leaves them empty. The slots carry no time: a system
//   is listed as long as its sentences stay in the segment, so the receiver clears a
//   system's slot when the system's group is missing from an epoch.
#pragma once

#include "json_writer.h"

namespace gnssreport {

// Reads the GNSS segment (which must be attached) and writes the report. A failed read is kept
// for the caller (cgi::ReadFailure), which then answers "Failed" instead.
void WriteGnssReport(cgi::JsonWriter &reply);

}  // namespace gnssreport
