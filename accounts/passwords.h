// Passwords: stored only as yescrypt hashes made by the system's libcrypt (the hashes Debian's
// /etc/shadow holds), and checked for quality by libpwquality (what Debian's own password
// tools use) before they are taken.
#pragma once

#include <string>
#include <string_view>

namespace accounts {

// yescrypt's cost parameter for crypt_gensalt_rn: 4 takes 8 MiB and about 16 ms on this
// machine's x86-64 cores, several times that on an ARMv7 core (docs/security.md).
inline constexpr unsigned long kHashCost = 4;
inline constexpr std::size_t kMinPasswordCharacters = 10;
inline constexpr std::size_t kMaxPasswordBytes = 256;

// The number of characters of UTF-8 text, or -1 when it is not UTF-8 or holds a NUL.
long CountCharacters(std::string_view text);

// Why the password cannot be taken for this user (empty when it can): not UTF-8, too short
// in characters, too long, or refused by libpwquality (with its reason).
std::string PasswordProblem(std::string_view password, std::string_view user);

// A new yescrypt hash of the password with a fresh salt; empty when libcrypt failed.
std::string HashPassword(std::string_view password);

// Whether the password matches the stored hash. An empty hash (no such account) is checked
// against a hash of the same cost all the same, so that the time taken tells nothing.
bool PasswordMatches(std::string_view password, const std::string &hash);

}  // namespace accounts
