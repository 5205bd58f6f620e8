#include "station_id.h"

#include <cstring>

namespace rolekind {

void CopyIdentifier(char (&field)[kIdentifierBytes], const char *text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text, strnlen(text, kIdentifierBytes - 1));
}

}  // namespace rolekind
