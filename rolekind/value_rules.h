// The values a request may carry, one rule per kind of member: a base station's coordinate is
// broadcast to every rover that uses it, so nothing out of range is ever stored or announced.
#pragma once

#include <string_view>

#include "json_writer.h"

namespace rolekind {

enum class ValueRule : unsigned char {
    AnyText,              // read as text, any value ("PPS": anything but "ON" is off)
    Identifier,           // printable ASCII, 0x20 to 0x7E (longer ones are cut at the field)
    StationName,          // the same, not empty
    WorkMode,             // a work mode, ROVER_MODE 0 to SMARTBASE_MODE 4
    ListPosition,         // a SmartBase list position, 1 to 30
    LatitudeDegrees,      // base form "DEG", whole, 0 to 90
    LongitudeDegrees,     // base form "DEG", whole, 0 to 180
    Minutes,              // base form "MIN", whole, 0 to 59
    Seconds,              // base form "SEC", 0 to less than 60
    LatitudeHemisphere,   // "N" or "S"
    LongitudeHemisphere,  // "E" or "W"
    PackedLatitude,       // list form DD.MMSSsss, 0 to 90, its minutes and seconds below 60
    PackedLongitude,      // the same, 0 to 180
    Height,               // metres, -1000 to 10000
};

// Numbers are plain decimals in full: whole numbers [0-9]+, the others [0-9]+(\.[0-9]+)? and
// a height may start with "-". No sign elsewhere, no exponent, hex, "inf", "nan", spaces or
// trailing text (nor a zero byte); an empty text is no number.
//
// Null when the text keeps the rule, otherwise what the rule asks for, to follow the member's
// name in an error ("must be 0 to 90").
const char *BrokenRule(ValueRule rule, std::string_view text);

// One described choice, {"Value": value, "Text": text}: a code as text, or a whole number.
void WriteChoice(cgi::JsonWriter &writer, std::string_view value, std::string_view text);
void WriteChoice(cgi::JsonWriter &writer, long long value, std::string_view text);

// What the rule asks for, as BrokenRule gives it (null for AnyText).
const char *Requirement(ValueRule rule);

// The describe reply's keys of a rule after "Key": "Type" and the rule a page checks before it
// sends ("Min", "Max", "Step", "MaxBelow" for a range whose high end is left out, "Signed";
// "MinLength", "MaxLength", "Characters"; "Choices"; "Packed", the form of a packed angle).
void DescribeRule(ValueRule rule, cgi::JsonWriter &writer);

// The number that a text keeping the rule says: 0 under a rule for texts.
double NumberValue(ValueRule rule, const char *text);

// The value of a text that keeps a whole-number rule (degrees, minutes, mode, list position).
int WholeValue(const char *text);

// The value of a text that keeps a decimal rule (seconds, packed angles, height).
double DecimalValue(const char *text);

}  // namespace rolekind
