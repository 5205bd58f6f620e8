// The SmartBase start-up selection: of list positions 1 to 5, the one nearest to the
// receiver's own position. The receiver side runs it after a change to SmartBase mode; it is
// a library of its own so that the receiver stand-in needs nothing else of rolekind.
#pragma once

#include "sharememory.h"

// d degrees in radians.
double radian(double d);

// Great-circle distance in kilometres between two points in decimal degrees, to four
// decimal places (a sphere of the WGS 84 equatorial radius).
double get_distance(double lat1, double lng1, double lat2, double lng2);

// Chooses, among list positions 1 to 5, the one nearest to the receiver's GGA position,
// marks it as the start-up point and returns its position (1 to 5); 0 without a fix, or when
// a read failed (then nothing is written).
unsigned char SelectBaseStationStartupCoordinate();

namespace rolekind {

inline constexpr int kSmartBaseFirstPosition = 1;
inline constexpr int kSmartBaseLastPosition = SMARTBASE_STATIONS;

// Configuration entry of list position n (1 to 30).
inline unsigned char SmartBaseEntry(int position) {
    return static_cast<unsigned char>(ENTRY_SMARTBASE1_CONFIG + position - 1);
}

// A packed DD.MMSSsss value in decimal degrees.
double PackedToDegrees(double packed);

// The selection, with a read that failed told apart from no fix: kSelectionReadFailed when
// a lock was not to be had (nothing is written then), 0 without a fix, else the position.
inline constexpr int kSelectionReadFailed = -1;
int SelectStartupPosition();

}  // namespace rolekind
