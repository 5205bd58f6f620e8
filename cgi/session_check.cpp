#include <strings.h>

#include <algorithm>
#include <cstdlib>

#include "api_tokens.h"
#include "cgi_frame.h"
#include "sha256.h"

namespace cgi {

namespace {

[[noreturn]] void RefuseUnknown(const char *error = "log in first") {
    PrintFailure(401, "Unauthorized", error);
    std::exit(0);
}

// The caller of "Authorization: Bearer TOKEN": the token's account, with the lesser of the
// token's role and the account's role now (a role lowered since it was made lowers it too). Any
// token that does not work is refused as a missing session is, telling a guesser nothing.
Caller TokenCaller(std::string_view authorization) {
    constexpr std::string_view kScheme = "Bearer ";
    if (authorization.size() <= kScheme.size() ||
        strncasecmp(authorization.data(), kScheme.data(), kScheme.size()) != 0)
        RefuseUnknown();
    const std::string_view token = authorization.substr(kScheme.size());
    if (!accounts::LooksLikeApiToken(token)) RefuseUnknown();
    audit::Store store(accounts::StateDir());
    const std::optional<audit::TokenRow> row = audit::UseToken(store, accounts::Sha256Hex(token), audit::NowMs());
    if (!row) RefuseUnknown();
    const std::optional<accounts::Account> account = accounts::ReadAccount(accounts::StateDir(), row->user);
    const std::optional<Role> role = accounts::ParseRole(row->role);
    if (!account || !role) RefuseUnknown();
    return {true, row->user, std::min(*role, account->role)};
}

}  // namespace

Caller SessionCaller() {
    // A request of a script carries its token instead of a cookie; when it carries both, only
    // the token counts.
    if (const char *authorization = std::getenv("HTTP_AUTHORIZATION"); authorization != nullptr)
        return TokenCaller(authorization);
    const accounts::SessionCheck session =
        accounts::CheckSession(accounts::StateDir(), SessionToken(), accounts::SessionTimesFromEnvironment(),
                               // A page's own refresh does not keep its session alive.
                               std::getenv("HTTP_X_GRSHM_REFRESH") == nullptr);
    if (session.state != accounts::SessionCheck::Valid)
        RefuseUnknown(session.state == accounts::SessionCheck::Expired ? "the session has ended: log in again"
                                                                       : "log in first");
    return {true, session.user, session.role};
}

}  // namespace cgi
