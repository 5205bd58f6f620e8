// The cap on the web server's concurrent requests to our programs. lighttpd starts one program
// per request and has no limit of its own on how many run at once, so every program passes this
// gate first: a counting lock taken without waiting. A request that finds every place taken is
// answered "503" at once instead of adding one more process to a board that is already busy.
#pragma once

namespace cgi {

// Two shares of places, each a System V semaphore set of its own beside the receiver's segments
// (their keys are 2000, 3000 and 4000); mode 0600, so only the web server's user can take or
// change them. Requests that read and answer at once take the larger share. Requests that may
// wait on the receiver (they post an operation and wait, up to the mailbox's bound, for the
// receiver to take it or carry it out) take the smaller one, so that however many of those
// wait, the operator's reports are still served.
enum class GateShare { Prompt, Waiting };

inline constexpr int kRequestGateKey = 5000;
inline constexpr int kRequestGatePlaces = 16;
inline constexpr int kWaitingGateKey = 5001;
inline constexpr int kWaitingGatePlaces = 4;

// True when this process may serve its request: it was not started by a web server (no
// GATEWAY_INTERFACE in its environment), or it took one of its share's places, which it holds
// until it ends (SEM_UNDO gives it back however it ends). False when every place is taken.
// When the share cannot be had at all (another user's set under its key, no semaphores left),
// the request is served: a broken gate must not lock the operator out.
bool EnterRequestGate(GateShare share = GateShare::Prompt);

// The whole reply to a request turned away at the gate: "Status: 503" with Retry-After.
void PrintBusyReply();

}  // namespace cgi
