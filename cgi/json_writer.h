// Writing JSON text in json-c's own forms, for values that print themselves through
// json_object_set_serializer instead of being built from many small json-c objects: the
// reply is the same to the byte, without an allocation (and a hash table) per object.
#pragma once

#include <json-c/json.h>

#include <cstddef>
#include <cstring>
#include <string_view>

namespace cgi {

// The separators of json-c's two single-line forms. A pretty-printing caller gets the spaced
// form, which is the same JSON.
struct JsonStyle {
    std::string_view open_array, close_array, empty_array, open_object, close_object, empty_object, comma, colon;
};
inline constexpr JsonStyle kSpacedJson{"[ ", " ]", "[ ]", "{ ", " }", "{ }", ", ", ": "};
inline constexpr JsonStyle kPlainJson{"[", "]", "[]", "{", "}", "{}", ",", ":"};

inline const JsonStyle &StyleFor(int flags) {
    return (flags & (JSON_C_TO_STRING_SPACED | JSON_C_TO_STRING_PRETTY)) != 0 ? kSpacedJson : kPlainJson;
}

// Writes objects of keys and scalar values into json-c's print buffer.
class JsonWriter {
 public:
    JsonWriter(printbuf *out, int flags) : out_(out), flags_(flags), style_(StyleFor(flags)) {}
    ~JsonWriter() { Flush(); }
    JsonWriter(const JsonWriter &) = delete;
    JsonWriter &operator=(const JsonWriter &) = delete;

    void BeginObject() {
        Append(style_.open_object);
        if (depth_ < kMaxDepth) first_[depth_] = true;
        ++depth_;
    }
    void EndObject() {
        --depth_;
        Append(style_.close_object);
    }
    // A key of our own: plain text that needs no escaping.
    void Key(std::string_view key) {
        Separate();
        Append("\"");
        Append(key);
        Append("\"");
        Append(style_.colon);
    }
    void String(const char *text, std::size_t length);  // any bytes, escaped as json-c escapes its strings
    void Int(int value);
    void Bool(bool value) { Append(value ? "true" : "false"); }
    void Double(double value);  // in json-c's own text for a double
    // Array elements: BeginArray, then Element() before each element, then EndArray. An array
    // without elements takes json-c's empty form.
    void BeginArray() {
        Append(style_.open_array);
        if (depth_ < kMaxDepth) first_[depth_] = true;
        ++depth_;
    }
    void Element() { Separate(); }
    void EndArray() {
        --depth_;
        const bool empty = depth_ < kMaxDepth && first_[depth_];
        if (empty) {
            used_ -= style_.open_array.size();  // still pending: nothing can have been flushed since
            Append(style_.empty_array);
        } else {
            Append(style_.close_array);
        }
    }
    // A piece of JSON text made by the caller in this writer's form (see Spaced()).
    void Raw(std::string_view json) { Append(json); }
    bool Spaced() const { return &style_ == &kSpacedJson; }
    const JsonStyle &Style() const { return style_; }

 private:
    // The comma before every member or element but the first.
    void Separate() {
        if (depth_ > 0 && depth_ <= kMaxDepth) {
            if (!first_[depth_ - 1]) Append(style_.comma);
            first_[depth_ - 1] = false;
        }
    }
    // Pieces are short: most go straight into the pending text.
    void Append(std::string_view text) {
        if (used_ + text.size() <= sizeof pending_) {
            std::memcpy(pending_ + used_, text.data(), text.size());
            used_ += text.size();
        } else {
            AppendLong(text);
        }
    }
    void AppendLong(std::string_view text);
    void Flush();

    // Small pieces are gathered here and handed to json-c's buffer together.
    char pending_[1024] = {};
    std::size_t used_ = 0;

    printbuf *out_;
    int flags_;
    const JsonStyle &style_;
    static constexpr int kMaxDepth = 8;
    bool first_[kMaxDepth] = {};
    int depth_ = 0;
};

// A value that prints itself: print(userdata, writer) runs when json-c prints the reply, and
// delete_userdata releases userdata with the value.
json_object *SelfPrintingValue(void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                               void (*delete_userdata)(void *userdata));

// Makes an existing value print itself the same way (a whole reply, say), whatever it holds.
void SetSelfPrinting(json_object *value, void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                     void (*delete_userdata)(void *userdata));

}  // namespace cgi
