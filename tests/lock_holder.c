/* Takes the configuration segment's lock and keeps it until killed: for checking, across
 * architectures, that a killed holder's lock comes back. */
#include <stdio.h>
#include <unistd.h>

#include "sharememory.h"

int main(void) {
    InitShareMemory();
    if (semaphore_p(OstrelConfig.sem_id) != 0) return 1;
    printf("held\n");
    fflush(stdout);
    for (;;) pause();
}
