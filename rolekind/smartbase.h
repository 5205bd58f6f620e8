// The SmartBase list of the status report and the list edit: thirty stored base points (the
// start-up selection of the nearest one is in selection.h).
#pragma once

#include <json-c/json.h>

#include "selection.h"
#include "sharememory.h"

namespace rolekind {

// "Station1" to "Station30".
const char *SmartBaseKey(int position);

// The status report's object of one list position.
json_object *SmartBaseObject(int position);

// The record a list edit stores, built from the request's "Station" object (whose members
// the caller has checked).
SmartBaseInfo SmartBaseFromRequest(json_object *station);

}  // namespace rolekind
