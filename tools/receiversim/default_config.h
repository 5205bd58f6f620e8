#pragma once

#include "sharememory.h"

namespace receiversim {

// A realistic configuration that exercises the whole channel report.
ReceiverConfigPara DefaultConfiguration();

// Writes the entries of a configuration that the receiver keeps.
void WriteConfiguration(const ReceiverConfigPara &config);

// True when the configuration segment holds nothing yet (a freshly created segment).
bool ConfigurationIsEmpty();

}  // namespace receiversim
