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
    if (shift <= 0 || scaled.high >= (std::uint64_t{1} << 62)) return false;  // large: LargeText
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

// The text of a value that ScaledDigits leaves: a whole number mantissa * 2^k (up to 309
// digits: stray bytes read as a double reach 10^308), or one above about 10^10 whose decimals
// no longer fit 64 bits beside it. Exact, with printf's rounding; printf itself spends some
// 50,000 instructions on one such number, and std::to_chars would make every program load
// libm. Writes backwards from end; returns the first character.
char *LargeText(double magnitude, int decimals, char *end) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1075 - static_cast<int>((bits >> 52) & 0x7FF);  // (never subnormal here)
    char *start = end;
    if (shift <= 0) {
        for (int i = 0; i < decimals; ++i) *--start = '0';
        if (decimals > 0) *--start = '.';
        // In base 10^9, doubled up to 29 bits at a time (a limb times 2^29 stays below 2^59).
        constexpr std::uint64_t kLimb = 1000000000;
        std::uint64_t limbs[36];  // 10^324 > 2^1024
        std::size_t count = 0;
        for (std::uint64_t m = mantissa; m != 0; m /= kLimb) limbs[count++] = m % kLimb;
        for (int left = -shift; left > 0;) {
            const int step = left < 29 ? left : 29;
            std::uint64_t carry = 0;
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint64_t value = (limbs[i] << step) + carry;
                limbs[i] = value % kLimb;
                carry = value / kLimb;
            }
            if (carry != 0) limbs[count++] = carry;
            left -= step;
        }
        for (std::size_t i = 0; i + 1 < count; ++i)
            for (int digit = 0; digit < 9; ++digit, limbs[i] /= 10) *--start = static_cast<char>('0' + limbs[i] % 10);
        for (std::uint64_t top = limbs[count - 1]; top != 0; top /= 10) *--start = static_cast<char>('0' + top % 10);
        return start;
    }
    // Here 10^10 < magnitude < 2^53, so shift < 20 (the fraction times 10^9 fits 64 bits) and
    // decimals > 0 (a whole number below 2^53 fits ScaledDigits).
    std::uint64_t power = 1;
    for (int i = 0; i < decimals; ++i) power *= 10;
    std::uint64_t whole = mantissa >> shift;
    const std::uint64_t scaled = (mantissa & ((std::uint64_t{1} << shift) - 1)) * power;
    std::uint64_t fraction = scaled >> shift;
    const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    const bool odd = (fraction & 1) != 0;  // ties go to the even last digit
    if ((rest > half || (rest == half && odd)) && ++fraction == power) {
        fraction = 0;
        ++whole;
    }
    for (int i = 0; i < decimals; ++i, fraction /= 10) *--start = static_cast<char>('0' + fraction % 10);
    if (decimals > 0) *--start = '.';
    do {
        *--start = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    return start;
}

}  // namespace

std::size_t FixedText(double value, int decimals, char *text, std::size_t capacity) {
    if (std::isnan(value))
        return Deliver(std::signbit(value) ? "-nan" : "nan", std::signbit(value) ? 4 : 3, text, capacity);
    if (std::isinf(value)) return Deliver(value < 0 ? "-inf" : "inf", value < 0 ? 4 : 3, text, capacity);
    if (decimals < 0 || decimals > 9) {
        char whole[400];
        const int length = std::snprintf(whole, sizeof whole, "%.*f", decimals, value);
        return Deliver(whole, length > 0 ? static_cast<std::size_t>(length) : 0, text, capacity);
    }
    std::uint64_t digits = 0;
    if (!ScaledDigits(std::fabs(value), decimals, &digits)) {
        char whole[1 + 309 + 1 + 9];  // a sign, the most whole digits of a double, nine decimals
        char *start = LargeText(std::fabs(value), decimals, whole + sizeof whole);
        if (std::signbit(value)) *--start = '-';
        return Deliver(start, static_cast<std::size_t>(whole + sizeof whole - start), text, capacity);
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
