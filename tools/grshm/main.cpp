// grshm: inspect and change the receiver's shared-memory segments.
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "catalog.h"
#include "decode.h"
#include "described.h"

namespace {

using grshmtool::Bytes;
using grshmtool::Entry;
using grshmtool::Segment;

constexpr int kOk = 0;
constexpr int kMissing = 1;  // a segment is missing, or the receiver did not answer
constexpr int kUsage = 2;

const char *const kUsageText =
    "usage: grshm COMMAND [ARGS]\n"
    "  status                         segments, semaphores and the mailbox; creates nothing\n"
    "  get SEGMENT ENTRY [--json|--hex]\n"
    "                                 one entry, by name (ENTRY_WORK_MODE) or number\n"
    "  dump SEGMENT [--json|--hex]    every entry of a segment\n"
    "  set SEGMENT ENTRY VALUE        a number, text or dotted address; --hex HEX for any entry\n"
    "  post OP [--wait] [--timeout MS]\n"
    "                                 post an operation (name or number) through the atomic post\n"
    "  watch [SEGMENT]                print every change of the entries and the mailbox until Ctrl-C\n"
    "SEGMENT is config, monitor or gnss. 'grshm COMMAND --help' tells more.\n"
    "Exit status: 0 success, 1 a segment is missing (or the receiver did not answer), 2 bad usage.\n";

const std::map<std::string, std::string> kCommandHelp = {
    {"status",
     "usage: grshm status\nShows each segment and semaphore set (key, size, processes attached, lock\n"
     "value) and the mailbox's operation and state. Attaches nothing unless all exist.\n"},
    {"get",
     "usage: grshm get SEGMENT ENTRY [--json|--hex]\nPrints one entry decoded where its record is known, as JSON "
     "with --json\n(with its offset, size and raw bytes), or its raw bytes with --hex.\n"},
    {"dump", "usage: grshm dump SEGMENT [--json|--hex]\nPrints every entry of the segment, as get does.\n"},
    {"set",
     "usage: grshm set SEGMENT ENTRY VALUE\n       grshm set SEGMENT ENTRY --hex HEX\nWrites one entry "
     "through the library under the segment's lock. Scalars take a whole\nnumber in range, texts a text that "
     "fits with its terminator, addresses a dotted\nIPv4 address; any entry takes exactly its size in hex.\n"},
    {"post",
     "usage: grshm post OP [--wait] [--timeout MS]\nPosts an operation once the mailbox is free (waiting at most "
     "MS, default 10000)\nand, with --wait, waits for the receiver to finish it and prints the outcome.\n"},
    {"watch",
     "usage: grshm watch [SEGMENT]\nPolls four times a second and prints each change of an entry or of the "
     "mailbox\nonce, until Ctrl-C.\n"},
};

int Usage(const std::string &message) {
    std::fprintf(stderr, "grshm: %s\n%s", message.c_str(), kUsageText);
    return kUsage;
}

// A well-formed command with a value or name that cannot be taken.
int Refuse(const std::string &message, const std::string &command) {
    std::fprintf(stderr, "grshm: %s (see grshm %s --help)\n", message.c_str(), command.c_str());
    return kUsage;
}

bool AllSegmentsExist() {
    return std::ranges::all_of(grshmtool::Segments(), [](const Segment &segment) {
        return shmget(segment.shm_key, 0, 0) != -1 && semget(segment.sem_key, 0, 0) != -1;
    });
}

// The mailbox state byte is signed: 0xFF is OP_FAILED.
int MailboxState(unsigned char byte) {
    return byte > 127 ? byte - 256 : byte;
}

// Attaches through the library, but only when everything exists: grshm never creates.
bool Attach() {
    if (!AllSegmentsExist()) {
        std::fprintf(stderr,
                     "grshm: the segments do not exist (no receiver process has attached them); nothing was created\n");
        return false;
    }
    InitShareMemory();
    return true;
}

Bytes ReadEntry(const Entry &entry) {
    // A binary log reads back without its trailing zero byte.
    Bytes bytes(entry.span.access == grshm::Access::BinaryLog ? entry.span.size - 1u : entry.span.size, 0);
    entry.segment->get(entry.number, bytes.data());
    return bytes;
}

void PrintEntry(const Entry &entry, const std::string &mode) {
    const Bytes bytes = ReadEntry(entry);
    if (mode == "--hex") {
        std::printf("%s: %s\n", entry.name.c_str(), grshmtool::Hex(bytes).c_str());
    } else {
        std::fputs(grshmtool::DecodedText(entry, bytes).c_str(), stdout);
        std::fputs(grshmtool::DescribedText(entry, bytes).c_str(), stdout);
    }
}

int Status() {
    bool any = false;
    std::printf("%-8s %-8s %-8s %-9s %-8s %s\n", "segment", "shm key", "size", "attached", "sem key", "lock");
    for (const Segment &segment : grshmtool::Segments()) {
        const int shm_id = shmget(segment.shm_key, 0, 0);
        const int sem_id = semget(segment.sem_key, 0, 0);
        shmid_ds ds{};
        const bool shm = shm_id != -1 && shmctl(shm_id, IPC_STAT, &ds) == 0;
        const int value = sem_id == -1 ? -1 : semctl(sem_id, 0, GETVAL);
        any = any || shm || sem_id != -1;
        std::printf("%-8s %-8d %-8s %-9s %-8d %s\n", segment.name, segment.shm_key,
                    shm ? std::to_string(ds.shm_segsz).c_str() : "missing",
                    shm ? std::to_string(ds.shm_nattch).c_str() : "-", segment.sem_key,
                    sem_id == -1 ? "missing"
                    : value == 1 ? "free (1)"
                    : value == 0 ? "held (0)"
                                 : ("value " + std::to_string(value)).c_str());
    }
    if (!any) {
        std::printf("No segments exist: no receiver process has attached them since boot (or they were removed).\n");
        return kMissing;
    }
    if (!AllSegmentsExist()) {
        std::printf("Some segments are missing; the mailbox is not shown.\n");
        return kMissing;
    }
    InitShareMemory();
    unsigned char mailbox[2] = {};
    GetMonitorOperate(mailbox);
    const int state = MailboxState(mailbox[1]);
    std::printf("mailbox: operation %s (%d), state %s (%d)\n", grshmtool::OperationName(mailbox[0]), mailbox[0],
                grshmtool::StateName(state), state);
    return kOk;
}

int Get(const std::vector<std::string> &args) {
    if (args.size() < 2 || args.size() > 3) return Usage("get takes SEGMENT ENTRY [--json|--hex]");
    const std::string mode = args.size() == 3 ? args[2] : "";
    if (!mode.empty() && mode != "--json" && mode != "--hex") return Usage("unknown option " + mode);
    const Segment *segment = grshmtool::FindSegment(args[0]);
    if (segment == nullptr) return Refuse("unknown segment \"" + args[0] + "\" (config, monitor or gnss)", "get");
    const auto entries = grshmtool::Entries(*segment);
    const Entry *entry = grshmtool::FindEntry(entries, args[1]);
    if (entry == nullptr) return Refuse("the " + args[0] + " segment has no entry \"" + args[1] + "\"", "get");
    if (!entry->readable) return Refuse(entry->name + " can only be written", "get");
    if (!Attach()) return kMissing;
    if (mode == "--json") {
        json_object *described = grshmtool::Describe(*entry, ReadEntry(*entry));
        std::printf("%s\n", json_object_to_json_string_ext(described, JSON_C_TO_STRING_PRETTY));
        json_object_put(described);
    } else {
        PrintEntry(*entry, mode);
    }
    return kOk;
}

int Dump(const std::vector<std::string> &args) {
    if (args.empty() || args.size() > 2) return Usage("dump takes SEGMENT [--json|--hex]");
    const std::string mode = args.size() == 2 ? args[1] : "";
    if (!mode.empty() && mode != "--json" && mode != "--hex") return Usage("unknown option " + mode);
    const Segment *segment = grshmtool::FindSegment(args[0]);
    if (segment == nullptr) return Refuse("unknown segment \"" + args[0] + "\" (config, monitor or gnss)", "dump");
    if (!Attach()) return kMissing;
    json_object *all = json_object_new_array();
    for (const Entry &entry : grshmtool::Entries(*segment)) {
        if (!entry.readable) continue;
        if (mode == "--json")
            json_object_array_add(all, grshmtool::Describe(entry, ReadEntry(entry)));
        else
            PrintEntry(entry, mode);
    }
    if (mode == "--json") std::printf("%s\n", json_object_to_json_string_ext(all, JSON_C_TO_STRING_PRETTY));
    json_object_put(all);
    return kOk;
}

int Set(const std::vector<std::string> &args) {
    const bool hex = args.size() == 4 && args[2] == "--hex";
    if (args.size() != 3 && !hex) return Usage("set takes SEGMENT ENTRY VALUE, or SEGMENT ENTRY --hex HEX");
    const Segment *segment = grshmtool::FindSegment(args[0]);
    if (segment == nullptr) return Refuse("unknown segment \"" + args[0] + "\" (config, monitor or gnss)", "set");
    const auto entries = grshmtool::Entries(*segment);
    const Entry *entry = grshmtool::FindEntry(entries, args[1]);
    if (entry == nullptr) return Refuse("the " + args[0] + " segment has no entry \"" + args[1] + "\"", "set");
    if (!entry->writable) return Refuse(entry->name + " is read-only", "set");
    std::string error;
    Bytes bytes;
    // An entry a setting row describes is set by the row's rule, as a page sets it (--hex
    // still writes any bytes).
    if (!hex && grshmtool::SetsThroughRow(*entry)) {
        if (!Attach()) return kMissing;
        bytes = ReadEntry(*entry);
        if (!grshmtool::SetThroughRow(*entry, args[2], bytes, &error)) return Refuse(error, "set");
    } else {
        bytes = grshmtool::Encode(*entry, hex ? args[3] : args[2], hex, &error);
        if (bytes.empty()) return Refuse(error, "set");
    }
    if (entry->span.access == grshm::Access::BinaryLog) bytes.resize(entry->span.size - 1u);
    if (!Attach()) return kMissing;
    if (segment->set(entry->number, bytes.data()) != 0) {
        std::fprintf(stderr, "grshm: writing %s failed\n", entry->name.c_str());
        return kMissing;
    }
    if (entry->readable) PrintEntry(*entry, "");
    return kOk;
}

int Post(const std::vector<std::string> &args) {
    if (args.empty()) return Usage("post takes OP [--wait] [--timeout MS]");
    const int code = grshmtool::OperationCode(args[0]);
    if (code < 0) return Refuse("unknown operation \"" + args[0] + "\"", "post");
    bool wait = false;
    unsigned long timeout_ms = 10000;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--wait") {
            wait = true;
        } else if (args[i] == "--timeout" && i + 1 < args.size()) {
            char *end = nullptr;
            timeout_ms = std::strtoul(args[++i].c_str(), &end, 10);
            if (*end != '\0' || timeout_ms > 3600000) return Usage("--timeout takes milliseconds, at most 3600000");
        } else {
            return Usage("unknown option " + args[i]);
        }
    }
    if (!Attach()) return kMissing;
    if (PostMonitorOperate(static_cast<OPERATE_ENTRY>(code), static_cast<unsigned int>(timeout_ms)) != 0) {
        std::fprintf(stderr, "grshm: the mailbox stayed busy for %lu ms; %s was not posted\n", timeout_ms,
                     grshmtool::OperationName(code));
        return kMissing;
    }
    std::printf("posted %s (%d)\n", grshmtool::OperationName(code), code);
    if (!wait) return kOk;
    if (WaitMonitorOperateIdle(static_cast<unsigned int>(timeout_ms)) != 0) {
        std::printf("still OP_EXE after %lu ms: the receiver has not finished it\n", timeout_ms);
        return kMissing;
    }
    const int state = GetMonitorOperateState();
    std::printf("outcome %s (%d)\n", grshmtool::StateName(state), state);
    return kOk;
}

std::atomic<bool> g_stop{false};
void StopWatching(int /*signal*/) {
    g_stop = true;
}

int Watch(const std::vector<std::string> &args) {
    if (args.size() > 1) return Usage("watch takes at most a SEGMENT");
    std::vector<const Segment *> segments;
    for (const Segment &segment : grshmtool::Segments())
        if (args.empty() || args[0] == segment.name) segments.push_back(&segment);
    if (segments.empty()) return Refuse("unknown segment \"" + args[0] + "\" (config, monitor or gnss)", "watch");
    if (!Attach()) return kMissing;
    struct sigaction action {};
    action.sa_handler = StopWatching;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    std::map<std::string, Bytes> last;
    int last_mailbox = -1;
    for (bool first = true; !g_stop; first = false) {
        unsigned char mailbox[2] = {};
        GetMonitorOperate(mailbox);
        const int now = mailbox[0] << 8 | mailbox[1];
        if (now != last_mailbox && !first) {
            const int state = MailboxState(mailbox[1]);
            std::printf("mailbox: %s (%d), %s (%d)\n", grshmtool::OperationName(mailbox[0]), mailbox[0],
                        grshmtool::StateName(state), state);
        }
        last_mailbox = now;
        for (const Segment *segment : segments) {
            for (const Entry &entry : grshmtool::Entries(*segment)) {
                // The mailbox bytes are shown on their own line above.
                if (!entry.readable || entry.number == ENTRY_OP_TYPE || entry.number == ENTRY_OP_STATE) continue;
                const std::string key = std::string(segment->name) + " " + entry.name;
                Bytes bytes = ReadEntry(entry);
                auto known = last.find(key);
                if (known != last.end() && known->second != bytes) {
                    std::printf("%s ", segment->name);
                    std::fputs(grshmtool::DecodedText(entry, bytes).c_str(), stdout);
                }
                last[key] = std::move(bytes);
            }
        }
        std::fflush(stdout);
        usleep(250 * 1000);
    }
    return kOk;
}

}  // namespace

int main(int argc, char **argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) return Usage("no command");
    const std::string &command = words[0];
    const std::vector<std::string> args(words.begin() + 1, words.end());
    if (command == "--help" || command == "help") {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    if (!args.empty() && (args[0] == "--help" || args.back() == "--help")) {
        const auto help = kCommandHelp.find(command);
        if (help == kCommandHelp.end()) return Usage("unknown command \"" + command + "\"");
        std::fputs(help->second.c_str(), stdout);
        return kOk;
    }
    if (command == "status") return args.empty() ? Status() : Usage("status takes no arguments");
    if (command == "get") return Get(args);
    if (command == "dump") return Dump(args);
    if (command == "set") return Set(args);
    if (command == "post") return Post(args);
    if (command == "watch") return Watch(args);
    return Usage("unknown command \"" + command + "\"");
}
