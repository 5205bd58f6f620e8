// The revision hash of UpdateReceiverConfigParaIfRevision, for the library and for readers
// that hash the bytes they show from their own copy.
#pragma once

#include <cstddef>

#include "sharememory.h"

namespace grshm {

inline unsigned long long HashBytes(unsigned long long hash, const void *bytes, std::size_t length) {
    const auto *byte = static_cast<const unsigned char *>(bytes);
    for (std::size_t i = 0; i < length; ++i) hash = (hash ^ byte[i]) * GRSHM_REVISION_PRIME;
    return hash;
}

}  // namespace grshm
