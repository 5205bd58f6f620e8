// grshm-user: the web interface's accounts, from the receiver's console.
//   grshm-user [--dir DIR] add NAME --role viewer|operator|admin   (the password on standard input)
//   grshm-user [--dir DIR] passwd NAME                              (the new password on standard input)
//   grshm-user [--dir DIR] role NAME viewer|operator|admin
//   grshm-user [--dir DIR] del NAME
//   grshm-user [--dir DIR] list
//   grshm-user [--dir DIR] unlock NAME                              (clears its failed logins)
//   grshm-user [--dir DIR] token add NAME [--role ROLE]             (prints the new token once)
//   grshm-user [--dir DIR] token list
//   grshm-user [--dir DIR] token del ID
//   grshm-user [--dir DIR] token check                              (the token on standard input)
// DIR is the instance's state folder (GRSHM_STATE_DIR, else the installed one). A password change,
// a role change or a removal ends the account's sessions at once; a removal revokes its tokens.
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "account_store.h"
#include "api_tokens.h"
#include "change_log.h"
#include "login_guard.h"
#include "passwords.h"
#include "sha256.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Usage() {
    std::cerr << "usage: grshm-user [--dir DIR] add NAME --role viewer|operator|admin\n"
                 "       grshm-user [--dir DIR] passwd NAME\n"
                 "       grshm-user [--dir DIR] role NAME viewer|operator|admin\n"
                 "       grshm-user [--dir DIR] del NAME\n"
                 "       grshm-user [--dir DIR] list\n"
                 "       grshm-user [--dir DIR] unlock NAME\n"
                 "       grshm-user [--dir DIR] token add NAME [--role viewer|operator|admin]\n"
                 "       grshm-user [--dir DIR] token list\n"
                 "       grshm-user [--dir DIR] token del ID\n"
                 "       grshm-user [--dir DIR] token check\n"
                 "The password is read from standard input (asked twice on a terminal). A token acts\n"
                 "with its role, at most the account's (its own by default); token check reads a\n"
                 "token from standard input and succeeds while it works.\n";
    return kUsage;
}

std::optional<std::string> ReadLine(const char *prompt) {
    const bool terminal = isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::cerr << prompt << std::flush;
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << "\n";
    }
    if (!got && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The new password, checked; empty when there is none fit to take (said why).
std::string NewPassword(const std::string &user) {
    const auto password = ReadLine("New password: ");
    if (!password) {
        std::cerr << "grshm-user: no password on standard input\n";
        return {};
    }
    if (isatty(STDIN_FILENO) != 0 && ReadLine("Again: ") != password) {
        std::cerr << "grshm-user: the two passwords differ\n";
        return {};
    }
    if (const std::string problem = accounts::PasswordProblem(*password, user); !problem.empty()) {
        std::cerr << "grshm-user: " << problem << "\n";
        return {};
    }
    return *password;
}

int Store(const std::string &dir, const accounts::Account &account) {
    if (!accounts::WriteAccount(dir, account)) {
        std::cerr << "grshm-user: could not write the account into " << dir << ": " << std::strerror(errno) << "\n";
        return kFailed;
    }
    accounts::SweepSessions(dir, accounts::SessionTimesFromEnvironment());
    return 0;
}

int SetPassword(const std::string &dir, accounts::Account account) {
    const std::string password = NewPassword(account.name);
    if (password.empty()) return kUsage;
    account.hash = accounts::HashPassword(password);
    if (account.hash.empty()) {
        std::cerr << "grshm-user: the C library's crypt could not hash the password\n";
        return kFailed;
    }
    ++account.generation;
    return Store(dir, account);
}

std::optional<accounts::Account> Existing(const std::string &dir, const std::string &name) {
    auto account = accounts::ReadAccount(dir, name);
    if (!account) std::cerr << "grshm-user: there is no account " << name << "\n";
    return account;
}

std::optional<accounts::Role> RoleArgument(const std::string &text) {
    const auto role = accounts::ParseRole(text);
    if (!role) std::cerr << "grshm-user: the role must be viewer, operator or admin\n";
    return role;
}

// The security records of the state folder, or none (said why).
std::optional<audit::Store> OpenRecords(const std::string &dir) {
    std::optional<audit::Store> store(std::in_place, dir);
    if (store->Ok()) return store;
    std::cerr << "grshm-user: could not open the security records in " << dir << ": " << store->Error() << "\n";
    return std::nullopt;
}

int AddToken(const std::string &dir, const std::string &name, const std::vector<std::string> &options) {
    const auto account = Existing(dir, name);
    if (!account) return kFailed;
    accounts::Role role = account->role;
    if (options.size() == 2 && options[0] == "--role") {
        const auto asked = RoleArgument(options[1]);
        if (!asked) return kUsage;
        role = *asked;
    } else if (!options.empty()) {
        return Usage();
    }
    if (role > account->role) {
        std::cerr << "grshm-user: a token of " << name << " may have at most the role " << RoleName(account->role)
                  << "\n";
        return kUsage;
    }
    auto store = OpenRecords(dir);
    if (!store) return kFailed;
    const std::string token = accounts::NewApiToken();
    if (token.empty()) {
        std::cerr << "grshm-user: the system gave no random bytes for a token\n";
        return kFailed;
    }
    const std::int64_t id = audit::AddToken(*store, accounts::Sha256Hex(token), name, RoleName(role));
    if (id == 0) {
        std::cerr << "grshm-user: could not store the token: " << store->Error() << "\n";
        return kFailed;
    }
    std::cerr << "token " << id << " of " << name << " (" << RoleName(role)
              << "); it is shown only now, the receiver keeps only its hash:\n";
    std::cout << token << "\n";
    return 0;
}

// A token that works: of an account that still exists (the role is checked at each use).
int CheckToken(const std::string &dir) {
    std::string token;
    if (!std::getline(std::cin, token) || !accounts::LooksLikeApiToken(token)) return kFailed;
    auto store = OpenRecords(dir);
    if (!store) return kFailed;
    const auto row = audit::FindToken(*store, accounts::Sha256Hex(token));
    return row && accounts::ReadAccount(dir, row->user) ? 0 : kFailed;
}

std::string UsedText(std::int64_t at_ms) {
    return at_ms == 0 ? "never" : audit::UtcText(at_ms);
}

int Tokens(const std::string &dir, const std::vector<std::string> &args) {
    const std::string command = args.size() >= 2 ? args[1] : "";
    if (command == "add" && args.size() >= 3) {
        if (!accounts::ValidUserName(args[2])) return Usage();
        return AddToken(dir, args[2], {args.begin() + 3, args.end()});
    }
    if (command == "check" && args.size() == 2) return CheckToken(dir);
    auto store = OpenRecords(dir);
    if (!store) return kFailed;
    if (command == "list" && args.size() == 2) {
        std::cout << "ID USER ROLE MADE LAST-USED\n";
        for (const audit::TokenRow &row : audit::ListTokens(*store))
            std::cout << row.id << " " << row.user << " " << row.role << " " << audit::UtcText(row.made_ms) << " "
                      << UsedText(row.last_used_ms) << "\n";
        return 0;
    }
    if (command == "del" && args.size() == 3) {
        std::int64_t id = 0;
        const std::string &text = args[2];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
        if (error != std::errc() || end != text.data() + text.size() || !audit::DeleteToken(*store, id)) {
            std::cerr << "grshm-user: there is no token " << text << " (token list shows them)\n";
            return kFailed;
        }
        return 0;
    }
    return Usage();
}

int Run(const std::string &dir, const std::vector<std::string> &args) {
    if (args.empty()) return Usage();
    const std::string &command = args[0];
    if (command == "token") return Tokens(dir, args);
    if (command == "list" && args.size() == 1) {
        const auto listed = accounts::ListAccounts(dir);
        if (!listed) {
            std::cerr << "grshm-user: cannot read the accounts in " << dir << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        for (const accounts::Account &account : *listed)
            std::cout << account.name << " " << accounts::RoleName(account.role) << "\n";
        return 0;
    }
    if (args.size() < 2) return Usage();
    const std::string &name = args[1];
    if (!accounts::ValidUserName(name)) {
        std::cerr << "grshm-user: a name has 1 to 32 of a-z, 0-9, '.', '_' and '-', starting with a letter or digit\n";
        return kUsage;
    }
    if (command == "add" && args.size() == 4 && args[2] == "--role") {
        const auto role = RoleArgument(args[3]);
        if (!role) return kUsage;
        if (accounts::ReadAccount(dir, name)) {
            std::cerr << "grshm-user: the account " << name << " exists already (passwd, role or del)\n";
            return kUsage;
        }
        // A removed account made again starts past every generation its old sessions knew.
        return SetPassword(dir, {name, *role, {}, static_cast<unsigned long long>(time(nullptr))});
    }
    if (command == "passwd" && args.size() == 2) {
        auto account = Existing(dir, name);
        return account ? SetPassword(dir, *account) : kFailed;
    }
    if (command == "role" && args.size() == 3) {
        const auto role = RoleArgument(args[2]);
        if (!role) return kUsage;
        auto account = Existing(dir, name);
        if (!account) return kFailed;
        account->role = *role;
        ++account->generation;
        return Store(dir, *account);
    }
    if (command == "del" && args.size() == 2) {
        if (!accounts::DeleteAccount(dir, name)) {
            std::cerr << "grshm-user: there is no account " << name << "\n";
            return kFailed;
        }
        accounts::SweepSessions(dir, accounts::SessionTimesFromEnvironment());
        // (A token whose account is gone is refused at its use all the same.)
        auto store = OpenRecords(dir);
        return store && audit::DeleteTokensOf(*store, name) ? 0 : kFailed;
    }
    if (command == "unlock" && args.size() == 2) {
        if (!Existing(dir, name)) return kFailed;
        auto store = OpenRecords(dir);
        return store && audit::Unlock(*store, name) ? 0 : kFailed;
    }
    return Usage();
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string dir = accounts::StateDir();
    if (args.size() >= 2 && args[0] == "--dir") {
        dir = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        Usage();
        return 0;
    }
    return Run(dir, args);
}
