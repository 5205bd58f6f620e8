// Reading configuration records for a reply. Records are zero-filled as a whole, padding
// included, before every read, so that a reply never shows stale or uninitialised bytes.
#pragma once

#include <cstring>

#include "sharememory.h"

namespace cgi {

template <typename Record>
Record ZeroRecord() {
    Record record;
    std::memset(&record, 0, sizeof record);  // cppcheck-suppress memsetClassFloat ; all-zero bytes are 0.0
    return record;
}

template <typename Record>
Record ReadConfigEntry(unsigned char entry) {
    Record record = ZeroRecord<Record>();
    GetReceiverConfigParaFromShareMemory(entry, &record);
    return record;
}

}  // namespace cgi
