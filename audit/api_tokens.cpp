#include "api_tokens.h"

namespace audit {

std::int64_t AddToken(Store &store, std::string_view hash, std::string_view user, std::string_view role) {
    Statement insert(store.Db(), "INSERT INTO tokens(hash, user, role, made, last_used) VALUES(?,?,?,?,0)");
    insert.Bind(1, hash).Bind(2, user).Bind(3, role).Bind(4, NowMs());
    return store.Ok() && insert.Step() == SQLITE_DONE ? sqlite3_last_insert_rowid(store.Db()) : 0;
}

std::optional<TokenRow> FindToken(Store &store, std::string_view hash) {
    if (!store.Ok()) return std::nullopt;
    Statement select(store.Db(), "SELECT id, user, role, made, last_used FROM tokens WHERE hash = ?");
    select.Bind(1, hash);
    if (select.Step() != SQLITE_ROW) return std::nullopt;
    return TokenRow{select.Int(0), select.Text(1), select.Text(2), select.Int(3), select.Int(4)};
}

std::optional<TokenRow> UseToken(Store &store, std::string_view hash, std::int64_t now_ms) {
    std::optional<TokenRow> found = FindToken(store, hash);
    if (!found) return std::nullopt;
    TokenRow &row = *found;
    if (now_ms - row.last_used_ms >= kTokenUseStepMs) {
        Statement used(store.Db(), "UPDATE tokens SET last_used = ? WHERE id = ?");
        used.Bind(1, now_ms).Bind(2, row.id);
        if (used.Step() == SQLITE_DONE) row.last_used_ms = now_ms;  // (a busy store keeps the token working)
    }
    return found;
}

std::vector<TokenRow> ListTokens(Store &store) {
    Statement select(store.Db(), "SELECT id, user, role, made, last_used FROM tokens ORDER BY id");
    std::vector<TokenRow> rows;
    while (select.Step() == SQLITE_ROW)
        rows.push_back({select.Int(0), select.Text(1), select.Text(2), select.Int(3), select.Int(4)});
    return rows;
}

bool DeleteToken(Store &store, std::int64_t id) {
    Statement remove(store.Db(), "DELETE FROM tokens WHERE id = ?");
    remove.Bind(1, id);
    return store.Ok() && remove.Step() == SQLITE_DONE && sqlite3_changes(store.Db()) == 1;
}

bool DeleteTokensOf(Store &store, std::string_view user) {
    Statement remove(store.Db(), "DELETE FROM tokens WHERE user = ?");
    remove.Bind(1, user);
    return store.Ok() && remove.Step() == SQLITE_DONE;
}

}  // namespace audit
