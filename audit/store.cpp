#include "store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace audit {

namespace {

// Every table of the store, created on first use. Times are milliseconds since 1970, UTC.
constexpr const char *kSchema = R"sql(
CREATE TABLE IF NOT EXISTS log(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    at INTEGER NOT NULL,
    user TEXT NOT NULL,
    client TEXT NOT NULL,
    kind TEXT NOT NULL,
    session INTEGER NOT NULL,  -- 1 for logins, failures, lock-outs and logouts; 0 for changes
    changes TEXT NOT NULL,     -- a JSON array of {"Key", "Old", "New"}
    outcome TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS log_by_class ON log(session, id);
CREATE INDEX IF NOT EXISTS log_by_user ON log(user, id);
CREATE INDEX IF NOT EXISTS log_by_kind ON log(kind, id);
CREATE TABLE IF NOT EXISTS address_failures(
    address TEXT PRIMARY KEY,
    consecutive INTEGER NOT NULL,
    last_wait_ms INTEGER NOT NULL,
    wait_until INTEGER NOT NULL,
    last_failure INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS account_failures(user TEXT NOT NULL, at INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS account_failures_by_user ON account_failures(user, at);
CREATE INDEX IF NOT EXISTS account_failures_by_time ON account_failures(at);
CREATE TABLE IF NOT EXISTS tokens(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    hash TEXT NOT NULL UNIQUE,
    user TEXT NOT NULL,
    role TEXT NOT NULL,
    made INTEGER NOT NULL,
    last_used INTEGER NOT NULL);
)sql";

// Run as root (the console tool), a new database file would be root's own, and the web
// server's user could no longer write it: it belongs to the owner of its folder. (SQLite gives
// the -wal and -shm files it makes as root the database file's owner itself.)
void GiveToFolderOwner(const std::string &directory, const std::string &path) {
    if (geteuid() != 0) return;
    struct stat folder {};
    struct stat file {};
    if (stat(directory.c_str(), &folder) != 0 || stat(path.c_str(), &file) != 0) return;
    if (file.st_uid != folder.st_uid || file.st_gid != folder.st_gid)
        (void)!chown(path.c_str(), folder.st_uid, folder.st_gid);
}

}  // namespace

std::string StateDirectory() {
    const char *directory = std::getenv("GRSHM_STATE_DIR");
    return directory != nullptr && *directory != '\0' ? directory : "/var/lib/grshm";
}

std::string StorePath(const std::string &state_directory) {
    return state_directory + "/records.db";
}

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Statement::Statement(sqlite3 *db, const char *sql) {
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) statement_.reset(statement);
}

Statement &Statement::Bind(int index, std::int64_t value) {
    if (statement_) sqlite3_bind_int64(statement_.get(), index, value);
    return *this;
}

Statement &Statement::Bind(int index, std::string_view text) {
    if (statement_)
        sqlite3_bind_text(statement_.get(), index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

int Statement::Step() {
    return statement_ ? sqlite3_step(statement_.get()) : SQLITE_MISUSE;
}

std::int64_t Statement::Int(int column) const {
    return sqlite3_column_int64(statement_.get(), column);
}

std::string Statement::Text(int column) const {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement_.get(), column));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement_.get(), column)))
                           : std::string();
}

Store::Store(const std::string &state_directory) {
    const std::string path = StorePath(state_directory);
    sqlite3 *db = nullptr;
    // Only its owner may read or write the records (the folder is the web server user's).
    const mode_t mask = umask(077);
    const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    umask(mask);
    db_.reset(db);
    if (opened != SQLITE_OK) {
        Fail("cannot open " + path);
        return;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (!SetUp()) {
        db_.reset();
        return;
    }
    GiveToFolderOwner(state_directory, path);
}

// WAL: writers append while readers read; NORMAL: a commit survives a killed process (only a
// power cut may take the last commits back, never tear the database). While another process
// turns a new file to WAL, SQLite answers "locked" at once rather than through the busy
// handler (the lock it would wait for could deadlock), so the set-up is tried again here,
// within the same bound a writer waits.
bool Store::SetUp() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        if (Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON") && Exec(kSchema))
            return true;
        const int code = sqlite3_errcode(db_.get()) & 0xff;
        if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool Store::Exec(const char *sql) {
    char *message = nullptr;
    if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    const std::string what = message != nullptr ? message : sqlite3_errmsg(db_.get());
    sqlite3_free(message);
    return Fail(what);
}

bool Store::Fail(const std::string &what) {
    error_ = "the security records: " + what;
    return false;
}

}  // namespace audit
