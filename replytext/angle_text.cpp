#include "angle_text.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "number_text.h"

namespace cgi {
namespace {

// Whole part of a magnitude, saturated so that no stored value, however wild, converts out
// of range.
unsigned int TruncToUnsigned(double magnitude) {
    if (!(magnitude >= 0.0)) return 0;  // also NaN
    if (magnitude >= 4294967295.0) return UINT_MAX;
    return static_cast<unsigned int>(magnitude);
}

}  // namespace

ShortText FixedShortText(double value, int decimals) {
    ShortText text{};
    FixedText(value, decimals, text.text, sizeof text.text);
    return text;
}

char HemisphereLetter(unsigned char direction) {
    return direction == 'N' || direction == 'S' || direction == 'E' || direction == 'W' ? static_cast<char>(direction)
                                                                                        : '\0';
}

BaseAngleTexts BaseAngle(double value, unsigned char hemisphere) {
    const double magnitude = std::fabs(value);
    const unsigned int degrees = TruncToUnsigned(magnitude / 100);
    const unsigned int minutes = TruncToUnsigned(magnitude - static_cast<double>(100ULL * degrees));
    const double seconds = (magnitude - TruncToUnsigned(magnitude)) * 60;
    BaseAngleTexts texts{};
    IntegerText(static_cast<int>(degrees), texts.degrees.text, sizeof texts.degrees.text);
    IntegerText(static_cast<int>(minutes), texts.minutes.text, sizeof texts.minutes.text);
    texts.seconds = FixedShortText(seconds, 6);
    texts.hemisphere[0] = HemisphereLetter(hemisphere);
    return texts;
}

void WriteBaseAngle(JsonWriter &writer, double value, unsigned char hemisphere) {
    const BaseAngleTexts texts = BaseAngle(value, hemisphere);
    writer.BeginObject();
    for (const auto &[key, text] : {std::pair<const char *, const char *>{"DEG", texts.degrees.text},
                                    {"MIN", texts.minutes.text},
                                    {"SEC", texts.seconds.text},
                                    {"HEM", texts.hemisphere}}) {
        writer.Key(key);
        writer.String(text, std::strlen(text));
    }
    writer.EndObject();
}

}  // namespace cgi
