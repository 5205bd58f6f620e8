// linkreport: answers every request with the data-channel report.
#include "cgi_frame.h"
#include "records.h"
#include "report.h"
#include "sharememory.h"

int main() {
    cgi::PrintHeader();
    const cgi::JsonPtr request = cgi::ReadRequest();  // consulted for nothing: the report is always the same
    InitShareMemory();
    cgi::JsonPtr reply = linkreport::BuildDataTransReport();
    // A channel whose record could not be read would show zeros as its settings.
    if (const std::string failure = cgi::ReadFailure(); !failure.empty()) reply = cgi::FailedReply(failure);
    cgi::PrintReply(reply.get());
    return 0;
}
