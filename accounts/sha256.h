// SHA-256 (FIPS 180-4), for the names of session files: the receiver keeps only the hash of a
// session token, so that reading its session folder gives nobody a working cookie. Written here
// rather than loaded from a crypto library: every request checks its session, and loading and
// binding libcrypto at each program start would cost more than the whole check (docs/security.md).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace accounts {

std::array<std::uint8_t, 32> Sha256(std::string_view data);

// The hash as 64 lowercase hex digits.
std::string Sha256Hex(std::string_view data);

}  // namespace accounts
