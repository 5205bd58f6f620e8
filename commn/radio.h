/* Radio modem settings. */
#ifndef GRSHM_RADIO_H
#define GRSHM_RADIO_H

#include "sample.h"

typedef struct RadioConfig {
    float rx_freq;
    float tx_freq;
    unsigned char sw; /* radio on/off, also its start-up flag */
    unsigned char channel;
    unsigned char mode;
    unsigned char protocol;
    unsigned char power;
    unsigned char fec;
    unsigned char air_baudrate;
    char model[12]; /* radio model name, text */
    char sv[12];    /* radio version, text */
    DiffDSPara RadioDSPara;
} RadioConfig;

GRSHM_CHECK_SIZE(RadioConfig, 1148);
GRSHM_CHECK_ALIGN(RadioConfig, 4);
GRSHM_CHECK_OFFSET(RadioConfig, tx_freq, 4);
GRSHM_CHECK_OFFSET(RadioConfig, sw, 8);
GRSHM_CHECK_OFFSET(RadioConfig, channel, 9);
GRSHM_CHECK_OFFSET(RadioConfig, mode, 10);
GRSHM_CHECK_OFFSET(RadioConfig, protocol, 11);
GRSHM_CHECK_OFFSET(RadioConfig, power, 12);
GRSHM_CHECK_OFFSET(RadioConfig, fec, 13);
GRSHM_CHECK_OFFSET(RadioConfig, air_baudrate, 14);
GRSHM_CHECK_OFFSET(RadioConfig, model, 15);
GRSHM_CHECK_OFFSET(RadioConfig, sv, 27);
GRSHM_CHECK_OFFSET(RadioConfig, RadioDSPara, 40);

#endif
