#include <pwquality.h>

#include <memory>

#include "json_writer.h"
#include "passwords.h"

// (Apart from the hashes: only the console tool takes new passwords, and only it loads
// libpwquality and its dictionary.)
namespace accounts {
namespace {

struct SettingsDeleter {
    void operator()(pwquality_settings_t *settings) const { pwquality_free_settings(settings); }
};

}  // namespace

long CountCharacters(std::string_view text) {
    long characters = 0;
    for (std::size_t at = 0; at < text.size(); ++characters) {
        if (text[at] == '\0') return -1;
        const std::size_t length = cgi::Utf8SequenceLength(text.data() + at, text.size() - at);
        if (length == 0) return -1;
        at += length;
    }
    return characters;
}

std::string PasswordProblem(std::string_view password, std::string_view user) {
    const long characters = CountCharacters(password);
    if (characters < 0) return "the password must be UTF-8 text without NUL characters";
    if (static_cast<std::size_t>(characters) < kMinPasswordCharacters)
        return "the password must have at least " + std::to_string(kMinPasswordCharacters) + " characters";
    if (password.size() > kMaxPasswordBytes)
        return "the password must have at most " + std::to_string(kMaxPasswordBytes) + " bytes";
    const std::unique_ptr<pwquality_settings_t, SettingsDeleter> settings(pwquality_default_settings());
    if (!settings) return "the password's quality could not be checked";
    void *detail = nullptr;
    pwquality_read_config(settings.get(), nullptr, &detail);  // /etc/security/pwquality.conf, if any
    detail = nullptr;
    const std::string text(password);
    const std::string name(user);
    const int score = pwquality_check(settings.get(), text.c_str(), nullptr, name.c_str(), &detail);
    if (score >= 0) return {};
    char reason[PWQ_MAX_ERROR_MESSAGE_LEN];
    return std::string("the password is too weak: ") + pwquality_strerror(reason, sizeof reason, score, detail);
}

}  // namespace accounts
