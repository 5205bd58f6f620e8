/* Preloaded into a program under test: logs, in the order they happen, every entry the
 * program writes and every operation it posts, one line each, to the file named by
 * GRSHM_CALL_LOG, then passes the call on to the library.
 *   "config 22"   SetReceiverConfigParaToShareMemory(22, ...)
 *   "monitor 9"   SetMonitorParaToShareMemory(9, ...)
 *   "post 11"     PostMonitorOperate(11, ...) or SetMonitorOperate(11) */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "sharememory.h"

static void LogCall(const char *what, int number) {
    const char *path = getenv("GRSHM_CALL_LOG");
    if (path == NULL) return;
    char line[32];
    const int length = snprintf(line, sizeof line, "%s %d\n", what, number);
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0) return;
    if (write(fd, line, (size_t)length) != length) abort(); /* a lost line would hide an order */
    close(fd);
}

/* The library's own function of that name (POSIX's way to turn dlsym's result into a
 * function pointer). */
#define NEXT(name)                 \
    __typeof__(&name) next_##name; \
    *(void **)(&next_##name) = dlsym(RTLD_NEXT, #name)

int SetReceiverConfigParaToShareMemory(unsigned char entry, const void *data) {
    NEXT(SetReceiverConfigParaToShareMemory);
    LogCall("config", entry);
    return next_SetReceiverConfigParaToShareMemory(entry, data);
}

int SetMonitorParaToShareMemory(unsigned char entry, const void *data) {
    NEXT(SetMonitorParaToShareMemory);
    LogCall("monitor", entry);
    return next_SetMonitorParaToShareMemory(entry, data);
}

int PostMonitorOperate(OPERATE_ENTRY op, unsigned int timeout_ms) {
    NEXT(PostMonitorOperate);
    LogCall("post", op);
    return next_PostMonitorOperate(op, timeout_ms);
}

int SetMonitorOperate(OPERATE_ENTRY op) {
    NEXT(SetMonitorOperate);
    LogCall("post", op);
    return next_SetMonitorOperate(op);
}
