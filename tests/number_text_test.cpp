// The reports' number texts against printf's own, byte for byte: the replies must not change.
#include "number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace {

void ExpectSameAsPrintf(double value, int decimals, std::size_t capacity) {
    char expected[400];
    char actual[400];
    std::memset(actual, 0x7F, sizeof actual);
    const int expected_length = std::snprintf(expected, capacity, "%.*f", decimals, value);
    const std::size_t length = cgi::FixedText(value, decimals, actual, capacity);
    ASSERT_EQ(length, static_cast<std::size_t>(expected_length)) << value << " with " << decimals;
    ASSERT_STREQ(actual, expected) << "%.17g: " << value << " with " << decimals << " decimals";
    ASSERT_EQ(actual[std::strlen(actual) + 1], 0x7F) << "wrote past the text's end";
}

}  // namespace

TEST(NumberText, FixedIsPrintfForChosenValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {0.0, -0.0, 0.5, 1.5, 2.5, -0.5, 0.125, 0.375, 1e-7, 5e-10, 1.0000000005, 0.9999999995,
                             30.123456789, 114.302512345, -45.5240, 17030.1234, 4552.65403, 123456789.123456789, 1e15,
                             1e22, 1.7976931348623157e308, 4.9e-324, -1e300, nan,
                             // Ties in the decimals of large values: 2^35 + 2^-10, 2^35 + 3 * 2^-10.
                             34359738368.0009765625, -34359738368.0029296875, 9007199254740991.0, 9007199254740992.0,
                             4503599627370495.5, 99999999999.9999999995, -nan, inf, -inf};
    for (double value : values)
        for (int decimals = 0; decimals <= 9; ++decimals)
            for (std::size_t capacity : {400u, 16u, 4u, 1u}) ExpectSameAsPrintf(value, decimals, capacity);
}

TEST(NumberText, FixedIsPrintfForRandomValues) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 200000; ++i) {
        double value;
        if (i % 2 == 0) {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);  // any double at all, NaN included
        } else {
            value = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 80) - 70);
            if (random() % 2 != 0) value = -value;
        }
        ExpectSameAsPrintf(value, static_cast<int>(random() % 10), i % 3 == 0 ? 16 : 400);
    }
}

TEST(NumberText, IntegerIsPrintf) {
    for (int value : {0, 1, -1, 9, 10, 99, 100, 170, -45, 123456, INT_MAX, INT_MIN}) {
        for (std::size_t capacity : {16u, 3u}) {
            char expected[16];
            char actual[16];
            const int length = std::snprintf(expected, capacity, "%d", value);
            EXPECT_EQ(cgi::IntegerText(value, actual, capacity), static_cast<std::size_t>(length));
            EXPECT_STREQ(actual, expected);
        }
    }
}
