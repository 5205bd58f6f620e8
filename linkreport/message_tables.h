// The report vocabulary: message name tables, the MSM levels and the stream type tables, as data.
#pragma once

#include <array>
#include <span>

#include "message_lists.h"

namespace linkreport {

using rows::MessageRow;
using rows::MessageTable;
using rows::ValueByte;

// A row of a name table: ID, name, the slot (or first and last slot) it reports.
#define MESSAGE_ROW_RANGE(id, name, first, last) \
    ::rows::MessageRow {                         \
        id, name, first, last                    \
    }
#define MESSAGE_ROW(id, name, index) MESSAGE_ROW_RANGE(id, name, index, index)

inline constexpr MessageRow kRawObservationRows[] = {
    MESSAGE_ROW(1, "RANGECMP", 0), MESSAGE_ROW(2, "GPSRAW", 1), MESSAGE_ROW(3, "BDSRAW", 2),
    MESSAGE_ROW(4, "GLORAW", 3),   MESSAGE_ROW(5, "GALRAW", 4),
};

// The serial port and UDP report the first eleven rows; the TCP channels all twelve.
inline constexpr MessageRow kNmeaRows[] = {
    MESSAGE_ROW(1, "GPGGA", 0),    MESSAGE_ROW(2, "GPZDA", 1),     MESSAGE_ROW(3, "GPRMC", 2),
    MESSAGE_ROW(4, "GPGLL", 3),    MESSAGE_ROW(5, "GPVTG", 4),     MESSAGE_ROW(6, "GPYBM", 5),
    MESSAGE_ROW(7, "GPHDT", 6),    MESSAGE_ROW(8, "GPTRA", 7),     MESSAGE_ROW(9, "PTNLPJK", 8),
    MESSAGE_ROW(10, "PTNLAVR", 9), MESSAGE_ROW(11, "HEADING", 10), MESSAGE_ROW(12, "GPGSA", 11),
};
inline constexpr std::size_t kShortNmeaItems = 11;

inline constexpr MessageRow kRtcm23Rows[] = {
    MESSAGE_ROW(1, "1B", 0),  MESSAGE_ROW(2, "3B", 1),           MESSAGE_ROW(3, "9B", 2),
    MESSAGE_ROW(4, "31B", 3), MESSAGE_ROW_RANGE(5, "59B", 4, 6), MESSAGE_ROW_RANGE(6, "42B", 7, 8),
    MESSAGE_ROW(7, "18B", 9), MESSAGE_ROW(8, "19B", 10),
};

inline constexpr MessageRow kRtcm30Rows[] = {
    MESSAGE_ROW(1, "1004B", 0), MESSAGE_ROW(2, "1005B", 1),  MESSAGE_ROW(3, "1006B", 2), MESSAGE_ROW(4, "1007B", 3),
    MESSAGE_ROW(5, "1012B", 4), MESSAGE_ROW(6, "1019B", 5),  MESSAGE_ROW(7, "1020B", 6), MESSAGE_ROW(8, "1033B", 7),
    MESSAGE_ROW(9, "1104B", 8), MESSAGE_ROW(10, "1230B", 9),
};

inline constexpr MessageRow kRtcm32ShortRows[] = {
    MESSAGE_ROW(1, "1005B", 0),   MESSAGE_ROW(2, "1006B", 1),   MESSAGE_ROW(3, "1019B", 2),
    MESSAGE_ROW(4, "1020B", 3),   MESSAGE_ROW(5, "1033B", 4),   MESSAGE_ROW(6, "1042B", 5),
    MESSAGE_ROW(7, "1045B", 6),   MESSAGE_ROW(8, "1046B", 7),   MESSAGE_ROW(9, "1074B", 8),
    MESSAGE_ROW(10, "1084B", 9),  MESSAGE_ROW(11, "1094B", 10), MESSAGE_ROW(12, "1124B", 11),
    MESSAGE_ROW(13, "1230B", 12),
};

// NTRIP server form, in list (position) order; its IDs are the slot index plus one.
inline constexpr MessageRow kRtcm32NtripRows[] = {
    MESSAGE_ROW(1, "1005B", 0),   MESSAGE_ROW(2, "1006B", 1),   MESSAGE_ROW(5, "1019B", 4),
    MESSAGE_ROW(6, "1020B", 5),   MESSAGE_ROW(3, "1033B", 2),   MESSAGE_ROW(7, "1042B", 6),
    MESSAGE_ROW(8, "1045B", 7),   MESSAGE_ROW(9, "1046B", 8),   MESSAGE_ROW(10, "1074B", 9),
    MESSAGE_ROW(11, "1084B", 10), MESSAGE_ROW(12, "1094B", 11), MESSAGE_ROW(13, "1124B", 12),
    MESSAGE_ROW(4, "1230B", 3),   MESSAGE_ROW(14, "1114B", 13), MESSAGE_ROW(15, "1075B", 14),
    MESSAGE_ROW(16, "1085B", 15), MESSAGE_ROW(17, "1095B", 16), MESSAGE_ROW(18, "1125B", 17),
    MESSAGE_ROW(19, "1115B", 18), MESSAGE_ROW(20, "1077B", 19), MESSAGE_ROW(21, "1087B", 20),
    MESSAGE_ROW(22, "1097B", 21), MESSAGE_ROW(23, "1127B", 22), MESSAGE_ROW(24, "1117B", 23),
    MESSAGE_ROW(25, "1073B", 24), MESSAGE_ROW(26, "1083B", 25), MESSAGE_ROW(27, "1093B", 26),
    MESSAGE_ROW(28, "1123B", 27), MESSAGE_ROW(29, "1113B", 28), MESSAGE_ROW(30, "1007B", 29),
    MESSAGE_ROW(31, "1008B", 30),
};

inline constexpr MessageRow kCmrRows[] = {MESSAGE_ROW(1, "OBSB", 0), MESSAGE_ROW(2, "REFB", 1)};

inline constexpr MessageRow kRadioCustomRows[] = {MESSAGE_ROW(1, "GPGGA", 0)};

inline constexpr MessageTable kRawObservation{ValueByte::Interval, kRawObservationRows};
inline constexpr MessageTable kNmeaTcp{ValueByte::Interval, kNmeaRows};
inline constexpr MessageTable kNmeaShort{ValueByte::Interval, std::span(kNmeaRows).first(kShortNmeaItems)};
inline constexpr MessageTable kRtcm23{ValueByte::Available, kRtcm23Rows};
inline constexpr MessageTable kRtcm30{ValueByte::Available, kRtcm30Rows};
inline constexpr MessageTable kRtcm32Short{ValueByte::Available, kRtcm32ShortRows};
inline constexpr MessageTable kRtcm32Ntrip{ValueByte::Interval, kRtcm32NtripRows};
inline constexpr MessageTable kCmr{ValueByte::Available, kCmrRows};
inline constexpr MessageTable kRadioCustom{ValueByte::Available, kRadioCustomRows};

// MSM level of an NTRIP server: the first RTCM 3.2 slot (NTRIP server form) whose available
// byte is set decides.
inline constexpr rows::SlotLevel kMsmLevels[] = {{9, 4}, {14, 5}, {19, 7}, {24, 3}};

// "DataStreamType" per channel kind, indexed by the stored stream type 0 to 11; any other
// stored value reports like 0.
using StreamTypeTable = std::array<unsigned char, 12>;
// clang-format off
//                                           stored type:  0  1  2  3  4  5  6  7  8  9 10 11
inline constexpr StreamTypeTable kSerialStreamTypes      =       {8, 2, 1, 3, 4, 5, 6, 8, 8, 7, 8, 8};
inline constexpr StreamTypeTable kNetworkStreamTypes     =       {8, 2, 1, 3, 4, 5, 6, 8, 8, 7, 8, 9};
inline constexpr StreamTypeTable kNtripServerStreamTypes =       {5, 5, 5, 3, 4, 5, 6, 5, 5, 5, 5, 5};
inline constexpr StreamTypeTable kRadioStreamTypes       =       {3, 3, 3, 3, 4, 5, 6, 7, 3, 3, 3, 3};
// clang-format on

}  // namespace linkreport
