// Angle objects as the pages show a ddmm.mmmm value: {"DEG", "MIN", "SEC", "HEM"} texts.
#pragma once

#include <json-c/json.h>

namespace cgi {

// Every text of an angle object fits a 16-byte buffer (15 characters).
inline constexpr int kAngleTextBuffer = 16;

// "%.Nf" of a value as a text of an angle object or a height: cut to 15 characters.
struct ShortText {
    char text[kAngleTextBuffer];
};
ShortText FixedShortText(double value, int decimals);

// The same texts, and "%d" ones, as json-c strings.
json_object *FixedNumberText(double value, int decimals);
json_object *IntegerNumberText(int value);

// A direction letter as a one-letter text; a zero letter gives "".
json_object *DirectionText(unsigned char direction);

// ddmm.mmmm (degrees times 100 plus minutes) as whole degrees, whole minutes and seconds with
// six decimals; the sign plays no part, the side is the hemisphere letter.
json_object *BaseAngleObject(double value, unsigned char hemisphere);

}  // namespace cgi
