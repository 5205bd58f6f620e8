#include "number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace cgi {
namespace {

// The longest "%.9f" of a double: 309 digits before the point, the point, 9 decimals, a sign.
constexpr std::size_t kLongestFixed = 330;

std::size_t Deliver(const char *whole, std::size_t length, char *text, std::size_t capacity) {
    if (capacity == 0) return length;
    const std::size_t kept = length < capacity ? length : capacity - 1;
    std::memcpy(text, whole, kept);
    text[kept] = '\0';
    return length;
}

}  // namespace

std::size_t FixedText(double value, int decimals, char *text, std::size_t capacity) {
    char whole[kLongestFixed + 1];
    if (std::isnan(value))
        return Deliver(std::signbit(value) ? "-nan" : "nan", std::signbit(value) ? 4 : 3, text, capacity);
    if (std::isinf(value)) return Deliver(value < 0 ? "-inf" : "inf", value < 0 ? 4 : 3, text, capacity);
    const auto [end, error] = std::to_chars(whole, whole + kLongestFixed, value, std::chars_format::fixed, decimals);
    if (error != std::errc{}) return Deliver("", 0, text, capacity);
    return Deliver(whole, static_cast<std::size_t>(end - whole), text, capacity);
}

std::size_t IntegerText(int value, char *text, std::size_t capacity) {
    char whole[16];
    const auto [end, error] = std::to_chars(whole, whole + sizeof whole, value);
    (void)error;  // an int always fits
    return Deliver(whole, static_cast<std::size_t>(end - whole), text, capacity);
}

}  // namespace cgi
