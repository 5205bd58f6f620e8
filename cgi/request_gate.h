// The cap on the web server's concurrent requests to our programs. lighttpd starts one program
// per request and has no limit of its own on how many run at once, so every program passes this
// gate first: a counting lock taken without waiting. A request that finds every place taken is
// answered "503" at once instead of adding one more process to a board that is already busy.
#pragma once

namespace cgi {

// A System V semaphore set of its own, beside the receiver's segments (their keys are 2000,
// 3000 and 4000); mode 0600, so only the web server's user can take or change it.
inline constexpr int kRequestGateKey = 5000;
inline constexpr int kRequestGatePlaces = 16;

// True when this process may serve its request: it was not started by a web server (no
// GATEWAY_INTERFACE in its environment), or it took one of the gate's places, which it holds
// until it ends (SEM_UNDO gives it back however it ends). False when every place is taken.
// When the gate cannot be had at all (another user's set under the key, no semaphores left),
// the request is served: a broken gate must not lock the operator out.
bool EnterRequestGate();

// The whole reply to a request turned away at the gate: "Status: 503" with Retry-After.
void PrintBusyReply();

}  // namespace cgi
