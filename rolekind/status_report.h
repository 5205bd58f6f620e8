// The status report: the work mode and switches, the configured base station and the thirty
// SmartBase list positions, in one reply document.
#pragma once

#include "json_writer.h"
#include "sharememory.h"

namespace rolekind {

// The stored settings every request reads at its start.
struct StoredSwitches {
    unsigned char work_mode;
    unsigned char pps_enable;
    unsigned char event_enable;
};

// Reads what the report shows, then writes it as the whole reply. A failed read is kept for
// the caller (cgi::ReadFailure), which then answers "Failed" instead.
void WriteStatusReport(cgi::JsonWriter &reply, const StoredSwitches &switches);

// "Station1" to "Station30".
const char *SmartBaseKey(int position);

// One list position's object, as the report prints it.
void WriteSmartBase(cgi::JsonWriter &writer, const SmartBaseInfo &station);

}  // namespace rolekind
