// The two encodings between stored coordinates and the page's angle objects.
//
// Base form (base station, current position): the stored value is ddmm.mmmm, degrees times
// 100 plus minutes; the page sees "DEG", "MIN", "SEC" and "HEM" texts. List form (SmartBase
// list): the stored value travels whole in "DEG"; "MIN" and "SEC" carry nothing.
#pragma once

#include <json-c/json.h>

#include "json_writer.h"
#include "request.h"
#include "sharememory.h"

namespace rolekind {

enum class AngleForm { Base, List };

// The coordinate object {"Longitude": angle, "Latitude": angle} of a stored point.
void WriteCoordinate(cgi::JsonWriter &writer, const Coordinates &point, AngleForm form);

// The height text of a stored point (six decimals, at most 15 characters).
void WriteHeight(cgi::JsonWriter &writer, double elevation);

// Decimals of the list form's "DEG" and of a height text (cgi::FixedShortText cuts both to 15
// characters, as in the reply).
inline constexpr int kListDegreesDecimals = 9;
inline constexpr int kHeightDecimals = 6;

// The members of one angle object in a request.
struct AngleMembers {
    Member degrees, minutes, seconds, hemisphere;
};
inline constexpr AngleMembers kLongitudeMembers{Member::LongitudeDegrees, Member::LongitudeMinutes,
                                                Member::LongitudeSeconds, Member::LongitudeHemisphere};
inline constexpr AngleMembers kLatitudeMembers{Member::LatitudeDegrees, Member::LatitudeMinutes,
                                               Member::LatitudeSeconds, Member::LatitudeHemisphere};

// The stored value and direction letter of an angle object's checked members (the list form
// reads only "DEG" and "HEM").
void ReadAngle(const CheckedRequest &request, const AngleMembers &angle, AngleForm form, double *value,
               unsigned char *direction);

}  // namespace rolekind
