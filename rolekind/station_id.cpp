#include "station_id.h"

#include <cstring>

namespace rolekind {

void CopyIdentifier(char (&field)[kIdentifierBytes], const char *text) {
    std::memset(field, 0, sizeof field);
    std::size_t length = strnlen(text, kIdentifierBytes);
    if (length == kIdentifierBytes) {
        length = kIdentifierBytes - 1;
        // Back off over continuation bytes so that the cut falls on a character boundary.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    std::memcpy(field, text, length);
}

}  // namespace rolekind
