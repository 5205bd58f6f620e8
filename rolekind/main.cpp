#include "cgi_frame.h"
#include "sharememory.h"

int main() {
    cgi::PrintHeader();
    const cgi::JsonPtr request = cgi::ReadRequest();
    InitShareMemory();
    const cgi::JsonPtr reply{json_object_new_object()};
    cgi::PrintReply(reply.get());
    return 0;
}
