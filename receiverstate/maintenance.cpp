#include "maintenance.h"

#include <cerrno>

namespace receiverstate {

const MaintenanceAction *FindMaintenance(std::string_view name) {
    for (const MaintenanceAction &action : kMaintenance)
        if (name == action.name) return &action;
    return nullptr;
}

void WriteMaintenanceActions(cgi::JsonWriter &writer) {
    writer.BeginArray();
    for (const MaintenanceAction &action : kMaintenance) {
        writer.BeginObject();
        writer.Key("Action");
        writer.String(action.name);
        writer.Key("Operation");
        writer.String(action.operation_name);
        writer.Key("Lost");
        writer.String(action.lost);
        writer.Key("Answered");
        writer.Bool(action.answered);
        writer.EndObject();
    }
    writer.EndArray();
}

MaintenanceOutcome CarryOutMaintenance(const MaintenanceAction &action, std::string_view confirmation,
                                       unsigned int answer_ms) {
    const std::string name = action.name;
    if (confirmation != action.name)
        return {"Confirm must be \"" + name + "\", typed by the person who confirms that " + action.lost, ""};
    // No wait for the mailbox: an operation still pending may be the receiver's answer to
    // someone else's request, and a maintenance action is never queued behind it.
    if (PostMonitorOperate(action.operation, 0) != 0)
        return {errno == EBUSY ? "another operation is pending: " + name + " was not sent; try again in a moment"
                               : "the receiver's status could not be read: " + name + " was not sent",
                ""};
    if (!action.answered) return {"", "sent"};
    if (WaitMonitorOperateIdle(answer_ms) != 0) return {"", "no answer yet"};
    // The mailbox carries no request number: the answer is ours while it names our operation.
    unsigned char mailbox[2] = {};
    GetMonitorOperate(mailbox);
    if (mailbox[0] != action.operation) return {"", "no answer yet"};
    return {"", static_cast<signed char>(mailbox[1]) == OP_SUCCESS ? "done" : "failed"};
}

}  // namespace receiverstate
