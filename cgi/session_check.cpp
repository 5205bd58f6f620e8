#include <cstdlib>

#include "cgi_frame.h"

namespace cgi {

Caller SessionCaller() {
    const accounts::SessionCheck session =
        accounts::CheckSession(accounts::StateDir(), SessionToken(), accounts::SessionTimesFromEnvironment(),
                               // A page's own refresh does not keep its session alive.
                               std::getenv("HTTP_X_GRSHM_REFRESH") == nullptr);
    if (session.state != accounts::SessionCheck::Valid) {
        PrintFailure(
            401, "Unauthorized",
            session.state == accounts::SessionCheck::Expired ? "the session has ended: log in again" : "log in first");
        std::exit(0);
    }
    return {true, session.user, session.role};
}

}  // namespace cgi
