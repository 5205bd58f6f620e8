// linkconfig: reads and changes one data channel at a time.
#include "change_record.h"
#include "editor.h"
#include "sharememory.h"

int main() {
    const cgi::StrictRequest request = cgi::ReadStrictRequest(cgi::kMaxEditBody);
    cgi::JsonWriter reply;
    cgi::Admit(request.document.get(), linkconfig::LeastRole, reply,
               linkconfig::WaitsOnReceiver(request) ? cgi::GateShare::Waiting : cgi::GateShare::Prompt);
    InitShareMemory();
    cgi::ServeRecorded(request.document.get(), reply, [&](cgi::JsonWriter &out) { linkconfig::Serve(request, out); },
                       {linkconfig::ChangeKind, linkconfig::WriteShown});
    cgi::PrintReply(reply);
    return 0;
}
