#include "recording.h"

#include <cstring>

namespace receiverstate {

AntennaTypeList AntennaTypesOf(const unsigned char *list, std::size_t size) {
    AntennaTypeList found;
    for (std::size_t at = 0; at + kAntennaTypeSlot <= size && list[at] != 0; at += kAntennaTypeSlot) {
        const char *slot = reinterpret_cast<const char *>(list + at);
        const std::size_t length = strnlen(slot, kAntennaTypeSlot);
        bool printable = length == kAntennaTypeSlot - 1;
        for (std::size_t i = 0; printable && i < length; ++i) printable = slot[i] >= 0x20 && slot[i] <= 0x7E;
        if (printable)
            found.types.emplace_back(slot, length);
        else
            ++found.left_out;
    }
    return found;
}

void WriteAntennaTypes(cgi::JsonWriter &writer, const AntennaTypeList &list) {
    writer.Key(kAntennaTypesKey);
    writer.BeginArray();
    for (const std::string &type : list.types) writer.String(type);
    writer.EndArray();
}

void MirrorAntenna(const unsigned char (&block)[kAntennaBlock], RecConfig &recorder1, RecConfig &recorder2) {
    std::memcpy(recorder1.Antenna, block, kAntennaBlock);
    std::memcpy(recorder2.Antenna, block, kAntennaBlock);
}

std::string StartRefusal(int recorder, const RecConfig &record) {
    if (record.FreeSpace != 0) return {};
    return "Recording cannot start: recorder " + std::to_string(recorder) +
           " has no space left (its FreeSpace is 0 MB); format the storage or raise its MaxSpace";
}

}  // namespace receiverstate
