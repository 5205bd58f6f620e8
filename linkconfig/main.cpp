// linkconfig: reads and changes one data channel at a time.
#include "editor.h"
#include "sharememory.h"

int main() {
    const cgi::StrictRequest request = cgi::ReadStrictRequest(cgi::kMaxEditBody);
    cgi::PrintHeader(linkconfig::WaitsOnReceiver(request) ? cgi::GateShare::Waiting : cgi::GateShare::Prompt);
    InitShareMemory();
    cgi::JsonWriter reply;
    linkconfig::Serve(request, reply);
    cgi::PrintReply(reply);
    return 0;
}
