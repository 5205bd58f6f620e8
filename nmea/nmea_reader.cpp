#include "nmea_reader.h"

namespace nmea {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The whole part, cut toward zero, without libm and never through an integer type that the
// value could overflow: past 2^52 a double has no fraction left to cut. NaN stays NaN.
double WholePart(double value) {
    constexpr double kNoFraction = 4503599627370496.0;
    return value > -kNoFraction && value < kNoFraction ? static_cast<double>(static_cast<long long>(value)) : value;
}

}  // namespace

unsigned char Checksum(std::string_view body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return sum;
}

std::string_view CheckedBody(std::string_view sentence) {
    while (!sentence.empty() && (sentence.back() == '\r' || sentence.back() == '\n')) sentence.remove_suffix(1);
    if (sentence.size() < 4 || sentence.front() != '$' || sentence[sentence.size() - 3] != '*') return {};
    const int high = HexDigit(sentence[sentence.size() - 2]);
    const int low = HexDigit(sentence[sentence.size() - 1]);
    if (high < 0 || low < 0) return {};
    const std::string_view body = sentence.substr(1, sentence.size() - 4);
    return Checksum(body) == high * 16 + low ? body : std::string_view{};
}

bool SplitFields(std::string_view body, Fields *fields) {
    fields->count = 0;
    std::size_t start = 0;
    for (;;) {
        if (fields->count == kMaxFields) return false;
        const std::size_t comma = body.find(',', start);
        fields->at[fields->count++] = body.substr(start, comma - start);
        if (comma == std::string_view::npos) return true;
        start = comma + 1;
    }
}

int GsvSignalId(const Fields &fields) {
    const int rest = fields.count - kGsvHeadFields;
    if (rest < 1 || rest % kGsvBlockFields != 1) return -1;
    const std::string_view last = fields.at[fields.count - 1];
    return last.size() == 1 ? HexDigit(last[0]) : -1;
}

double DdmmToDegrees(double value) {
    const double degrees = WholePart(value / 100);
    return degrees + (value - 100 * degrees) / 60;
}

double DegreesToDdmm(double degrees) {
    const double whole = WholePart(degrees);
    return whole * 100 + (degrees - whole) * 60;
}

}  // namespace nmea
