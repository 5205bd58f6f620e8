// Satellites in view, read from the GSV sentences of one satellite system's slot.
//
// A slot is text that other processes wrote, and it is read as untrusted input: each
// sentence must carry a valid checksum within its 128 bytes; the group is the one that
// sentence 1 announces (its total count), and sentences of other counts (leftovers of an
// earlier epoch, or of another signal's group) are ignored. A group may announce more
// sentences than the slot's eight places hold (over 32 satellites of one system): the
// satellites of the sentences that are there are read. A sentence is read by its whole
// four-field satellite blocks; what is left after them (the signal ID of NMEA 4.10 and later,
// or a layout of some receiver's own) is no satellite. Each satellite is listed once;
// whatever does not parse is skipped.
#pragma once

#include <array>
#include <cstddef>

#include "sharememory.h"

namespace gnssreport {

inline constexpr int kAbsent = -1;

struct Satellite {
    int number = 0;
    int elevation = kAbsent;  // degrees, 0 to 90
    int azimuth = kAbsent;    // degrees, 0 to 359
    int snr = kAbsent;        // signal strength, dB-Hz, 0 to 99
};

// At most four satellites per sentence, eight sentences per group.
inline constexpr std::size_t kMaxSatellites = 4 * GNSS_GSV_SENTENCES;

struct SatellitesInView {
    std::array<Satellite, kMaxSatellites> list{};
    std::size_t count = 0;
};

SatellitesInView ReadGsvSlot(const GSVSlot &slot);

// SBAS satellites arrive in GPS sentences under the numbers 33 to 64: moves them from a GPS
// list into a list of their own, keeping the order of both.
SatellitesInView TakeSbas(SatellitesInView *gps);

}  // namespace gnssreport
