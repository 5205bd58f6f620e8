#include "smartbase.h"

#include <cstring>

#include "coordinates.h"
#include "records.h"
#include "request.h"
#include "station_id.h"

namespace rolekind {

SmartBaseInfo SmartBaseFromRequest(json_object *station) {
    auto info = cgi::ZeroRecord<SmartBaseInfo>();
    CopyIdentifier(info.id, MemberText(station, {"ID"}));
    Coordinates &point = info.coordinate_point;
    ReadAngle(MemberObject(station, {"Coordinate", "Longitude"}), AngleForm::List, &point.Longitude,
              &point.LonDirection);
    ReadAngle(MemberObject(station, {"Coordinate", "Latitude"}), AngleForm::List, &point.Latitude, &point.LatDirection);
    point.Elevation = TextToDouble(MemberText(station, {"Height"}));
    info.available = 0;  // an edited station is never the chosen one
    return info;
}

}  // namespace rolekind
