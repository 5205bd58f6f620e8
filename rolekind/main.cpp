// rolekind: reports and changes the work mode, the base station and the SmartBase list.
#include "cgi_frame.h"
#include "forms.h"
#include "sharememory.h"

int main() {
    const cgi::JsonPtr request = cgi::ReadRequest();
    cgi::PrintHeader(rolekind::WaitsOnReceiver(request.get()) ? cgi::GateShare::Waiting : cgi::GateShare::Prompt);
    InitShareMemory();
    cgi::JsonWriter reply;
    rolekind::ServeRequest(request.get(), reply);
    cgi::PrintReply(reply);
    return 0;
}
