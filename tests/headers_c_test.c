/* The public headers compile as C11, with their layout checks, and link against the
 * library from C. */
#include <stdio.h>

#include "sharememory.h"

int main(void) {
    /* The layout checks ran at compile time; this only shows the binary formats in C. */
    if (sizeof(ReceiverConfigPara) != 18400 || sizeof(MonitorPara) != 34456 || sizeof(GNSSInfo) != 57784) return 1;
    /* A C caller reaches the exported API without name mangling. */
    int (*get)(unsigned char, void *) = GetReceiverConfigParaFromShareMemory;
    return get(ENTRY_SN, NULL) == -1 ? 0 : 1;
}
