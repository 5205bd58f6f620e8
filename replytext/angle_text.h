// Angle objects as the pages show a ddmm.mmmm value: {"DEG", "MIN", "SEC", "HEM"} texts.
#pragma once

#include "json_writer.h"

namespace cgi {

// Every text of an angle object fits a 16-byte buffer (15 characters).
inline constexpr int kAngleTextBuffer = 16;

// "%.Nf" of a value as a text of an angle object or a height: cut to 15 characters.
struct ShortText {
    char text[kAngleTextBuffer];
};
ShortText FixedShortText(double value, int decimals);

// A stored direction letter as the reply shows it: N, S, E or W; any other byte (0 for unset,
// or whatever else a record holds) shows as no letter, 0.
char HemisphereLetter(unsigned char direction);

// ddmm.mmmm (degrees times 100 plus minutes) as whole degrees, whole minutes and seconds with
// six decimals; the sign plays no part, the side is the hemisphere letter.
struct BaseAngleTexts {
    ShortText degrees;
    ShortText minutes;
    ShortText seconds;
    char hemisphere[2];  // "" for a letter other than N, S, E or W
};
BaseAngleTexts BaseAngle(double value, unsigned char hemisphere);

// The angle object {"DEG", "MIN", "SEC", "HEM"} of those texts.
void WriteBaseAngle(JsonWriter &writer, double value, unsigned char hemisphere);

}  // namespace cgi
