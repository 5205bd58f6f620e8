/* The GNSS information segment: decoded GGA record and the segment's record. */
#ifndef GRSHM_GNSS_H
#define GRSHM_GNSS_H

#include "grshm_common.h"

/* Fields of an NMEA 0183 GGA sentence, in sentence order, as decoded by the writer. */
typedef struct GGAInfo {
    float utc;
    double latitude; /* ddmm.mmmm */
    unsigned char latdir;
    double longitude; /* dddmm.mmmm */
    unsigned char londir;
    unsigned char fix_status; /* 0: no position */
    unsigned short fix_satellite;
    float hdop;
    double altitude;
    unsigned char alt_unit;
    float undulation;
    unsigned char und_unit;
    unsigned char age;
    unsigned int station_id;
    unsigned char checksum;
    unsigned char available;
} GGAInfo;

GRSHM_CHECK_SIZE(GGAInfo, 72);
GRSHM_CHECK_ALIGN(GGAInfo, 8);
GRSHM_CHECK_OFFSET(GGAInfo, latitude, 8);
GRSHM_CHECK_OFFSET(GGAInfo, latdir, 16);
GRSHM_CHECK_OFFSET(GGAInfo, longitude, 24);
GRSHM_CHECK_OFFSET(GGAInfo, londir, 32);
GRSHM_CHECK_OFFSET(GGAInfo, fix_status, 33);
GRSHM_CHECK_OFFSET(GGAInfo, fix_satellite, 34);
GRSHM_CHECK_OFFSET(GGAInfo, hdop, 36);
GRSHM_CHECK_OFFSET(GGAInfo, altitude, 40);
GRSHM_CHECK_OFFSET(GGAInfo, alt_unit, 48);
GRSHM_CHECK_OFFSET(GGAInfo, undulation, 52);
GRSHM_CHECK_OFFSET(GGAInfo, und_unit, 56);
GRSHM_CHECK_OFFSET(GGAInfo, age, 57);
GRSHM_CHECK_OFFSET(GGAInfo, station_id, 60);
GRSHM_CHECK_OFFSET(GGAInfo, checksum, 64);
GRSHM_CHECK_OFFSET(GGAInfo, available, 65);

#define GNSS_GSV_SENTENCES 8
#define GNSS_GSV_SENTENCE_BYTES 128
#define GNSS_GSV_SLOTS 5
#define GNSS_BINARY_LOG_BYTES 10240

/* Latest GSV sentences of one satellite system: sentence n (1 to 8) at Sentence[n - 1]. */
typedef struct GSVSlot {
    char Sentence[GNSS_GSV_SENTENCES][GNSS_GSV_SENTENCE_BYTES];
    unsigned char Control[GNSS_GSV_SENTENCES];
} GSVSlot;

/* What a writer passes with ENTRY_GSV. */
typedef struct GSVInput {
    char Sentence[GNSS_GSV_SENTENCE_BYTES];
    unsigned char System; /* slot 0 GPS, 1 BeiDou, 2 GLONASS, 3 Galileo, 4 fifth slot */
    unsigned char Number; /* sentence number 1 to 8; 0 stores nothing */
    unsigned char Control;
} GSVInput;

/* A binary log area keeps one zero byte after the largest log. */
typedef struct GNSSBinaryLog {
    unsigned char Data[GNSS_BINARY_LOG_BYTES];
    unsigned char Terminator;
} GNSSBinaryLog;

/* The whole GNSS information segment. */
typedef struct GNSSInfo {
    char GGA_MSG[128];
    char M925A[4000];
    char TIMEA[300];
    char BESTPOSA[300];
    char PSRDOPA[300];
    char HEADING_MSG[200];
    char GST_MSG[128];
    char RMC_MSG[128];
    char SATSA_MSG[3000];
    char GPFMI_MSG[200];
    char FIXRLS_MSG[200];
    GGAInfo GGA;
    unsigned char ZDA[12];
    GSVSlot GSV[GNSS_GSV_SLOTS];
    unsigned char M925[2372];
    unsigned char DOP[24];
    unsigned char XYZ[32];
    GNSSBinaryLog M925B;
    GNSSBinaryLog BESTPOSB;
    GNSSBinaryLog TIMEB;
    GNSSBinaryLog PSRDOPB;
    char ZDA_MSG[128];
    char BASEINFOA_MSG[128];
} GNSSInfo;

GRSHM_CHECK_SIZE(GSVSlot, 1032);
GRSHM_CHECK_OFFSET(GSVSlot, Control, 1024);
GRSHM_CHECK_SIZE(GSVInput, 131);
GRSHM_CHECK_OFFSET(GSVInput, System, 128);
GRSHM_CHECK_OFFSET(GSVInput, Number, 129);
GRSHM_CHECK_OFFSET(GSVInput, Control, 130);
GRSHM_CHECK_SIZE(GNSSBinaryLog, 10241);

GRSHM_CHECK_SIZE(GNSSInfo, 57784);
GRSHM_CHECK_ALIGN(GNSSInfo, 8);
GRSHM_CHECK_OFFSET(GNSSInfo, M925A, 128);
GRSHM_CHECK_OFFSET(GNSSInfo, TIMEA, 4128);
GRSHM_CHECK_OFFSET(GNSSInfo, BESTPOSA, 4428);
GRSHM_CHECK_OFFSET(GNSSInfo, PSRDOPA, 4728);
GRSHM_CHECK_OFFSET(GNSSInfo, HEADING_MSG, 5028);
GRSHM_CHECK_OFFSET(GNSSInfo, GST_MSG, 5228);
GRSHM_CHECK_OFFSET(GNSSInfo, RMC_MSG, 5356);
GRSHM_CHECK_OFFSET(GNSSInfo, SATSA_MSG, 5484);
GRSHM_CHECK_OFFSET(GNSSInfo, GPFMI_MSG, 8484);
GRSHM_CHECK_OFFSET(GNSSInfo, FIXRLS_MSG, 8684);
GRSHM_CHECK_OFFSET(GNSSInfo, GGA, 8888);
GRSHM_CHECK_OFFSET(GNSSInfo, ZDA, 8960);
GRSHM_CHECK_OFFSET(GNSSInfo, GSV, 8972);
GRSHM_CHECK_OFFSET(GNSSInfo, GSV[4], 13100);
GRSHM_CHECK_OFFSET(GNSSInfo, M925, 14132);
GRSHM_CHECK_OFFSET(GNSSInfo, DOP, 16504);
GRSHM_CHECK_OFFSET(GNSSInfo, XYZ, 16528);
GRSHM_CHECK_OFFSET(GNSSInfo, M925B, 16560);
GRSHM_CHECK_OFFSET(GNSSInfo, BESTPOSB, 26801);
GRSHM_CHECK_OFFSET(GNSSInfo, TIMEB, 37042);
GRSHM_CHECK_OFFSET(GNSSInfo, PSRDOPB, 47283);
GRSHM_CHECK_OFFSET(GNSSInfo, ZDA_MSG, 57524);
GRSHM_CHECK_OFFSET(GNSSInfo, BASEINFOA_MSG, 57652);

#endif
