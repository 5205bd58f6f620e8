// linkconfig: reads and changes one data channel at a time.
#include "editor.h"
#include "sharememory.h"

int main() {
    cgi::PrintHeader();
    const cgi::StrictRequest request = cgi::ReadStrictRequest(cgi::kMaxEditBody);
    InitShareMemory();
    cgi::JsonWriter reply;
    linkconfig::Serve(request, reply);
    cgi::PrintReply(reply);
    return 0;
}
