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

namespace {

bool IsZeroRecord(const void *record, std::size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(record);
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

bool IsPrintable(const char (&field)[16]) {
    for (const char c : field)
        if (c != '\0' && (c < 0x20 || c > 0x7E)) return false;
    return true;
}

// A stored point is untouched (all zero) or within its ranges: latitude at most 90 degrees,
// longitude at most 180 (packed as ddmm.mmmm for the base station, DD.MMSS for the list), a
// hemisphere letter of its own axis and a height from -1000 to 10000 metres.
bool PointInRange(const Coordinates &point, double max_latitude, double max_longitude) {
    if (IsZeroRecord(&point, sizeof point)) return true;
    return point.Latitude >= 0 && point.Latitude <= max_latitude && point.Longitude >= 0 &&
           point.Longitude <= max_longitude && (point.LatDirection == 'N' || point.LatDirection == 'S') &&
           (point.LonDirection == 'E' || point.LonDirection == 'W') && point.Elevation >= -1000 &&
           point.Elevation <= 10000;
}

// Whatever was asked, nothing that no receiver can use was stored.
void CheckStoredValues() {
    unsigned char work_mode = 0;
    GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &work_mode);
    if (work_mode > SMARTBASE_MODE) std::abort();
    char id[16];
    GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, id);
    if (!IsPrintable(id)) std::abort();
    Coordinates base{};
    GetReceiverConfigParaFromShareMemory(ENTRY_STATION_POS, &base);
    if (!PointInRange(base, 9000, 18000)) std::abort();
    for (unsigned char entry = ENTRY_SMARTBASE1_CONFIG; entry <= ENTRY_SMARTBASE30_CONFIG; ++entry) {
        SmartBaseInfo station{};
        GetReceiverConfigParaFromShareMemory(entry, &station);
        if (!IsPrintable(station.id) || !PointInRange(station.coordinate_point, 90, 180)) std::abort();
    }
}

}  // namespace

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
    cgi::StrictRequest read_request{cgi::JsonPtr{json_object_new_object()}, {}};
    json_object_object_add(read_request.document.get(), "TransID", json_object_get(trans_id));
    cgi::JsonWriter read;
    linkconfig::Serve(read_request, read);
    const cgi::JsonPtr answer{json_tokener_parse(std::string(read.Text()).c_str())};
    json_object *current = nullptr;
    if (json_object_object_get_ex(answer.get(), "Revision", &current))
        json_object_object_add(request, "Revision", json_object_get(current));
}

void ServeChange(const unsigned char *data, std::size_t size) {
    SetMonitorOperateState(OP_COMPLETE);
    // linkconfig reads bodies up to the web server's own limit.
    const std::string body(reinterpret_cast<const char *>(data), std::min(size, cgi::kMaxEditBody));
    cgi::StrictRequest request = cgi::ParseStrictRequest(body.data(), body.size());
    UseCurrentRevision(request.document.get());
    cgi::JsonWriter reply;
    linkconfig::Serve(request, reply);
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
    CheckStoredValues();

    ServeChange(data, size);
    return 0;
}
