#include "self_printing.h"

#include <json-c/printbuf.h>

namespace cgi {
namespace {

struct SelfPrinting {
    void *userdata;
    void (*print)(const void *, JsonWriter &);
    void (*delete_userdata)(void *);
};

int PrintSelf(json_object *value, printbuf *out, int /*level*/, int /*flags*/) {
    const auto *self = static_cast<const SelfPrinting *>(json_object_get_userdata(value));
    JsonWriter writer;
    self->print(self->userdata, writer);
    const std::string_view text = writer.Text();
    printbuf_memappend(out, text.data(), static_cast<int>(text.size()));
    return 0;
}

void DeleteSelf(json_object * /*value*/, void *userdata) {
    auto *self = static_cast<SelfPrinting *>(userdata);
    self->delete_userdata(self->userdata);
    delete self;
}

}  // namespace

json_object *SelfPrintingValue(void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                               void (*delete_userdata)(void *userdata)) {
    json_object *value = json_object_new_int(0);  // its own form is never printed
    SetSelfPrinting(value, userdata, print, delete_userdata);
    return value;
}

void SetSelfPrinting(json_object *value, void *userdata, void (*print)(const void *userdata, JsonWriter &writer),
                     void (*delete_userdata)(void *userdata)) {
    json_object_set_serializer(value, PrintSelf, new SelfPrinting{userdata, print, delete_userdata}, DeleteSelf);
}

}  // namespace cgi
