#pragma once

namespace rolekind {

inline constexpr unsigned kIdentifierBytes = 16;

// Copies an identifier (printable ASCII, checked with its request) into a 16-byte field: at
// most 15 characters and a terminating zero. The rest of the field is zeroed.
void CopyIdentifier(char (&field)[kIdentifierBytes], const char *text);

}  // namespace rolekind
