// The tracking settings as the receiver takes them into use: the elevation mask, the PDOP
// limit and the satellite systems (docs/receiver.md, "Tracking").
#pragma once

#include <cstdio>

#include "sharememory.h"

namespace receiversim {

// The name of a tracking operation (ENTRY_MANGLE_OP, ENTRY_GPSE_OP to ENTRY_SBAS_OP, and
// ENTRY_CONFIG_OP for the PDOP limit), or null for another code.
const char *TrackingOperationName(unsigned char code);

// Carries out a tracking operation: reads its entry and logs the setting taken into use.
// OP_FAILED when the entry cannot be read or holds a value outside its form (nothing is
// taken into use then).
OPERATE_STATE TakeTrackingIntoUse(unsigned char code, FILE *log);

// The stand-in's defaults: 10 degrees, PDOP 6.0, every system on, SBAS on and automatic.
void SetDefaultTracking(ReceiverConfigPara &config);
void WriteTracking(const ReceiverConfigPara &config);

}  // namespace receiversim
