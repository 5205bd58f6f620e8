// rolekind: reports and changes the work mode, the base station and the SmartBase list.
#include "cgi_frame.h"
#include "forms.h"
#include "sharememory.h"

int main() {
    cgi::PrintHeader();
    const cgi::JsonPtr request = cgi::ReadRequest();
    InitShareMemory();
    cgi::JsonWriter reply;
    rolekind::ServeRequest(request.get(), reply);
    cgi::PrintReply(reply);
    return 0;
}
