// linkreport: answers every request with the data-channel report.
#include "cgi_frame.h"
#include "report.h"
#include "sharememory.h"

int main() {
    cgi::PrintHeader();
    const cgi::JsonPtr request = cgi::ReadRequest();  // consulted for nothing: the report is always the same
    InitShareMemory();
    const cgi::JsonPtr reply = linkreport::BuildDataTransReport();
    cgi::PrintReply(reply.get());
    return 0;
}
