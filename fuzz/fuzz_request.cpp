// Fuzzes a request body through the CGI frame's reader, every rolekind form and linkconfig's
// reading, checking and storing of channel changes.
#include <algorithm>
#include <cstring>
#include <string>

#include "cgi_frame.h"
#include "editor.h"
#include "forms.h"
#include "fuzz_support.h"
#include "strict_json.h"

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
    AttachPrivateSegments();
    return 0;
}

namespace {

// A change whose "Revision" is "current" is sent with the channel's revision of the moment, so
// that changes reach the checks of the store and the store itself.
void UseCurrentRevision(json_object *request) {
    json_object *revision = nullptr;
    json_object *trans_id = nullptr;
    if (!json_object_is_type(request, json_type_object) || !json_object_object_get_ex(request, "Revision", &revision) ||
        !json_object_is_type(revision, json_type_string) ||
        std::strcmp(json_object_get_string(revision), "current") != 0 ||
        !json_object_object_get_ex(request, "TransID", &trans_id))
        return;
    const cgi::JsonPtr read_request{json_object_new_object()};
    json_object_object_add(read_request.get(), "TransID", json_object_get(trans_id));
    cgi::JsonWriter read;
    linkconfig::Serve(read_request.get(), read);
    const cgi::JsonPtr answer{json_tokener_parse(std::string(read.Text()).c_str())};
    json_object *current = nullptr;
    if (json_object_object_get_ex(answer.get(), "Revision", &current))
        json_object_object_add(request, "Revision", json_object_get(current));
}

void ServeChange(const unsigned char *data, std::size_t size) {
    SetMonitorOperateState(OP_COMPLETE);
    // linkconfig reads bodies up to the web server's own limit.
    const std::string body(reinterpret_cast<const char *>(data), std::min(size, cgi::kMaxEditBody));
    const cgi::JsonPtr request{json_tokener_parse(body.c_str())};
    UseCurrentRevision(request.get());
    cgi::JsonWriter reply;
    linkconfig::Serve(request.get(), reply);
    const std::string text(reply.Text());
    const cgi::JsonPtr again{json_tokener_parse(text.c_str())};
    if (!json_object_is_type(again.get(), json_type_object)) std::abort();
    if (!testsupport::StrictJson::Accepts(text.c_str())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    SetMonitorOperateState(OP_COMPLETE);  // the receiver has taken whatever was posted before
    // The body arrives on a stream, exactly as the web server hands it over.
    std::string body(reinterpret_cast<const char *>(data), size);
    body.push_back('\0');  // fmemopen wants at least one byte
    FILE *stream = fmemopen(body.data(), body.size(), "r");
    setenv("CONTENT_LENGTH", std::to_string(size).c_str(), 1);
    char *text = getcgidata(stream, "POST");
    std::fclose(stream);
    if (text == nullptr) std::abort();
    if (std::strlen(text) > cgi::kMaxBody) std::abort();  // never more than the body limit
    const cgi::JsonPtr request{json_tokener_parse(text)};
    std::free(text);

    cgi::JsonWriter reply;
    rolekind::ServeRequest(request.get(), reply);
    // Whatever came in, the reply is one JSON object that reads back.
    const std::string reply_text(reply.Text());
    const cgi::JsonPtr again{json_tokener_parse(reply_text.c_str())};
    if (!json_object_is_type(again.get(), json_type_object)) std::abort();
    if (!testsupport::StrictJson::Accepts(reply_text)) std::abort();

    ServeChange(data, size);
    return 0;
}
