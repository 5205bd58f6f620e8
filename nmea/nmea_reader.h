// Reading NMEA 0183 sentences: the checksum, the fields, the signal ID that ends a GSV
// sentence of NMEA 4.10 and later, and ddmm.mmmm angles. gnssreport (on the text the receiver
// stored) and the receiver stand-in (on recorded logs) read sentences with these alone.
#pragma once

#include <array>
#include <string_view>

namespace nmea {

// XOR of the characters between '$' and '*'.
unsigned char Checksum(std::string_view body);

// The characters between '$' and '*' of a sentence whose two hex digits after '*' (either
// case) are its checksum, or empty. Line-end characters after them are allowed.
std::string_view CheckedBody(std::string_view sentence);

// The comma-separated fields of a sentence body, the address ("GPGSV") first.
inline constexpr int kMaxFields = 32;
struct Fields {
    std::array<std::string_view, kMaxFields> at{};
    int count = 0;
};

// False when the body has more than kMaxFields fields.
bool SplitFields(std::string_view body, Fields *fields);

// A GSV sentence: address, sentence count, sentence number, satellites in view, then blocks
// of four fields per satellite.
inline constexpr int kGsvHeadFields = 4;
inline constexpr int kGsvBlockFields = 4;

// The signal ID of a GSV sentence (0 to 15): one field after its whole satellite blocks, a
// single hex digit. -1 when the sentence does not end that way. A sentence does not carry its
// NMEA version, so a reader takes it as the signal ID only when every sentence of the group
// has one (the same).
int GsvSignalId(const Fields &fields);

// Degrees of a ddmm.mmmm (or dddmm.mmmm) value: the whole hundreds are degrees (cut toward
// zero), the rest is minutes, so a negative value gives the same degrees negative. Where the
// side comes from a hemisphere letter the caller passes the magnitude and signs the result.
// The degrees are cut without libm and never through an integer type that a stored value
// could overflow; NaN stays NaN.
double DdmmToDegrees(double value);

// The other way: decimal degrees as ddmm.mmmm, the sign carried through.
double DegreesToDdmm(double degrees);

}  // namespace nmea
