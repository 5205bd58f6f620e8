// Writing a reply's JSON text into a buffer of its own, in the one form every reply has
// always had (json-c's spaced single-line form): { "key": value, "key": value }, [ a, b ],
// and { } and [ ] when empty. As in json-c's own serializer, each open object or array keeps
// a had-children flag, and that flag alone decides the separators.
//
// A report writes some two thousand pieces: each call makes room once and then copies, so
// that the writer costs no more than the fixed texts it replaced.
#pragma once

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

namespace cgi {

// The length of the valid UTF-8 sequence that text starts with (1 to 4), or 0 when its first
// byte starts none: a stray continuation byte, an overlong form, a surrogate, a code point
// past U+10FFFF or a sequence cut short. Length must be at least 1.
std::size_t Utf8SequenceLength(const char *text, std::size_t length);

class JsonWriter {
 public:
    JsonWriter();
    JsonWriter(const JsonWriter &) = delete;
    JsonWriter &operator=(const JsonWriter &) = delete;

    void BeginObject() { Open('{', false); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('[', true); }
    void EndArray() { Close(']'); }

    // From now on, every member with one of these keys is left out, key and value (the keys
    // must outlive the writer). What a role may not see is taken out here, in one place.
    void HideKeys(std::span<const std::string_view> keys) { hidden_ = keys; }

    // A member's key in the open object: plain text of our own that needs no escaping.
    void Key(std::string_view key) {
        if (!hidden_.empty()) BeginHiding(key);
        char *at = Room(key.size() + 6);
        at = Separate(at);
        *at++ = '"';
        std::memcpy(at, key.data(), key.size());
        at += key.size();
        *at++ = '"';
        *at++ = ':';
        *at++ = ' ';
        used_ = static_cast<std::size_t>(at - data_.get());
    }

    // Values: a member's after its key, or the open array's next element.
    // Any bytes, escaped as json-c escapes its strings; bytes that are not UTF-8 become U+FFFD.
    // Most texts need no escape at all: one scan, one copy.
    void String(const char *text, std::size_t length) {
        std::size_t plain = 0;
        while (plain < length && !kEscaped[static_cast<unsigned char>(text[plain])]) ++plain;
        if (plain < length) {
            EscapedString(text, length, plain);
            return ValueDone();
        }
        char *at = BeforeValue(Room(length + 4));
        *at++ = '"';
        std::memcpy(at, text, length);
        at += length;
        *at++ = '"';
        used_ = static_cast<std::size_t>(at - data_.get());
        ValueDone();
    }
    void String(std::string_view text) { String(text.data(), text.size()); }
    void Int(long long value) {
        if (value < 0 || value > 99) {
            LongInt(value);
            return ValueDone();
        }
        char *at = BeforeValue(Room(4));  // the most common numbers of all: one or two digits
        if (value > 9) *at++ = static_cast<char>('0' + value / 10);
        *at++ = static_cast<char>('0' + value % 10);
        used_ = static_cast<std::size_t>(at - data_.get());
        ValueDone();
    }
    void Bool(bool value) { Number(value ? std::string_view("true") : std::string_view("false")); }
    void Double(double value);  // in json-c's own text for a double
    // A number already written as JSON number text (digits, sign, point).
    void Number(std::string_view number_text) {
        char *at = BeforeValue(Room(number_text.size() + 2));
        std::memcpy(at, number_text.data(), number_text.size());
        used_ = static_cast<std::size_t>(at + number_text.size() - data_.get());
        ValueDone();
    }

    // The whole text written so far.
    std::string_view Text() const { return {data_.get(), used_}; }
    // Forgets everything written, as if new.
    void Clear() {
        used_ = 0;
        depth_ = 0;
        in_array_ = had_children_ = hiding_ = false;
    }

 private:
    static constexpr int kMaxDepth = 16;
    // The bytes a string escapes: controls, the quote, the backslash and the slash; and those
    // from 0x80 up, which are checked as UTF-8.
    static constexpr auto kEscaped = [] {
        std::array<bool, 256> escaped{};
        for (int byte = 0; byte < 0x20; ++byte) escaped[byte] = true;
        for (int byte = 0x80; byte < 0x100; ++byte) escaped[byte] = true;
        escaped['"'] = escaped['\\'] = escaped['/'] = true;
        return escaped;
    }();

    void EscapedString(const char *text, std::size_t length, std::size_t first);
    void LongInt(long long value);

    // Room for at least size more characters; returns where they go.
    char *Room(std::size_t size) {
        if (capacity_ - used_ < size) Grow(size);
        return data_.get() + used_;
    }
    void Grow(std::size_t size);
    // An element of an array is separated here; an object's member already was, by its key.
    // Both write at most two characters at `at` (within the room made) and return the end.
    char *BeforeValue(char *at) { return in_array_ ? Separate(at) : at; }
    char *Separate(char *at) {
        if (had_children_) *at++ = ',';
        *at++ = ' ';
        had_children_ = true;
        return at;
    }
    void Open(char bracket, bool array) {
        // Every reply has a fixed shape, a few levels deep: more is a fault of the program.
        if (depth_ == kMaxDepth) std::abort();
        char *at = BeforeValue(Room(3));
        *at++ = bracket;
        used_ = static_cast<std::size_t>(at - data_.get());
        enclosing_[depth_++] = {in_array_, had_children_};
        in_array_ = array;
        had_children_ = false;
    }
    void Close(char bracket) {
        char *at = Room(2);
        at[0] = ' ';
        at[1] = bracket;
        used_ += 2;
        in_array_ = enclosing_[--depth_].in_array;
        had_children_ = enclosing_[depth_].had_children;
        ValueDone();
    }
    // A hidden member is written as any other, then cut off again once its value is complete.
    void BeginHiding(std::string_view key) {
        if (hiding_) return;
        for (const std::string_view hidden : hidden_) {
            if (hidden != key) continue;
            hiding_ = true;
            hide_from_ = used_;
            hide_depth_ = depth_;
            hide_had_children_ = had_children_;
            return;
        }
    }
    void ValueDone() {
        if (!hiding_ || depth_ != hide_depth_) return;
        hiding_ = false;
        used_ = hide_from_;
        had_children_ = hide_had_children_;
    }
    // A value's separator, when it has one.
    void SeparateValue() { used_ = static_cast<std::size_t>(BeforeValue(Room(2)) - data_.get()); }
    void Append(std::string_view text) {
        std::memcpy(Room(text.size()), text.data(), text.size());
        used_ += text.size();
    }

    std::unique_ptr<char[]> data_;
    std::size_t used_ = 0;
    std::size_t capacity_ = 0;
    // The innermost open object or array; the ones around it wait on the stack.
    bool in_array_ = false;
    bool had_children_ = false;
    struct Enclosing {
        bool in_array;
        bool had_children;
    };
    Enclosing enclosing_[kMaxDepth] = {};
    int depth_ = 0;
    std::span<const std::string_view> hidden_;
    bool hiding_ = false;
    bool hide_had_children_ = false;
    int hide_depth_ = 0;
    std::size_t hide_from_ = 0;
};

}  // namespace cgi
