// What the antenna and recorder groups need beyond their rows: the antenna types the receiver
// knows, the one antenna block written into all three places, and no start without space.
#pragma once

#include <string>
#include <vector>

#include "json_writer.h"
#include "receiver_settings.h"

namespace receiverstate {

// The types of ENTRY_ANT_TYPE as read (21-byte slots up to the first empty one); a slot that
// is not a type of 20 printable characters ends within its slot is left out, and counted.
struct AntennaTypeList {
    std::vector<std::string> types;
    int left_out = 0;
};
AntennaTypeList AntennaTypesOf(const unsigned char *list, std::size_t size);

// The list as the antenna group's read carries it: "AntennaTypes": ["...", ...].
void WriteAntennaTypes(cgi::JsonWriter &writer, const AntennaTypeList &list);

// Copies the antenna block into both recorders' records, as WriteReceiverRecConfAntenna does.
void MirrorAntenna(const unsigned char (&block)[kAntennaBlock], RecConfig &recorder1, RecConfig &recorder2);

// Why a start of the recorder cannot be asked for (its space is used up), or empty.
std::string StartRefusal(int recorder, const RecConfig &record);

}  // namespace receiverstate
