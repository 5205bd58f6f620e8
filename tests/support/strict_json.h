// Whether a reply is JSON that any reader takes: exactly one value by the JSON grammar, with
// whitespace around it and nothing else. json-c reads back more than that (NaN, Infinity,
// control characters in strings, bytes that are not UTF-8), and a browser's JSON.parse (or
// TextDecoder before it) does not.
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
            if (c >= 0x80 && !Utf8Sequence(c)) return false;
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

    // The rest of a UTF-8 sequence whose lead byte was just taken (RFC 3629: no overlong
    // forms, no surrogates, nothing past U+10FFFF).
    bool Utf8Sequence(unsigned char lead) {
        int more = 0;
        unsigned int code = 0, least = 0;
        if ((lead & 0xE0) == 0xC0) {
            more = 1, code = lead & 0x1Fu, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, code = lead & 0x0Fu, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, code = lead & 0x07u, least = 0x10000;
        } else {
            return false;
        }
        for (; more > 0; --more, ++next_) {
            if (AtEnd() || (static_cast<unsigned char>(text_[next_]) & 0xC0) != 0x80) return false;
            code = code << 6 | (static_cast<unsigned char>(text_[next_]) & 0x3Fu);
        }
        return code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
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
