// The SmartBase list: thirty stored base points, and the start-up selection of the nearest
// one. The receiver side runs the selection after a change to SmartBase mode.
#pragma once

#include <json-c/json.h>

#include "sharememory.h"

// d degrees in radians.
double radian(double d);

// Great-circle distance in kilometres between two points in decimal degrees, to four
// decimal places (a sphere of the WGS 84 equatorial radius).
double get_distance(double lat1, double lng1, double lat2, double lng2);

// Chooses, among list positions 1 to 5, the one nearest to the receiver's GGA position,
// marks it as the start-up point and returns its position (1 to 5); 0 without a fix.
unsigned char SelectBaseStationStartupCoordinate();

namespace rolekind {

inline constexpr int kSmartBaseFirstPosition = 1;
inline constexpr int kSmartBaseLastPosition = SMARTBASE_STATIONS;

// Configuration entry of list position n (1 to 30).
inline unsigned char SmartBaseEntry(int position) {
    return static_cast<unsigned char>(ENTRY_SMARTBASE1_CONFIG + position - 1);
}

// "Station1" to "Station30".
const char *SmartBaseKey(int position);

// The status report's object of one list position.
json_object *SmartBaseObject(int position);

// The record a list edit stores, built from the request's "Station" object (whose members
// the caller has checked).
SmartBaseInfo SmartBaseFromRequest(json_object *station);

// A packed DD.MMSSsss value in decimal degrees.
double PackedToDegrees(double packed);

}  // namespace rolekind
