// The stand-in's reading of recorded receiver output: GGA sentences decoded into GGAInfo, GSV
// sentences routed to their satellite-system slot, and the GSV groups of an epoch that a
// receiver daemon would store. Checksums and fields are read with nmea_reader.h, as
// gnssreport reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sharememory.h"

namespace receiversim {

// True when the sentence has the form $...*HH and HH is the XOR of the characters between.
bool NmeaChecksumOk(std::string_view sentence);

// The sentence type without its talker ("GGA" for "$GNGGA,..."), or empty.
std::string_view NmeaType(std::string_view sentence);

// Decodes a GGA sentence with a valid checksum. Empty fields decode as zero, and a height
// whose value is empty gets an empty unit letter; a fix quality of 0 gives fix_status 0 (no
// position).
std::optional<GGAInfo> ParseGga(std::string_view sentence);

// The GSV input record for a GSV sentence with a valid checksum: GP, BD (or GB), GL and GA
// talkers go to slots 0 to 3, any other talker to slot 4.
std::optional<GSVInput> ParseGsv(std::string_view sentence);

// A receiver that tracks several signals sends one GSV group per signal and system (NMEA
// 4.11). Keeps, per system, one group of the epoch's sentences, as a daemon that reports one
// signal strength per satellite does: the primary signal's group where the signal IDs say
// which (GPS L1 C/A 1, GLONASS L1 1, Galileo E1 7, BeiDou B1I 1), else the first. A group's
// trailing field counts as its signal ID only when every sentence of the group ends in the
// same single hex digit.
std::vector<GSVInput> PrimarySignalOnly(const std::vector<GSVInput> &sentences);

// A GGA sentence, with its checksum, for a decoded record.
std::string FormatGga(const GGAInfo &gga);

}  // namespace receiversim
