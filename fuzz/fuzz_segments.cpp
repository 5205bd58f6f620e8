// Fuzzes the segments' contents through the channel report and the status report: whatever
// the receiver's processes stored, both replies are built without reading past a field and
// come out as JSON that reads back.
#include <cstring>

#include "cgi_frame.h"
#include "forms.h"
#include "fuzz_support.h"
#include "report.h"

namespace {

void Fill(void *segment, std::size_t size, const unsigned char *data, std::size_t length, std::size_t start) {
    auto *bytes = static_cast<unsigned char *>(segment);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = length == 0 ? 0 : data[(start + i) % length];
}

void ExpectObject(json_object *reply) {
    const cgi::JsonPtr again{json_tokener_parse(json_object_to_json_string(reply))};
    if (!json_object_is_type(again.get(), json_type_object)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
    AttachPrivateSegments();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    Fill(OstrelConfig.base_addr, sizeof(ReceiverConfigPara), data, size, 0);
    Fill(OstrelMonitor.base_addr, sizeof(MonitorPara), data, size, size / 2);
    ExpectObject(linkreport::BuildDataTransReport().get());
    ExpectObject(rolekind::ServeRequest(nullptr).get());  // no request: the status report
    return 0;
}
