// Whether a reply is JSON that any reader takes: exactly one value by the JSON grammar, with
// whitespace around it and nothing else. json-c reads back more than that (NaN, Infinity,
// control characters in strings), and a browser's JSON.parse does not.
#pragma once

#include <cstddef>
#include <string_view>

namespace testsupport {

class StrictJson {
 public:
    static bool Accepts(std::string_view text) {
        StrictJson reader(text);
        reader.SkipSpace();
        if (!reader.Value(0)) return false;
        reader.SkipSpace();
        return reader.next_ == text.size();
    }

 private:
    static constexpr int kMaxDepth = 64;

    explicit StrictJson(std::string_view text) : text_(text) {}

    bool AtEnd() const { return next_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[next_]; }
    bool Take(char expected) {
        if (AtEnd() || text_[next_] != expected) return false;
        ++next_;
        return true;
    }
    bool TakeWord(std::string_view word) {
        if (text_.substr(next_, word.size()) != word) return false;
        next_ += word.size();
        return true;
    }
    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++next_;
    }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    static bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
    bool Digits() {
        const std::size_t start = next_;
        while (IsDigit(Peek())) ++next_;
        return next_ > start;
    }

    bool Value(int depth) {
        if (depth > kMaxDepth) return false;
        switch (Peek()) {
            case '{':
                return Members(depth);
            case '[':
                return Elements(depth);
            case '"':
                return String();
            case 't':
                return TakeWord("true");
            case 'f':
                return TakeWord("false");
            case 'n':
                return TakeWord("null");
            default:
                return Number();
        }
    }

    bool Members(int depth) {
        Take('{');
        SkipSpace();
        if (Take('}')) return true;
        do {
            SkipSpace();
            if (!String()) return false;
            SkipSpace();
            if (!Take(':')) return false;
            SkipSpace();
            if (!Value(depth + 1)) return false;
            SkipSpace();
        } while (Take(','));
        return Take('}');
    }

    bool Elements(int depth) {
        Take('[');
        SkipSpace();
        if (Take(']')) return true;
        do {
            SkipSpace();
            if (!Value(depth + 1)) return false;
            SkipSpace();
        } while (Take(','));
        return Take(']');
    }

    bool String() {
        if (!Take('"')) return false;
        while (!AtEnd()) {
            const auto c = static_cast<unsigned char>(text_[next_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;  // a control character must be escaped
            if (c != '\\') continue;
            if (AtEnd()) return false;
            const char escaped = text_[next_++];
            if (escaped == 'u') {
                for (int i = 0; i < 4; ++i, ++next_)
                    if (AtEnd() || !IsHex(text_[next_])) return false;
            } else if (escaped == '\0' || std::string_view("\"\\/bfnrt").find(escaped) == std::string_view::npos) {
                return false;
            }
        }
        return false;
    }

    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    bool Number() {
        Take('-');
        if (Take('0')) {
            if (IsDigit(Peek())) return false;
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits()) return false;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        return true;
    }

    std::string_view text_;
    std::size_t next_ = 0;
};

}  // namespace testsupport
