#pragma once

#include "cgi_frame.h"

namespace linkreport {

// The "DataTrans" document: the nine data channels with their message lists, read from the
// configuration segment (which must be attached).
cgi::JsonPtr BuildDataTransReport();

}  // namespace linkreport
