#include "strict_request.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string_view>
#include <vector>

namespace cgi {
namespace {

struct TokenerDeleter {
    void operator()(json_tokener *tokener) const { json_tokener_free(tokener); }
};

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The end of the string token that starts at text[at] (its opening quote): one past its
// closing quote.
std::size_t StringEnd(const char *text, std::size_t length, std::size_t at) {
    for (++at; at < length; ++at) {
        if (text[at] == '\\') {
            ++at;
        } else if (text[at] == '"') {
            return at + 1;
        }
    }
    return length;
}

// A string token decoded, by json-c itself.
std::string Decoded(const char *token, std::size_t length) {
    const JsonPtr value{json_tokener_parse(std::string(token, length).c_str())};
    return value != nullptr ? std::string(json_object_get_string(value.get()),
                                          static_cast<std::size_t>(json_object_get_string_len(value.get())))
                            : std::string(token, length);
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// What json-c's strict mode still takes and JSON does not: strings in single quotes, and bare
// words (NaN, Infinity) other than true, false and null. An exponent's "e" follows a digit.
bool HasWordsJsonHasNot(const char *text, std::size_t length) {
    for (std::size_t at = 0; at < length;) {
        const char c = text[at];
        if (c == '"') {
            at = StringEnd(text, length, at);
        } else if (c == '\'' || c == '/') {
            return true;
        } else if (IsLetter(c)) {
            std::size_t end = at;
            while (end < length && IsLetter(text[end])) ++end;
            const std::string_view word(text + at, end - at);
            const bool exponent = at > 0 && text[at - 1] >= '0' && text[at - 1] <= '9' && (word == "e" || word == "E");
            if (!exponent && word != "true" && word != "false" && word != "null") return true;
            at = end;
        } else {
            ++at;
        }
    }
    return false;
}

}  // namespace

std::string DuplicateKey(const char *text, std::size_t length) {
    // The keys of each open object (arrays hold none), as they stand in the text; a key with an
    // escape is compared decoded ("A" and "\u0041" are one key).
    std::vector<std::vector<std::string_view>> open;
    std::vector<bool> is_object;
    std::deque<std::string> decoded;
    for (std::size_t at = 0; at < length;) {
        const char c = text[at];
        if (c == '{' || c == '[') {
            is_object.push_back(c == '{');
            open.emplace_back();
            ++at;
        } else if (c == '}' || c == ']') {
            if (!open.empty()) open.pop_back(), is_object.pop_back();
            ++at;
        } else if (c == '"') {
            const std::size_t end = StringEnd(text, length, at);
            std::size_t next = end;
            while (next < length && IsSpace(text[next])) ++next;
            if (next < length && text[next] == ':' && !open.empty() && is_object.back()) {
                std::string_view key(text + at + 1, end - at - 2);
                if (key.find('\\') != std::string_view::npos) key = decoded.emplace_back(Decoded(text + at, end - at));
                for (const std::string_view seen : open.back())
                    if (seen == key) return std::string(key);
                open.back().push_back(key);
            }
            at = end;
        } else {
            ++at;
        }
    }
    return {};
}

StrictRequest ParseStrictRequest(const char *text, std::size_t length) {
    StrictRequest request;
    const std::unique_ptr<json_tokener, TokenerDeleter> tokener(json_tokener_new());
    if (tokener == nullptr) return {JsonPtr{}, "the request could not be read: no memory"};
    json_tokener_set_flags(tokener.get(), JSON_TOKENER_STRICT);
    JsonPtr document{json_tokener_parse_ex(tokener.get(), text, static_cast<int>(length))};
    std::size_t end = json_tokener_get_parse_end(tokener.get());
    if (document == nullptr && json_tokener_get_error(tokener.get()) == json_tokener_continue) {
        document.reset(json_tokener_parse_ex(tokener.get(), "", 1));  // the end of the text ends a bare number
        end = length;
    }
    const json_tokener_error state = json_tokener_get_error(tokener.get());
    while (end < length && IsSpace(text[end])) ++end;
    if (document == nullptr || state != json_tokener_success || end < length || HasWordsJsonHasNot(text, length)) {
        const char *why = state == json_tokener_success || state == json_tokener_continue
                              ? (document == nullptr ? "it ends before its value does" : "it is not JSON's own text")
                              : json_tokener_error_desc(state);
        request.error = std::string("the request must be strict JSON: ") + why;
        return request;
    }
    if (std::string key = DuplicateKey(text, length); !key.empty()) {
        request.error = "the request names " + key + " twice";
        return request;
    }
    request.document = std::move(document);
    return request;
}

StrictRequest ReadStrictRequest(std::size_t max_body) {
    const char *method = std::getenv("REQUEST_METHOD");
    const char *length_text = std::getenv("CONTENT_LENGTH");
    if (method == nullptr || std::strcmp(method, "POST") != 0 || length_text == nullptr) return {};
    const long long length = std::strtoll(length_text, nullptr, 10);
    if (length <= 0) return {};
    if (length > static_cast<long long>(max_body))
        return {JsonPtr{}, "the request holds " + std::to_string(length) + " characters: at most " +
                               std::to_string(max_body) + " are taken"};
    std::string body(static_cast<std::size_t>(length), '\0');
    body.resize(std::fread(body.data(), 1, body.size(), stdin));  // fread stops at the end of input
    return ParseStrictRequest(body.data(), body.size());
}

}  // namespace cgi
