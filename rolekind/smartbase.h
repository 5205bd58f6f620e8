// The SmartBase list edit: thirty stored base points (the status report shows them, the
// start-up selection of the nearest one is in selection.h).
#pragma once

#include "request.h"
#include "selection.h"
#include "sharememory.h"

namespace rolekind {

// The record a list edit stores, built from the checked members of the request's "Station".
SmartBaseInfo SmartBaseFromRequest(const CheckedRequest &request);

}  // namespace rolekind
