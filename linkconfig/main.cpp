// linkconfig: reads and changes one data channel at a time.
#include "editor.h"
#include "sharememory.h"

int main() {
    cgi::PrintHeader();
    const cgi::JsonPtr request = cgi::ReadRequest(cgi::kMaxEditBody);
    InitShareMemory();
    cgi::JsonWriter reply;
    linkconfig::Serve(request.get(), reply);
    cgi::PrintReply(reply);
    return 0;
}
