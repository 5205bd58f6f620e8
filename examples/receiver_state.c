/* A small process of the receiver's kind, built against the installed library only: prints
 * the work mode, the receiver's position and the operation mailbox. */
#include <stdio.h>

#include "sharememory.h"

int main(void) {
    InitShareMemory(); /* ends the process with a message when the segments cannot be had */
    unsigned char work_mode = 0;
    GGAInfo gga;
    unsigned char mailbox[2];
    if (GetReceiverConfigParaFromShareMemory(ENTRY_WORK_MODE, &work_mode) != 0 ||
        GetGNSSInfoFromShareMemory(ENTRY_GGA, &gga) != 0 || GetMonitorOperate(mailbox) != 0) {
        fprintf(stderr, "receiver_state: a segment's lock could not be taken\n");
        return 1;
    }
    printf("work mode %d\n", work_mode);
    if (gga.available && gga.fix_status != 0)
        printf("position %.6f %c %.6f %c, fix quality %d, %u satellites\n", gga.latitude, gga.latdir, gga.longitude,
               gga.londir, gga.fix_status, gga.fix_satellite);
    else
        printf("no position\n");
    printf("mailbox operation %d, state %d\n", mailbox[0], (signed char)mailbox[1]);
    return 0;
}
