// changelog: the change log for the web, newest first, a page at a time, filtered by user and
// by kind: { "User": "ann", "Kind": "channel", "Before": 1234, "Limit": 100 } (every member
// optional).
#include "cgi_frame.h"
#include "log_reply.h"

int main() {
    const cgi::JsonPtr request = cgi::ReadRequest();
    cgi::JsonWriter reply;
    // Who changed what, and when: an admin's to read.
    cgi::Admit(
        request.get(), [](json_object *) { return cgi::Role::Admin; }, reply);
    changelog::Serve(request.get(), reply);
    cgi::PrintReply(reply);
    return 0;
}
