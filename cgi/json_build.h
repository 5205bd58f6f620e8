// Small helpers for filling reply documents. Keys are string literals that live as long as
// the program, so json-c neither copies nor looks them up again.
#pragma once

#include <json-c/json.h>

namespace cgi {

inline void Add(json_object *object, const char *key, json_object *value) {
    json_object_object_add_ex(object, key, value, JSON_C_OBJECT_ADD_KEY_IS_NEW | JSON_C_OBJECT_ADD_CONSTANT_KEY);
}

inline void AddInt(json_object *object, const char *key, int value) {
    Add(object, key, json_object_new_int(value));
}

inline void AddString(json_object *object, const char *key, const char *text) {
    Add(object, key, json_object_new_string(text));
}

}  // namespace cgi
