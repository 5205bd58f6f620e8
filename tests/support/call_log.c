/* Preloaded into a program under test: logs, in the order they happen, every entry the
 * program writes and every operation it posts, one line each, to the file named by
 * GRSHM_CALL_LOG, then passes the call on to the library.
 *   "config 22"   SetReceiverConfigParaToShareMemory(22, ...) or UpdateReceiverConfigParaIfRevision(22, ...);
 *                 UpdateReceiverConfigRangesIfRevision logs one line per entry it writes, in the order
 *                 of its first range there (and fails as a whole when one of them is to fail)
 *   "monitor 9"   SetMonitorParaToShareMemory(9, ...)
 *   "post 11"     PostMonitorOperate(11, ...) or SetMonitorOperate(11)
 * A call whose line equals GRSHM_FAIL_CALL is logged but fails (-1) without reaching the
 * library, as when the segment's lock cannot be taken.
 * With GRSHM_STAMP_BEFORE_UPDATE set to a number, a compare-and-update first writes that
 * number, as the receiver would at that very moment, into one time word of each channel that
 * has them (TCP, UDP: the last Binex slot; NTRIP servers, radio: the last Custom slot). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "sharememory.h"

/* Logs the call; true when it is the one to fail. */
static int LogCall(const char *what, int number) {
    char line[32];
    const int length = snprintf(line, sizeof line, "%s %d\n", what, number);
    const char *path = getenv("GRSHM_CALL_LOG");
    if (path != NULL) {
        const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (fd < 0 || write(fd, line, (size_t)length) != length) abort(); /* a lost line would hide an order */
        close(fd);
    }
    const char *fail = getenv("GRSHM_FAIL_CALL");
    return fail != NULL && strncmp(fail, line, (size_t)length - 1) == 0 && fail[length - 1] == '\0';
}

/* The library's own function of that name (POSIX's way to turn dlsym's result into a
 * function pointer). */
#define NEXT(name)                 \
    __typeof__(&name) next_##name; \
    *(void **)(&next_##name) = dlsym(RTLD_NEXT, #name)

int SetReceiverConfigParaToShareMemory(unsigned char entry, const void *data) {
    NEXT(SetReceiverConfigParaToShareMemory);
    if (LogCall("config", entry)) return -1;
    return next_SetReceiverConfigParaToShareMemory(entry, data);
}

int UpdateReceiverConfigParaIfRevision(unsigned char entry, const void *data, const ConfigByteRange *writes,
                                       unsigned int write_count, const ConfigByteRange *watched,
                                       unsigned int watched_count, unsigned long long revision) {
    NEXT(UpdateReceiverConfigParaIfRevision);
    if (LogCall("config", entry)) return -1;
    const char *stamp = getenv("GRSHM_STAMP_BEFORE_UPDATE");
    if (stamp != NULL) {
        const unsigned int time = (unsigned int)strtoul(stamp, NULL, 10);
        SetReceiverTCPMsgSampleTimestamp(ENTRY_TCP1_CONFIG, MSG_FAMILY_BINEX, 11, time);
        SetReceiverTCPMsgSampleTimestamp(ENTRY_TCP2_CONFIG, MSG_FAMILY_BINEX, 11, time);
        SetReceiverUDPMsgSampleTimestamp(ENTRY_UDP_CONFIG, MSG_FAMILY_BINEX, 11, time);
        SetReceiverNtripServerMsgSampleTimestamp(MSG_FAMILY_CUSTOM, 11, time, 1);
        SetReceiverNtripServerMsgSampleTimestamp(MSG_FAMILY_CUSTOM, 11, time, 2);
        SetReceiverRadioMsgSampleTimestamp(MSG_FAMILY_CUSTOM, 11, time);
    }
    return next_UpdateReceiverConfigParaIfRevision(entry, data, writes, write_count, watched, watched_count, revision);
}

int UpdateReceiverConfigRangesIfRevision(const ConfigRangeWrite *writes, unsigned int write_count,
                                         const ConfigByteRange *watched, unsigned int watched_count,
                                         unsigned long long revision) {
    NEXT(UpdateReceiverConfigRangesIfRevision);
    int fail = 0;
    for (unsigned int i = 0; writes != NULL && i < write_count; ++i) {
        unsigned int first = 0;
        while (writes[first].range.entry != writes[i].range.entry) ++first;
        if (first == i) fail |= LogCall("config", writes[i].range.entry);
    }
    if (fail) return -1;
    return next_UpdateReceiverConfigRangesIfRevision(writes, write_count, watched, watched_count, revision);
}

int SetMonitorParaToShareMemory(unsigned char entry, const void *data) {
    NEXT(SetMonitorParaToShareMemory);
    if (LogCall("monitor", entry)) return -1;
    return next_SetMonitorParaToShareMemory(entry, data);
}

int PostMonitorOperate(OPERATE_ENTRY op, unsigned int timeout_ms) {
    NEXT(PostMonitorOperate);
    if (LogCall("post", op)) return -1;
    return next_PostMonitorOperate(op, timeout_ms);
}

int SetMonitorOperate(OPERATE_ENTRY op) {
    NEXT(SetMonitorOperate);
    if (LogCall("post", op)) return -1;
    return next_SetMonitorOperate(op);
}
