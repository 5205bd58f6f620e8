// rolekind: reports and changes the work mode, the base station and the SmartBase list.
#include "cgi_frame.h"
#include "change_record.h"
#include "forms.h"
#include "sharememory.h"

int main() {
    const cgi::JsonPtr request = cgi::ReadRequest();
    cgi::JsonWriter reply;
    cgi::Admit(request.get(), rolekind::LeastRole, reply,
               rolekind::WaitsOnReceiver(request.get()) ? cgi::GateShare::Waiting : cgi::GateShare::Prompt);
    InitShareMemory();
    cgi::ServeRecorded(request.get(), reply, [&](cgi::JsonWriter &out) { rolekind::ServeRequest(request.get(), out); },
                       {rolekind::ChangeKind, rolekind::WriteShown});
    cgi::PrintReply(reply);
    return 0;
}
