// Who the receiver is: the identity entries and the list of antenna types it knows, written
// at every start as a receiver writes them from its own hardware (docs/receiver.md).
#pragma once

#include <cstddef>
#include <string_view>

namespace receiversim {

// The antenna types of the stand-in's calibration table, in the form of the antenna block's
// type (20 characters: antenna name in 16, radome in 4).
std::size_t AntennaTypeCount();
std::string_view AntennaType(std::size_t index);

// Writes the identity entries of the configuration segment, ENTRY_GNSS_VERS and the
// ENTRY_ANT_TYPE list of the monitor segment.
void WriteIdentity();

}  // namespace receiversim
