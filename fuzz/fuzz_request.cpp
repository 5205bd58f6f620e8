// Fuzzes a request body through the CGI frame's reader and every rolekind form.
#include <cstring>
#include <string>

#include "cgi_frame.h"
#include "forms.h"
#include "fuzz_support.h"
#include "strict_json.h"

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
    AttachPrivateSegments();
    return 0;
}

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

    const cgi::JsonPtr reply = rolekind::ServeRequest(request.get());
    // Whatever came in, the reply is one JSON object that reads back.
    const char *reply_text = json_object_to_json_string(reply.get());
    const cgi::JsonPtr again{json_tokener_parse(reply_text)};
    if (!json_object_is_type(again.get(), json_type_object)) std::abort();
    if (!testsupport::StrictJson::Accepts(reply_text)) std::abort();
    return 0;
}
