#pragma once

namespace rolekind {

inline constexpr unsigned kIdentifierBytes = 16;

// Copies an identifier into a 16-byte field: at most 15 bytes and a terminating zero, cut
// before a UTF-8 sequence rather than in its middle. The rest of the field is zeroed.
void CopyIdentifier(char (&field)[kIdentifierBytes], const char *text);

}  // namespace rolekind
