#pragma once

#include "json_writer.h"

namespace linkreport {

// The "DataTrans" document: the nine data channels with their message lists, read from the
// configuration segment (which must be attached). A failed read is kept for the caller
// (cgi::ReadFailure), which then answers "Failed" instead.
void WriteDataTransReport(cgi::JsonWriter &reply);

}  // namespace linkreport
