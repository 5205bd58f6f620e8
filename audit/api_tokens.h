// API tokens, for scripts and fleet tools that cannot click a login page: each is sent as
// "Authorization: Bearer TOKEN" and acts with a role of the account that made it. Only the
// token's hash is stored (the caller hashes it): reading the store gives nobody a working token.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store.h"

namespace audit {

struct TokenRow {
    std::int64_t id = 0;  // what `token list` shows and `token del` takes
    std::string user;
    std::string role;
    std::int64_t made_ms = 0;
    std::int64_t last_used_ms = 0;  // 0: never used
};

// A token's last use is written at most once in this many milliseconds (every request of a
// script would otherwise write).
inline constexpr std::int64_t kTokenUseStepMs = 60 * 1000;

// Stores a new token's hash; its id, or 0 when it could not be stored.
std::int64_t AddToken(Store &store, std::string_view hash, std::string_view user, std::string_view role);

// The token of this hash, as stored (its use not recorded); none when there is no such token.
std::optional<TokenRow> FindToken(Store &store, std::string_view hash);

// The token of this hash, its last use moved to now (at most once a kTokenUseStepMs); none when
// there is no such token (revoked, of another receiver, never made).
std::optional<TokenRow> UseToken(Store &store, std::string_view hash, std::int64_t now_ms);

std::vector<TokenRow> ListTokens(Store &store);

// Revokes one token at once; false when there was none of that id.
bool DeleteToken(Store &store, std::int64_t id);

// Revokes every token of an account (the account was removed).
bool DeleteTokensOf(Store &store, std::string_view user);

}  // namespace audit
