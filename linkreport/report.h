#pragma once

#include "channels.h"
#include "json_writer.h"

namespace linkreport {

// The "DataTrans" document: the nine data channels with their message lists, read from the
// configuration segment (which must be attached). A failed read is kept for the caller
// (cgi::ReadFailure), which then answers "Failed" instead.
void WriteDataTransReport(cgi::JsonWriter &reply);

// One channel object as the report shows it, from the channel's record and NTRIP server 1's
// (whose version the client shows).
void WriteChannelObject(cgi::JsonWriter &writer, const Channel &channel, const unsigned char *record,
                        const unsigned char *server1);

}  // namespace linkreport
