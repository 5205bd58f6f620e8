// Maintenance requests: an action a person confirmed, posted to the receiver, and the answer
// as far as one can be waited for (docs/receiver.md, "Maintenance operations").
#pragma once

#include <string>
#include <string_view>

#include "json_writer.h"
#include "receiver_settings.h"

namespace receiverstate {

// The action of that name, or null.
const MaintenanceAction *FindMaintenance(std::string_view name);

struct MaintenanceOutcome {
    std::string error;   // refused, nothing posted: why
    std::string result;  // posted: "done", "failed", "no answer yet" (waited for) or "sent"
};

// The actions as the describe reply gives them: [{"Action": name, "Operation": "ENTRY_RESTART_OP",
// "Lost": what the confirmation says, "Answered": whether its answer is waited for}, ...].
void WriteMaintenanceActions(cgi::JsonWriter &writer);

// Posts the action when the confirmation is its name as typed and no other operation is
// pending; for an action the receiver answers, waits at most answer_ms for that answer.
MaintenanceOutcome CarryOutMaintenance(const MaintenanceAction &action, std::string_view confirmation,
                                       unsigned int answer_ms);

}  // namespace receiverstate
