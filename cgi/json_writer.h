// Writing a reply's JSON text into a buffer of its own, in the one form every reply has
// always had (json-c's spaced single-line form): { "key": value, "key": value }, [ a, b ],
// and { } and [ ] when empty. As in json-c's own serializer, each open object or array keeps
// a had-children flag, and that flag alone decides the separators.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cgi {

class JsonWriter {
 public:
    JsonWriter();
    JsonWriter(const JsonWriter &) = delete;
    JsonWriter &operator=(const JsonWriter &) = delete;

    void BeginObject() { Open('{', false); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('[', true); }
    void EndArray() { Close(']'); }

    // A member's key in the open object: plain text of our own that needs no escaping.
    void Key(std::string_view key) {
        Separate();
        text_ += '"';
        text_ += key;
        text_ += "\": ";
    }

    // Values: a member's after its key, or the open array's next element.
    void String(const char *text, std::size_t length);  // any bytes, escaped as json-c escapes its strings
    void String(std::string_view text) { String(text.data(), text.size()); }
    void Int(long long value);
    void Bool(bool value) {
        BeforeValue();
        text_ += value ? "true" : "false";
    }
    void Double(double value);  // in json-c's own text for a double
    // A number already written as JSON number text (digits, sign, point).
    void Number(std::string_view number_text) {
        BeforeValue();
        text_ += number_text;
    }

    // The whole text written so far.
    std::string_view Text() const { return text_; }
    // Forgets everything written, as if new.
    void Clear();

 private:
    static constexpr int kMaxDepth = 16;

    // An element of an array is separated here; an object's member already was, by its key.
    void BeforeValue() {
        if (depth_ > 0 && array_[depth_ - 1]) Separate();
    }
    void Separate() {
        if (depth_ == 0) return;
        text_ += had_children_[depth_ - 1] ? ", " : " ";
        had_children_[depth_ - 1] = true;
    }
    void Append(std::string_view text) { text_ += text; }
    void Open(char bracket, bool array);
    void Close(char bracket);

    std::string text_;
    bool array_[kMaxDepth] = {};
    bool had_children_[kMaxDepth] = {};
    int depth_ = 0;
};

}  // namespace cgi
