// The entries that setting rows describe (the settings program's groups): grshm shows their
// values as the rows show them and sets them through the rows' rules, the same as a page does.
#pragma once

#include <string>

#include "catalog.h"
#include "decode.h"

namespace grshmtool {

// Lines "  GROUP.KEY: VALUE UNIT (LABEL)" for each row of a configuration entry; empty when no
// row describes it.
std::string DescribedText(const Entry &entry, const Bytes &bytes);

// Whether one changeable row describes the entry: it is then set through that row.
bool SetsThroughRow(const Entry &entry);

// Stores text (read as the row's JSON value: 15, 2.5, true) into bytes, a copy of the entry,
// by the row's rule; false with the row's message in error when the rule refuses it.
bool SetThroughRow(const Entry &entry, const std::string &text, Bytes &bytes, std::string *error);

}  // namespace grshmtool
