// The receiver's security records: the change log, the lock-out counters and the API tokens,
// in one SQLite database per receiver. SQLite in WAL mode lets the many short processes of the
// web server append at once, each change in one transaction: a process killed at any point
// loses at most its own unfinished change, and a reader never sees half of one.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace audit {

// The folder of this receiver's records: $GRSHM_STATE_DIR when set (each instance its own),
// else /var/lib/grshm, which formatting the receiver's storage does not touch.
std::string StateDirectory();

// The database file in a state folder.
std::string StorePath(const std::string &state_directory);

// Milliseconds since 1970 (UTC), the time every record carries.
std::int64_t NowMs();

struct SqliteCloser {
    void operator()(sqlite3 *db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};

// One prepared statement, bound by position (from 1) and stepped.
class Statement {
 public:
    Statement(sqlite3 *db, const char *sql);
    bool Ok() const { return statement_ != nullptr; }
    Statement &Bind(int index, std::int64_t value);
    Statement &Bind(int index, std::string_view text);
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step();
    std::int64_t Int(int column) const;
    std::string Text(int column) const;

 private:
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> statement_;
};

class Store {
 public:
    // Opens (and on first use creates) the database of a state folder, which must exist.
    // Check Ok(); Error() says what failed.
    explicit Store(const std::string &state_directory = StateDirectory());

    bool Ok() const { return db_ != nullptr; }
    const std::string &Error() const { return error_; }
    sqlite3 *Db() const { return db_.get(); }

    // Runs statements that return no rows; false (and Error()) on failure.
    bool Exec(const char *sql);

    // A write transaction, taken at once (BEGIN IMMEDIATE: no deadlock between two readers that
    // both want to write), committed by Commit and rolled back otherwise.
    class Transaction {
     public:
        explicit Transaction(Store &store) : store_(store), open_(store.Exec("BEGIN IMMEDIATE")) {}
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        ~Transaction() {
            if (open_) store_.Exec("ROLLBACK");
        }
        bool Open() const { return open_; }
        bool Commit() {
            open_ = !store_.Exec("COMMIT");
            return !open_;
        }

     private:
        Store &store_;
        bool open_;
    };

 private:
    bool SetUp();
    bool Fail(const std::string &what);
    std::unique_ptr<sqlite3, SqliteCloser> db_;
    std::string error_;
};

// How long a writer waits for another to finish before it gives up: far longer than any of
// our transactions takes, short enough that a request never hangs (the bound a change already
// waits for the receiver). 5 s was too short for 20 writers on a slow, loaded ARM core.
inline constexpr int kBusyTimeoutMs = 10000;

}  // namespace audit
