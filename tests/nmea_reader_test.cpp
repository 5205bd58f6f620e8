// The NMEA reader's rules, one table each; expected values read off the sentences by hand.
#include "nmea_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

nmea::Fields Split(std::string_view body) {
    nmea::Fields fields;
    EXPECT_TRUE(nmea::SplitFields(body, &fields)) << body;
    return fields;
}

}  // namespace

TEST(NmeaReader, ChecksumDecidesTheBody) {
    const struct {
        const char *sentence;
        const char *body;  // empty: refused
    } rows[] = {
        {"$GPGSV,1,1,01,05,06,110,19*43", "GPGSV,1,1,01,05,06,110,19"},
        {"$GPGSV,1,1,01,05,06,110,19*43\r\n", "GPGSV,1,1,01,05,06,110,19"},
        {"$GNGGA,,,,,,0,,,,,,,,*78", "GNGGA,,,,,,0,,,,,,,,"},
        {"$GPGGA,1*4b", "GPGGA,1"},             // lower-case hex
        {"$GPGSV,1,1,01,05,06,110,19*42", ""},  // one bit off
        {"$GPGSV,1,1,01,05,06,110,19*4G", ""},
        {"GPGSV,1,1,01,05,06,110,19*43", ""},  // no '$'
        {"$GPGSV,1,1,01,05,06,110,19*4", ""},  // one digit
        {"$*00", ""},                          // nothing between: empty either way
        {"", ""},
    };
    for (const auto &row : rows) EXPECT_EQ(nmea::CheckedBody(row.sentence), row.body) << row.sentence;
}

TEST(NmeaReader, FieldsAndTheSignalIdOfGsv) {
    const struct {
        const char *body;
        int count;
        int signal;
    } rows[] = {
        {"GPGSV,3,1,12,05,06,110,19,10,24,284,34,13,37,124,29,15,63,083,11,1", 21, 1},
        {"GAGSV,1,1,02,07,10,100,40,08,20,200,41,7", 13, 7},
        {"GAGSV,1,1,02,07,10,100,40,08,20,200,41,b", 13, 11},
        {"GPGSV,3,3,09,09,90,090,48", 8, -1},        // NMEA 4.0: no signal field
        {"GPGSV,1,1,01,09,90,090,48,12", 9, -1},     // two digits: no signal ID
        {"GPGSV,1,1,01,09,90,090,48,G", 9, -1},      // no hex digit
        {"GPGSV,1,1,01,09,90,090,48,99,1", 10, -1},  // a pair left over
        {"GAGSV,1,1,00,7", 5, 7},                    // none in view, still a signal
        {"GPGSV,1,1,00", 4, -1},
    };
    for (const auto &row : rows) {
        const nmea::Fields fields = Split(row.body);
        EXPECT_EQ(fields.count, row.count) << row.body;
        EXPECT_EQ(nmea::GsvSignalId(fields), row.signal) << row.body;
    }
    EXPECT_EQ(Split(",,").count, 3);
    EXPECT_EQ(Split("").count, 1);
    nmea::Fields fields;
    EXPECT_FALSE(nmea::SplitFields(std::string(nmea::kMaxFields, ','), &fields));  // 33 fields
    EXPECT_TRUE(nmea::SplitFields(std::string(nmea::kMaxFields - 1, ','), &fields));
}

TEST(NmeaReader, DdmmToDegrees) {
    const struct {
        double ddmm;
        double degrees;
    } rows[] = {
        {4134.49795459, 41.574965909833},  // 41 + 34.49795459 / 60
        {17030.00668, 170.500111333333},   // 170 + 0.00668 / 60
        {-4552.65403, -45.877567166667},   // the sign carries through
        {59.99, 0.999833333333},           // under one degree
        {0, 0},
        {1e300, 1e298},  // too large to cut: whole degrees, nothing undefined
    };
    for (const auto &row : rows)
        EXPECT_NEAR(nmea::DdmmToDegrees(row.ddmm), row.degrees, 1e-9 * (1 + std::fabs(row.degrees))) << row.ddmm;
    EXPECT_TRUE(std::isnan(nmea::DdmmToDegrees(std::nan(""))));
    // And back, for the rows within the range of an angle.
    for (const auto &row : rows)
        if (std::fabs(row.degrees) <= 180) {
            EXPECT_NEAR(nmea::DegreesToDdmm(row.degrees), row.ddmm, 1e-7) << row.degrees;
        }
}
