#include "selection.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "nmea_reader.h"

namespace {
double Square(double x) {
    return x * x;
}
}  // namespace

double radian(double d) {
    return d * 3.141592653589793 / 180.0;
}

double get_distance(double lat1, double lng1, double lat2, double lng2) {
    const double radLat1 = radian(lat1);
    const double radLat2 = radian(lat2);
    const double a = radLat1 - radLat2;
    const double b = radian(lng1) - radian(lng2);
    double dst = 2 * std::asin(std::sqrt(Square(std::sin(b / 2)) * (std::cos(radLat1) * std::cos(radLat2)) +
                                         Square(std::sin(a / 2))));
    dst = dst * 6378.137;
    return std::round(dst * 10000) / 10000;
}

namespace rolekind {
namespace {

// Whole part toward zero, saturated to int so that no stored value converts out of range.
int TruncToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

// ddmm.mmmm of a GGA record in decimal degrees, signed as the stored value is: the list's
// points and the receiver's position are compared by their values, the hemisphere letters
// take no part.
double GgaToSignedDegrees(double value) {
    return nmea::DdmmToDegrees(value);
}

}  // namespace

double PackedToDegrees(double packed) {
    const int degree = TruncToInt(packed);
    const double value = (packed - degree) * 100;
    const int minute = TruncToInt(value);
    const double second = (value - minute) * 100;
    return degree + minute / 60.0 + second / 3600;
}

}  // namespace rolekind

int rolekind::SelectStartupPosition() {
    GGAInfo gga;
    std::memset(&gga, 0, sizeof gga);  // cppcheck-suppress memsetClassFloat ; all-zero bytes are 0.0
    if (GetGNSSInfoFromShareMemory(ENTRY_GGA, &gga) != 0) return kSelectionReadFailed;
    if (gga.fix_status == 0) return 0;
    const double lat = GgaToSignedDegrees(gga.latitude);
    const double lon = GgaToSignedDegrees(gga.longitude);

    constexpr int kCandidates = 5;  // only the first five positions take part
    SmartBaseInfo smartbase_list[kCandidates];
    double distance[kCandidates];
    for (int i = 0; i < kCandidates; ++i) {
        // A list read as zeros would mark a zeroed record available: station 1 erased.
        std::memset(&smartbase_list[i], 0, sizeof smartbase_list[i]);  // cppcheck-suppress memsetClassFloat
        if (GetReceiverConfigParaFromShareMemory(SmartBaseEntry(i + 1), &smartbase_list[i]) != 0)
            return kSelectionReadFailed;
        const Coordinates &point = smartbase_list[i].coordinate_point;
        distance[i] = get_distance(PackedToDegrees(point.Latitude), PackedToDegrees(point.Longitude), lat, lon);
    }
    int index = 0;
    for (int i = 1; i < kCandidates; ++i)
        if (distance[i] < distance[index]) index = i;  // equal distances keep the lower position

    smartbase_list[index].available = 1;
    SetReceiverConfigParaToShareMemory(SmartBaseEntry(index + 1), &smartbase_list[index]);
    return index + 1;
}

unsigned char SelectBaseStationStartupCoordinate() {
    const int position = rolekind::SelectStartupPosition();
    return static_cast<unsigned char>(position > 0 ? position : 0);
}
