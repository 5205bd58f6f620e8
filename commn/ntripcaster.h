/* Built-in NTRIP caster settings. */
#ifndef GRSHM_NTRIPCASTER_H
#define GRSHM_NTRIPCASTER_H

#include "grshm_common.h"

typedef struct NtripCasterConfig {
    unsigned int port;
    char usr_name[19];
    char pwd[13];
    unsigned char enable; /* nonzero: caster on */
} NtripCasterConfig;

GRSHM_CHECK_SIZE(NtripCasterConfig, 40);
GRSHM_CHECK_ALIGN(NtripCasterConfig, 4);
GRSHM_CHECK_OFFSET(NtripCasterConfig, usr_name, 4);
GRSHM_CHECK_OFFSET(NtripCasterConfig, pwd, 23);
GRSHM_CHECK_OFFSET(NtripCasterConfig, enable, 36);

#endif
