// grshm-user: the web interface's accounts, from the receiver's console.
//   grshm-user [--dir DIR] add NAME --role viewer|operator|admin   (the password on standard input)
//   grshm-user [--dir DIR] passwd NAME                              (the new password on standard input)
//   grshm-user [--dir DIR] role NAME viewer|operator|admin
//   grshm-user [--dir DIR] del NAME
//   grshm-user [--dir DIR] list
// DIR is the instance's state folder (GRSHM_STATE_DIR, else the installed one). A password change,
// a role change or a removal ends the account's sessions at once.
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "account_store.h"
#include "passwords.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

int Usage() {
    std::cerr << "usage: grshm-user [--dir DIR] add NAME --role viewer|operator|admin\n"
                 "       grshm-user [--dir DIR] passwd NAME\n"
                 "       grshm-user [--dir DIR] role NAME viewer|operator|admin\n"
                 "       grshm-user [--dir DIR] del NAME\n"
                 "       grshm-user [--dir DIR] list\n"
                 "The password is read from standard input (asked twice on a terminal).\n";
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

int Run(const std::string &dir, const std::vector<std::string> &args) {
    if (args.empty()) return Usage();
    const std::string &command = args[0];
    if (command == "list" && args.size() == 1) {
        for (const accounts::Account &account : accounts::ListAccounts(dir))
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
        return 0;
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
