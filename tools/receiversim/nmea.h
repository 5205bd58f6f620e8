// A small NMEA 0183 reader for replaying recorded receiver output: GGA sentences decoded
// into GGAInfo, GSV sentences routed to their satellite-system slot.
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

// Decodes a GGA sentence with a valid checksum. Empty fields decode as zero; a fix quality
// of 0 gives fix_status 0 (no position).
std::optional<GGAInfo> ParseGga(std::string_view sentence);

// The GSV input record for a GSV sentence with a valid checksum: GP, BD (or GB), GL and GA
// talkers go to slots 0 to 3, any other talker to slot 4.
std::optional<GSVInput> ParseGsv(std::string_view sentence);

// The signal field of an NMEA 4.10 (or later) GSV sentence, or empty for older sentences.
std::string GsvSignal(std::string_view sentence);

// A receiver that tracks several signals sends one GSV group per signal and system. Keeps, per
// system, the sentences of the first signal group among these, as a receiver daemon that
// reports one signal strength per satellite does.
std::vector<GSVInput> FirstSignalOnly(const std::vector<GSVInput> &sentences);

// A GGA sentence, with its checksum, for a decoded record.
std::string FormatGga(const GGAInfo &gga);

}  // namespace receiversim
