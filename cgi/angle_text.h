// Angle objects as the pages show a ddmm.mmmm value: {"DEG", "MIN", "SEC", "HEM"} texts.
#pragma once

#include <json-c/json.h>

#include "json_writer.h"

namespace cgi {

// Every text of an angle object fits a 16-byte buffer (15 characters).
inline constexpr int kAngleTextBuffer = 16;

// "%.Nf" of a value as a text of an angle object or a height: cut to 15 characters.
struct ShortText {
    char text[kAngleTextBuffer];
};
ShortText FixedShortText(double value, int decimals);

// The same text as a json-c string.
json_object *FixedNumberText(double value, int decimals);

// A direction letter as a one-letter text; a zero letter gives "".
json_object *DirectionText(unsigned char direction);

// ddmm.mmmm (degrees times 100 plus minutes) as whole degrees, whole minutes and seconds with
// six decimals; the sign plays no part, the side is the hemisphere letter.
struct BaseAngleTexts {
    ShortText degrees;
    ShortText minutes;
    ShortText seconds;
    char hemisphere[2];  // a zero letter gives ""
};
BaseAngleTexts BaseAngle(double value, unsigned char hemisphere);

// The angle object {"DEG", "MIN", "SEC", "HEM"} of those texts, as a json-c object or
// written straight into a reply.
json_object *BaseAngleObject(double value, unsigned char hemisphere);
void WriteBaseAngle(JsonWriter &writer, double value, unsigned char hemisphere);

}  // namespace cgi
