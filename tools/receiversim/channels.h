// The data channels as the receiver keeps them running: what a channel operation takes into
// use, and the sample timestamps of the messages the channels send.
#pragma once

#include <cstdio>

namespace receiversim {

// The name of a channel operation (ENTRY_SP1_OP, ENTRY_NS1_OP, ...), or null for another code.
const char *ChannelOperationName(unsigned char code);

// Carries out a channel operation: reads the channel's entry and logs the settings taken into
// use. False when the entry could not be read.
bool TakeChannelIntoUse(unsigned char code, FILE *log);

// Writes the time word of every message that a channel has on, through the library's
// timestamp calls, as the receiver does with each sample. The serial port has no such call.
void StampChannelMessages(unsigned int timestamp);

}  // namespace receiversim
