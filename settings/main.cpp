// settings: reads and changes groups of the receiver's settings.
#include "change_record.h"
#include "settings.h"
#include "sharememory.h"

int main() {
    const cgi::StrictRequest request = cgi::ReadStrictRequest(cgi::kMaxEditBody);
    cgi::PrintHeader(settings::WaitsOnReceiver(request) ? cgi::GateShare::Waiting : cgi::GateShare::Prompt);
    InitShareMemory();
    cgi::JsonWriter reply;
    cgi::ServeRecorded(request.document.get(), reply, [&](cgi::JsonWriter &out) { settings::Serve(request, out); },
                       {settings::ChangeKind, settings::WriteShown});
    cgi::PrintReply(reply);
    return 0;
}
