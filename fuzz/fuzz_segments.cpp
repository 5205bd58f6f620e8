// Fuzzes the segments' contents through the channel report, the status report and the GNSS
// report: whatever the receiver's processes stored (GSV sentences included), every reply is
// built without reading past a field and comes out as JSON that reads back.
#include <cstring>
#include <string>

#include "cgi_frame.h"
#include "forms.h"
#include "fuzz_support.h"
#include "gnss_report.h"
#include "report.h"
#include "strict_json.h"

namespace {

void Fill(void *segment, std::size_t size, const unsigned char *data, std::size_t length, std::size_t start) {
    auto *bytes = static_cast<unsigned char *>(segment);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = length == 0 ? 0 : data[(start + i) % length];
}

// The reply reads back as an object, and is JSON that any reader takes (json-c alone would
// also take NaN and control characters).
void ExpectObject(const std::string &text) {
    const cgi::JsonPtr again{json_tokener_parse(text.c_str())};
    if (!json_object_is_type(again.get(), json_type_object)) std::abort();
    if (!testsupport::StrictJson::Accepts(text)) std::abort();
}

void ExpectGnssReport() {
    cgi::JsonWriter reply;
    gnssreport::WriteGnssReport(reply);
    ExpectObject(std::string(reply.Text()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/) {
    AttachPrivateSegments();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    Fill(OstrelConfig.base_addr, sizeof(ReceiverConfigPara), data, size, 0);
    Fill(OstrelMonitor.base_addr, sizeof(MonitorPara), data, size, size / 2);
    cgi::JsonWriter channels;
    linkreport::WriteDataTransReport(channels);
    ExpectObject(std::string(channels.Text()));
    cgi::JsonWriter status;
    rolekind::ServeRequest(nullptr, status);  // no request: the status report
    ExpectObject(std::string(status.Text()));
    // The GNSS segment twice: filled whole, and with the input as the text of every GSV
    // sentence, so that sentences that parse come up often.
    Fill(OstrelGNSS.base_addr, sizeof(GNSSInfo), data, size, size / 3);
    ExpectGnssReport();
    auto *gnss = static_cast<GNSSInfo *>(OstrelGNSS.base_addr);
    for (GSVSlot &slot : gnss->GSV)
        for (std::size_t n = 0; n < GNSS_GSV_SENTENCES; ++n)  // a long input gives each sentence its own part
            Fill(slot.Sentence[n], GNSS_GSV_SENTENCE_BYTES, data, size, n * GNSS_GSV_SENTENCE_BYTES);
    ExpectGnssReport();
    return 0;
}
