#include "passwords.h"

#include <crypt.h>

#include <cstring>
#include <memory>

namespace accounts {
namespace {

// A salt made as HashPassword makes them, for names that have no account: hashing against it
// costs what checking a stored hash costs, whatever kHashCost is.
std::string StandInSetting() {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    // (Without random bytes for a salt: a fixed one of kHashCost 4.)
    if (crypt_gensalt_rn("$y$", kHashCost, nullptr, 0, salt, sizeof salt) == nullptr)
        return "$y$j8T$Mm6N5kWiT3txgeuG73xky/";
    return salt;
}

// crypt_r's work area is large (about 32 kB): on the heap, and wiped after use.
struct CryptArea {
    std::unique_ptr<crypt_data> data = std::make_unique<crypt_data>();
    ~CryptArea() { explicit_bzero(data.get(), sizeof *data); }
};

}  // namespace

std::string HashPassword(std::string_view password) {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    if (crypt_gensalt_rn("$y$", kHashCost, nullptr, 0, salt, sizeof salt) == nullptr) return {};
    const CryptArea area;
    const std::string text(password);
    const char *hash = crypt_r(text.c_str(), salt, area.data.get());
    if (hash == nullptr || hash[0] != '$') return {};
    return hash;
}

bool PasswordMatches(std::string_view password, const std::string &hash) {
    const bool known = !hash.empty();
    const CryptArea area;
    const std::string text(password);
    const std::string setting = known ? hash : StandInSetting();
    const char *computed = crypt_r(text.c_str(), setting.c_str(), area.data.get());
    if (!known || computed == nullptr || computed[0] != '$') return false;
    const std::size_t length = std::strlen(computed);
    // The whole hash, compared in time that does not depend on where it differs.
    if (length != hash.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < length; ++i) difference |= static_cast<unsigned char>(computed[i] ^ hash[i]);
    return difference == 0;
}

}  // namespace accounts
