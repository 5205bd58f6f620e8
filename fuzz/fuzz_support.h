// Shared set-up of the fuzz targets: private segments, never the machine's own.
#pragma once

#include <sched.h>

#include <cstdio>
#include <cstdlib>

#include "sharememory.h"

inline void AttachPrivateSegments() {
    if (unshare(CLONE_NEWIPC) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWIPC) != 0) {
        std::fprintf(stderr, "fuzzing needs a private IPC namespace\n");
        std::abort();
    }
    InitShareMemory();
}
