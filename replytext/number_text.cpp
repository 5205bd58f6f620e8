#include "number_text.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace cgi {
namespace {

std::size_t Deliver(const char *whole, std::size_t length, char *text, std::size_t capacity) {
    if (capacity == 0) return length;
    const std::size_t kept = length < capacity ? length : capacity - 1;
    std::memcpy(text, whole, kept);
    text[kept] = '\0';
    return length;
}

// A 128-bit unsigned number as two halves: 32-bit targets have no 128-bit integer type.
struct Wide {
    std::uint64_t high;
    std::uint64_t low;
};

// m * p for m < 2^53 and p < 2^32, exactly.
Wide Multiply(std::uint64_t m, std::uint64_t p) {
    const std::uint64_t low_part = (m & 0xFFFFFFFFu) * p;  // < 2^64
    const std::uint64_t high_part = (m >> 32) * p;         // < 2^53
    Wide product{high_part >> 32, high_part << 32};
    product.low += low_part;
    if (product.low < low_part) ++product.high;
    return product;
}

// The value's scaled digits, round(|value| * 10^decimals) with ties to even, computed exactly
// from the double's bits; false when they do not fit 64 bits (printf then does it).
bool ScaledDigits(double magnitude, int decimals, std::uint64_t *digits) {
    // magnitude = mantissa * 2^-shift exactly, mantissa < 2^53 (read from the bits: no libm).
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t mantissa = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int shift = biased == 0 ? 1074 : 1075 - biased;
    if (mantissa == 0) {
        *digits = 0;
        return true;
    }
    std::uint64_t power = 1;
    for (int i = 0; i < decimals; ++i) power *= 10;
    const Wide scaled = Multiply(mantissa, power);                            // magnitude * 10^decimals * 2^shift
    if (shift <= 0 || scaled.high >= (std::uint64_t{1} << 62)) return false;  // large: leave it to printf
    if (shift >= 128) {
        *digits = 0;  // less than half of the last digit
        return true;
    }
    // quotient = scaled >> shift, and the remainder compared with half of 2^shift.
    Wide quotient;
    Wide remainder;
    if (shift >= 64) {
        quotient = {0, scaled.high >> (shift - 64)};
        remainder = {shift == 64 ? 0 : scaled.high & ((std::uint64_t{1} << (shift - 64)) - 1), scaled.low};
    } else {
        quotient = {scaled.high >> shift, (scaled.low >> shift) | (scaled.high << (64 - shift))};
        remainder = {0, scaled.low & ((std::uint64_t{1} << shift) - 1)};
    }
    if (quotient.high != 0) return false;
    const Wide half =
        shift - 1 >= 64 ? Wide{std::uint64_t{1} << (shift - 1 - 64), 0} : Wide{0, std::uint64_t{1} << (shift - 1)};
    const bool above = remainder.high != half.high ? remainder.high > half.high : remainder.low > half.low;
    const bool tie = remainder.high == half.high && remainder.low == half.low;
    *digits = quotient.low;
    if (above || (tie && (quotient.low & 1) != 0)) {
        if (*digits == UINT64_MAX) return false;
        ++*digits;
    }
    return true;
}

}  // namespace

std::size_t FixedText(double value, int decimals, char *text, std::size_t capacity) {
    if (std::isnan(value))
        return Deliver(std::signbit(value) ? "-nan" : "nan", std::signbit(value) ? 4 : 3, text, capacity);
    if (std::isinf(value)) return Deliver(value < 0 ? "-inf" : "inf", value < 0 ? 4 : 3, text, capacity);
    std::uint64_t digits = 0;
    if (decimals < 0 || decimals > 9 || !ScaledDigits(std::fabs(value), decimals, &digits)) {
        char whole[400];
        const int length = std::snprintf(whole, sizeof whole, "%.*f", decimals, value);
        return Deliver(whole, length > 0 ? static_cast<std::size_t>(length) : 0, text, capacity);
    }
    // Digits from the right: the decimals, the point, the whole part (at least "0"), the sign.
    char whole[32];
    char *start = whole + sizeof whole;
    for (int i = 0; i < decimals; ++i, digits /= 10) *--start = static_cast<char>('0' + digits % 10);
    if (decimals > 0) *--start = '.';
    do {
        *--start = static_cast<char>('0' + digits % 10);
        digits /= 10;
    } while (digits != 0);
    if (std::signbit(value)) *--start = '-';
    return Deliver(start, static_cast<std::size_t>(whole + sizeof whole - start), text, capacity);
}

std::size_t IntegerText(int value, char *text, std::size_t capacity) {
    char whole[16];
    char *start = whole + sizeof whole;
    // Through unsigned, so that INT_MIN has a magnitude.
    auto magnitude = static_cast<unsigned int>(value);
    if (value < 0) magnitude = 0u - magnitude;
    do {
        *--start = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--start = '-';
    return Deliver(start, static_cast<std::size_t>(whole + sizeof whole - start), text, capacity);
}

}  // namespace cgi
