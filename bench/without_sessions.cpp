// For the benchmark only, linked before the request frame: every request from the web server is
// an admin's, without a session, so that the session check's own cost can be measured beside it.
#include "cgi_frame.h"

namespace cgi {

Caller SessionCaller() {
    return {true, "bench", Role::Admin};
}

}  // namespace cgi
