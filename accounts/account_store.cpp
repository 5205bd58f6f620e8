#include "account_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "sha256.h"

#ifndef GRSHM_DEFAULT_STATE_DIR
#define GRSHM_DEFAULT_STATE_DIR "/var/lib/grshm"
#endif

namespace accounts {
namespace {

constexpr std::size_t kMaxFile = 4096;  // an account or a session file is far smaller

struct Fd {
    int fd = -1;
    explicit Fd(int value) : fd(value) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

std::string AccountsDir(const std::string &dir) {
    return dir + "/accounts";
}
std::string SessionsDir(const std::string &dir) {
    return dir + "/sessions";
}
std::string SessionPath(const std::string &dir, std::string_view token) {
    return SessionsDir(dir) + "/" + Sha256Hex(token);
}

std::optional<std::string> ReadOpenFile(int fd) {
    char buffer[kMaxFile];
    std::size_t used = 0;
    for (;;) {
        const ssize_t got = read(fd, buffer + used, sizeof buffer - used);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
        if (used == sizeof buffer) return std::nullopt;
    }
    return std::string(buffer, used);
}

// The value of the line "key value" in a file's text.
std::optional<std::string_view> Field(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ' ')
            return line.substr(key.size() + 1);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return std::nullopt;
}

template <typename Number>
std::optional<Number> NumberField(std::string_view text, std::string_view key) {
    const auto value = Field(text, key);
    if (!value) return std::nullopt;
    Number number{};
    const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), number);
    if (error != std::errc{} || end != value->data() + value->size()) return std::nullopt;
    return number;
}

// Root (the console tool) writes files that the web server's user, the folder's owner, reads.
void GiveToFolderOwner(int fd, const std::string &folder) {
    struct stat owner {};
    if (geteuid() != 0 || stat(folder.c_str(), &owner) != 0 || owner.st_uid == 0) return;
    if (fchown(fd, owner.st_uid, owner.st_gid) != 0) {
        // The file stays root's: the server then cannot read it, which the next check reports.
    }
}

// A folder of the state folder, given like its files to the state folder's owner.
bool MakeFolder(const std::string &path, const std::string &parent) {
    if (mkdir(path.c_str(), 0700) != 0) return errno == EEXIST;
    const Fd folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd >= 0) GiveToFolderOwner(folder.fd, parent);
    return true;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The whole file under a temporary name in the same folder, synced, then renamed over the old.
bool WriteByRename(const std::string &folder, const std::string &name, std::string_view text) {
    std::string temporary = folder + "/.new-XXXXXX";
    const Fd file(mkstemp(temporary.data()));
    if (file.fd < 0) return false;
    GiveToFolderOwner(file.fd, folder);
    if (!WriteAll(file.fd, text) || fsync(file.fd) != 0 ||
        rename(temporary.c_str(), (folder + "/" + name).c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    const Fd folder_fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder_fd.fd >= 0 && fsync(folder_fd.fd) == 0;
}

std::optional<Account> ParseAccount(std::string_view name, std::string_view text) {
    const auto role = Field(text, "role");
    const auto hash = Field(text, "hash");
    const auto generation = NumberField<unsigned long long>(text, "generation");
    if (!role || !hash || !generation) return std::nullopt;
    const auto parsed_role = ParseRole(*role);
    if (!parsed_role) return std::nullopt;
    return Account{std::string(name), *parsed_role, std::string(*hash), *generation};
}

struct StoredSession {
    std::string user;
    unsigned long long generation = 0;
    long long created = 0;
};

std::optional<StoredSession> ParseSession(std::string_view text) {
    const auto user = Field(text, "user");
    const auto generation = NumberField<unsigned long long>(text, "generation");
    const auto created = NumberField<long long>(text, "created");
    if (!user || !generation || !created) return std::nullopt;
    return StoredSession{std::string(*user), *generation, *created};
}

// Whether a session as stored still holds at `now`, its last activity at `active`.
bool SessionHolds(const std::string &dir, const StoredSession &session, long long active, long long now,
                  const SessionTimes &times, Account *account) {
    // A clock set back (a board that takes its time from the satellites) ends the session too.
    if (now < session.created || now - session.created >= times.lifetime || now - active >= times.idle) return false;
    auto stored = ReadAccount(dir, session.user);
    if (!stored || stored->generation != session.generation) return false;
    *account = std::move(*stored);
    return true;
}

long long Now() {
    return static_cast<long long>(std::time(nullptr));
}

long ReadSeconds(const char *variable, long fallback) {
    const char *text = std::getenv(variable);
    if (text == nullptr) return fallback;
    long value = 0;
    const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
    return error == std::errc{} && *end == '\0' && value > 0 ? value : fallback;
}

}  // namespace

const char *RoleName(Role role) {
    switch (role) {
        case Role::Viewer:
            return "viewer";
        case Role::Operator:
            return "operator";
        case Role::Admin:
            return "admin";
    }
    return "viewer";
}

std::optional<Role> ParseRole(std::string_view name) {
    for (const Role role : {Role::Viewer, Role::Operator, Role::Admin})
        if (name == RoleName(role)) return role;
    return std::nullopt;
}

std::string StateDir() {
    const char *dir = std::getenv("GRSHM_STATE_DIR");
    return dir != nullptr && *dir != '\0' ? dir : GRSHM_DEFAULT_STATE_DIR;
}

bool ValidUserName(std::string_view name) {
    if (name.empty() || name.size() > 32) return false;
    for (const char c : name) {
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!alphanumeric && (&c == name.data() || std::strchr("._-", c) == nullptr)) return false;
    }
    return true;
}

std::optional<Account> ReadAccount(const std::string &dir, std::string_view name) {
    if (!ValidUserName(name)) return std::nullopt;
    const Fd file(open((AccountsDir(dir) + "/" + std::string(name)).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (file.fd < 0) return std::nullopt;
    const auto text = ReadOpenFile(file.fd);
    if (!text) return std::nullopt;
    return ParseAccount(name, *text);
}

std::optional<std::vector<Account>> ListAccounts(const std::string &dir) {
    std::vector<Account> found;
    DIR *folder = opendir(AccountsDir(dir).c_str());
    if (folder == nullptr) return errno == ENOENT ? std::optional(found) : std::nullopt;
    bool read_whole = false;  // a folder read cut short is no list
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(folder);
        if (entry == nullptr) {
            read_whole = errno == 0;
            break;
        }
        if (auto account = ReadAccount(dir, entry->d_name)) found.push_back(std::move(*account));
    }
    closedir(folder);
    if (!read_whole) return std::nullopt;
    std::sort(found.begin(), found.end(), [](const Account &a, const Account &b) { return a.name < b.name; });
    return found;
}

bool WriteAccount(const std::string &dir, const Account &account) {
    if (!ValidUserName(account.name) || account.hash.find('\n') != std::string::npos) return false;
    if ((mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) || !MakeFolder(AccountsDir(dir), dir) ||
        !MakeFolder(SessionsDir(dir), dir))
        return false;
    const std::string text = std::string("role ") + RoleName(account.role) + "\nhash " + account.hash +
                             "\ngeneration " + std::to_string(account.generation) + "\n";
    return WriteByRename(AccountsDir(dir), account.name, text);
}

bool DeleteAccount(const std::string &dir, std::string_view name) {
    if (!ValidUserName(name)) return false;
    return unlink((AccountsDir(dir) + "/" + std::string(name)).c_str()) == 0;
}

SessionTimes SessionTimesFromEnvironment() {
    const SessionTimes fallback;
    return {ReadSeconds("GRSHM_SESSION_IDLE", fallback.idle), ReadSeconds("GRSHM_SESSION_LIFETIME", fallback.lifetime)};
}

std::string NewToken() {
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t part = getrandom(bytes + got, sizeof bytes - got, 0);
        if (part < 0 && errno == EINTR) continue;
        if (part <= 0) return {};
        got += static_cast<std::size_t>(part);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char byte : bytes) {
        token += kHex[byte >> 4];
        token += kHex[byte & 15];
    }
    return token;
}

bool LooksLikeToken(std::string_view text) {
    return text.size() == 32 &&
           std::ranges::all_of(text, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string NewApiToken() {
    const std::string random = NewToken();
    return random.empty() ? random : std::string(kApiTokenPrefix) + random;
}

bool LooksLikeApiToken(std::string_view text) {
    return text.starts_with(kApiTokenPrefix) && LooksLikeToken(text.substr(kApiTokenPrefix.size()));
}

bool CreateSession(const std::string &dir, std::string_view token, const Account &account) {
    if (!LooksLikeToken(token) || !MakeFolder(SessionsDir(dir), dir)) return false;
    const std::string text = "user " + account.name + "\ngeneration " + std::to_string(account.generation) +
                             "\ncreated " + std::to_string(Now()) + "\n";
    return WriteByRename(SessionsDir(dir), Sha256Hex(token), text);
}

SessionCheck CheckSession(const std::string &dir, std::string_view token, const SessionTimes &times, bool activity) {
    SessionCheck check;
    if (!LooksLikeToken(token)) return check;
    const std::string path = SessionPath(dir, token);
    const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (file.fd < 0) return check;
    struct stat status {};
    const auto text = fstat(file.fd, &status) == 0 ? ReadOpenFile(file.fd) : std::nullopt;
    const auto session = text ? ParseSession(*text) : std::nullopt;
    const long long now = Now();
    Account account;
    if (!session || !SessionHolds(dir, *session, status.st_mtim.tv_sec, now, times, &account)) {
        unlink(path.c_str());
        check.state = SessionCheck::Expired;
        return check;
    }
    // The activity time is the file's own: moved forward without rewriting the file.
    if (activity && now - status.st_mtim.tv_sec >= kActivityStep) futimens(file.fd, nullptr);
    check.state = SessionCheck::Valid;
    check.user = std::move(account.name);
    check.role = account.role;
    return check;
}

void EndSession(const std::string &dir, std::string_view token) {
    if (LooksLikeToken(token)) unlink(SessionPath(dir, token).c_str());
}

void SweepSessions(const std::string &dir, const SessionTimes &times) {
    const std::string folder = SessionsDir(dir);
    DIR *sessions = opendir(folder.c_str());
    if (sessions == nullptr) return;
    const long long now = Now();
    while (const dirent *entry = readdir(sessions)) {
        const std::string path = folder + "/" + entry->d_name;
        if (entry->d_name[0] == '.') {
            // What a writer killed before its rename left behind.
            struct stat left {};
            if (std::strncmp(entry->d_name, ".new-", 5) == 0 && lstat(path.c_str(), &left) == 0 &&
                now - left.st_mtim.tv_sec > kActivityStep)
                unlink(path.c_str());
            continue;
        }
        const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        struct stat status {};
        if (file.fd < 0 || fstat(file.fd, &status) != 0) continue;
        const auto text = ReadOpenFile(file.fd);
        const auto session = text ? ParseSession(*text) : std::nullopt;
        Account account;
        if (!session || !SessionHolds(dir, *session, status.st_mtim.tv_sec, now, times, &account)) unlink(path.c_str());
    }
    closedir(sessions);
}

}  // namespace accounts
