// The four semaphore functions are declared in the public header; this adds the set-up of a
// segment's one-semaphore set, which only the library itself uses.
#pragma once

#include <sys/types.h>

namespace grshm {

// Opens the one-semaphore set under key, creating it if it does not exist. Only the process
// that created the set initialises it to 1; everyone else waits (boundedly) until that has
// happened. Returns the set's identifier, or -1 with errno set.
int OpenLockSet(key_t key);

}  // namespace grshm
