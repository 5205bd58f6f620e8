#include "smartbase.h"

#include <cstring>

#include "coordinates.h"
#include "records.h"
#include "request.h"
#include "station_id.h"

namespace rolekind {

SmartBaseInfo SmartBaseFromRequest(const CheckedRequest &request) {
    auto info = cgi::ZeroRecord<SmartBaseInfo>();
    CopyIdentifier(info.id, request.Text(Member::StationId));
    Coordinates &point = info.coordinate_point;
    ReadAngle(request, kLongitudeMembers, AngleForm::List, &point.Longitude, &point.LonDirection);
    ReadAngle(request, kLatitudeMembers, AngleForm::List, &point.Latitude, &point.LatDirection);
    point.Elevation = request.Number(Member::Height);
    info.available = 0;  // an edited station is never the chosen one
    return info;
}

}  // namespace rolekind
