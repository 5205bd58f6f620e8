// The SmartBase list edit: thirty stored base points (the status report shows them, the
// start-up selection of the nearest one is in selection.h).
#pragma once

#include <json-c/json.h>

#include "selection.h"
#include "sharememory.h"

namespace rolekind {

// The record a list edit stores, built from the request's "Station" object (whose members
// the caller has checked).
SmartBaseInfo SmartBaseFromRequest(json_object *station);

}  // namespace rolekind
