/* What the static C++ runtime of this compiler asks of the C library and a board's older one
 * lacks. __libc_single_threaded (glibc 2.32 and later) tells the runtime it may skip atomic
 * reference counts; 0, "there may be other threads", keeps every count atomic: always correct. */
char __libc_single_threaded = 0; /* NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp) */
