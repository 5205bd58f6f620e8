#include "messages_json.h"

#include <json-c/printbuf.h>

#include <charconv>
#include <cstring>
#include <string_view>
#include <utility>

#include "json_writer.h"

namespace linkreport {
namespace {

using cgi::JsonStyle;

// Text is gathered in one fixed buffer, reused for every channel: nothing is allocated while
// json-c prints, so its print buffer grows in place.
class Text {
 public:
    explicit Text(std::size_t bound) : heap_(bound > sizeof buffer_ ? bound : 0) {
        start_ = heap_.empty() ? buffer_ : heap_.data();
        next_ = start_;
    }
    Text &operator+=(std::string_view piece) {
        std::memcpy(next_, piece.data(), piece.size());
        next_ += piece.size();
        return *this;
    }
    void AppendInt(int value) { next_ = std::to_chars(next_, next_ + 12, value).ptr; }
    const char *data() const { return start_; }
    int size() const { return static_cast<int>(next_ - start_); }

 private:
    static inline char buffer_[16384];
    std::vector<char> heap_;  // only for a value larger than the buffer
    char *start_;
    char *next_;
};

void AppendItem(Text &text, const JsonStyle &style, const MessageItem &item) {
    text += &style == &cgi::kSpacedJson ? item.row->spaced_prefix : item.row->plain_prefix;
    text.AppendInt(item.value);
    text += style.close_object;
}

}  // namespace

json_object *Messages::ToJson() && {
    json_object *array = json_object_new_array();
    json_object_set_serializer(array, Write, new Messages(std::move(*this)), Delete);
    return array;
}

int Messages::Write(json_object *object, printbuf *out, int /*level*/, int flags) {
    const auto *messages = static_cast<const Messages *>(json_object_get_userdata(object));
    // (A pretty-printing caller gets the spaced form for this value, which is the same JSON.)
    const JsonStyle &style = cgi::StyleFor(flags);
    // The whole value is written into one text and handed to json-c's buffer at once. Each
    // item is at most 64 characters (a prefix of at most 48 and an int), each element's
    // brackets and separators at most 16.
    Text text(64 * messages->items_.size() + 16 * messages->elements_.size() + 8);
    if (messages->elements_.empty())
        text += style.empty_array;
    else
        text += style.open_array;
    std::size_t next_item = 0;
    for (std::size_t e = 0; e < messages->elements_.size(); ++e) {
        if (e > 0) text += style.comma;
        const Part &part = messages->elements_[e];
        if (part.kind == Element::EmptyArray || (part.kind == Element::List && part.count == 0)) {
            text += style.empty_array;
        } else if (part.kind == Element::TwoEmptyObjects) {
            text += style.open_array;
            text += style.empty_object;
            text += style.comma;
            text += style.empty_object;
            text += style.close_array;
        } else {
            text += style.open_array;
            for (unsigned i = 0; i < part.count; ++i) {
                if (i > 0) text += style.comma;
                AppendItem(text, style, messages->items_[next_item++]);
            }
            text += style.close_array;
        }
    }
    if (!messages->elements_.empty()) text += style.close_array;
    return printbuf_memappend(out, text.data(), text.size()) < 0 ? -1 : 0;
}

void Messages::Delete(json_object * /*object*/, void *userdata) {
    delete static_cast<Messages *>(userdata);
}

}  // namespace linkreport
