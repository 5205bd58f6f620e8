/* Message switches and message lists of the data channels. */
#ifndef GRSHM_SAMPLE_H
#define GRSHM_SAMPLE_H

#include "grshm_common.h"

/* Data-stream switch of a channel. */
typedef struct MsgSwitchPara {
    unsigned char Enable; /* nonzero: the channel transmits its data stream */
    unsigned char Type;   /* kind of data stream, a receiver daemon code */
} MsgSwitchPara;

/* One message slot of a message list. */
typedef struct MsgCfgPara {
    unsigned short MsgID;    /* set by the receiver daemon */
    signed char Interval;    /* output interval */
    unsigned int time;       /* sample timestamp, stored as the caller passes it */
    unsigned char Available; /* on/off state, nonzero = on */
} MsgCfgPara;

/* Full data stream of a transmitting channel (serial port, TCP, UDP). */
typedef struct TransDSPara {
    MsgSwitchPara Switch;
    MsgCfgPara NMEA[20];
    MsgCfgPara EPH[12];
    MsgCfgPara RTCM23[20];
    MsgCfgPara RTCM30[20];
    MsgCfgPara RTCM32[32];
    MsgCfgPara CMR[8];
    MsgCfgPara Binex[12];
    MsgCfgPara QX[12];
    MsgCfgPara Weather[6];
    MsgCfgPara Custom[12];
} TransDSPara;

/* Data stream of a differential-correction channel (NTRIP server, radio). */
typedef struct DiffDSPara {
    MsgSwitchPara Switch;
    MsgCfgPara RTCM23[20];
    MsgCfgPara RTCM30[20];
    MsgCfgPara RTCM32[32];
    MsgCfgPara CMR[8];
    MsgCfgPara Custom[12];
} DiffDSPara;

GRSHM_CHECK_SIZE(MsgSwitchPara, 2);
GRSHM_CHECK_ALIGN(MsgSwitchPara, 1);
GRSHM_CHECK_OFFSET(MsgSwitchPara, Type, 1);

GRSHM_CHECK_SIZE(MsgCfgPara, 12);
GRSHM_CHECK_ALIGN(MsgCfgPara, 4);
GRSHM_CHECK_OFFSET(MsgCfgPara, Interval, 2);
GRSHM_CHECK_OFFSET(MsgCfgPara, time, 4);
GRSHM_CHECK_OFFSET(MsgCfgPara, Available, 8);

GRSHM_CHECK_SIZE(TransDSPara, 1852);
GRSHM_CHECK_ALIGN(TransDSPara, 4);
GRSHM_CHECK_OFFSET(TransDSPara, NMEA, 4);
GRSHM_CHECK_OFFSET(TransDSPara, EPH, 244);
GRSHM_CHECK_OFFSET(TransDSPara, RTCM23, 388);
GRSHM_CHECK_OFFSET(TransDSPara, RTCM30, 628);
GRSHM_CHECK_OFFSET(TransDSPara, RTCM32, 868);
GRSHM_CHECK_OFFSET(TransDSPara, CMR, 1252);
GRSHM_CHECK_OFFSET(TransDSPara, Binex, 1348);
GRSHM_CHECK_OFFSET(TransDSPara, QX, 1492);
GRSHM_CHECK_OFFSET(TransDSPara, Weather, 1636);
GRSHM_CHECK_OFFSET(TransDSPara, Custom, 1708);
GRSHM_CHECK_OFFSET(TransDSPara, NMEA[0].time, 8);
GRSHM_CHECK_OFFSET(TransDSPara, Custom[11].Available, 1848);

GRSHM_CHECK_SIZE(DiffDSPara, 1108);
GRSHM_CHECK_ALIGN(DiffDSPara, 4);
GRSHM_CHECK_OFFSET(DiffDSPara, RTCM23, 4);
GRSHM_CHECK_OFFSET(DiffDSPara, RTCM30, 244);
GRSHM_CHECK_OFFSET(DiffDSPara, RTCM32, 484);
GRSHM_CHECK_OFFSET(DiffDSPara, CMR, 868);
GRSHM_CHECK_OFFSET(DiffDSPara, Custom, 964);

#endif
