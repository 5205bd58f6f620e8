// Small helpers for filling reply documents. Keys are string literals that live as long as
// the program, so json-c neither copies nor looks them up again.
#pragma once

#include <json-c/json.h>

#include <cstring>

namespace cgi {

inline void Add(json_object *object, const char *key, json_object *value) {
    json_object_object_add_ex(object, key, value, JSON_C_OBJECT_ADD_KEY_IS_NEW | JSON_C_OBJECT_ADD_CONSTANT_KEY);
}

inline void AddInt(json_object *object, const char *key, int value) {
    Add(object, key, json_object_new_int(value));
}

inline void AddBool(json_object *object, const char *key, bool value) {
    Add(object, key, json_object_new_boolean(value ? 1 : 0));
}

inline void AddString(json_object *object, const char *key, const char *text) {
    Add(object, key, json_object_new_string(text));
}

// A fixed-size text field of a record: the text up to its zero byte, or the whole field
// when it has none. Nothing past the field is ever read.
template <std::size_t N>
void AddText(json_object *object, const char *key, const char (&field)[N]) {
    Add(object, key, json_object_new_string_len(field, static_cast<int>(strnlen(field, N))));
}

}  // namespace cgi
