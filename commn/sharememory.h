/* libgrshm: the receiver's shared state in three System V shared-memory segments.
 *
 * Every process calls InitShareMemory once before any other function. Each accessor takes
 * exactly one segment's lock for its one copy and releases it; a sequence of calls is not
 * atomic. Entry numbers travel as one unsigned byte; data travels through a caller-owned
 * buffer of at least the entry's size.
 *
 * Caveats:
 * - InitShareMemory and DeleteShareMemory end the process (exit status 1, one line on standard
 *   error) when a segment or set cannot be had; DeleteShareMemory ends it with status 0 on
 *   success. Call them where ending the process is acceptable.
 * - Every other failure is a result of -1 and a line printed with perror (for example
 *   "P operation: Resource temporarily unavailable"); the functions never exit or abort.
 * - A lock is never waited for longer than GRSHM_LOCK_TIMEOUT_MS; past it the call touches
 *   nothing and returns -1.
 * - A holder killed in the middle of a copy gives its lock back (SEM_UNDO), but the entry it
 *   was copying may be left half written.
 * - Functions that return a stored value as int (the recorder fields, the stream switches)
 *   also return -1 for a failed lock; a stored value that reads as -1 cannot be told from it.
 * - Nothing here is thread-safe beyond what the locks give: the handles are process globals. */
#ifndef GRSHM_SHAREMEMORY_H
#define GRSHM_SHAREMEMORY_H

#include "gnss.h"
#include "ntripcaster.h"
#include "ostrel.h"
#include "radio.h"
#include "sample.h"

/* ---- Segments and keys ------------------------------------------------------------------ */

#define CONFIG_SEM_KEY 3000
#define CONFIG_SHM_KEY 3456
#define MONITOR_SEM_KEY 4000
#define MONITOR_SHM_KEY 4567
#define GNSS_SEM_KEY 2000
#define GNSS_SHM_KEY 2345

/* Process-local handle of one segment. */
typedef struct ShareMemoryHandle {
    void *shm_addr;  /* address returned by the attach */
    void *base_addr; /* address through which every entry accessor works */
    int shm_id;
    int sem_id;
} ShareMemoryHandle;

/* ---- Configuration segment -------------------------------------------------------------- */

typedef enum CONFIG_ENTRY {
    ENTRY_SN = 0,
    ENTRY_HWV = 1,
    ENTRY_SWV = 2,
    ENTRY_RTKV = 3,
    ENTRY_PN = 4,
    ENTRY_BOOTV = 5,
    ENTRY_RDV = 6,
    ENTRY_DPV = 7,
    ENTRY_SWD = 8,
    ENTRY_MAC = 9,
    ENTRY_IP = 10,
    ENTRY_NETMASK = 11,
    ENTRY_GATEWAY = 12,
    ENTRY_DNS1 = 13,
    ENTRY_DNS2 = 14,
    ENTRY_HTTP_PORT = 15,
    ENTRY_FTP_PORT = 16,
    ENTRY_DN = 17,
    ENTRY_AUTO_IP = 18,
    ENTRY_STATION_MODE = 21,
    ENTRY_STATION_ID = 22,
    ENTRY_WORK_MODE = 23,
    ENTRY_PPS_ENABLE = 24,
    ENTRY_EVENT_ENABLE = 25,
    ENTRY_PDOP_LIMIT = 26,
    ENTRY_MASK_ANGLE = 27,
    ENTRY_FREQ_TRACK = 28,
    ENTRY_MOOTH_FLAG = 29,
    ENTRY_GPS_ENABLE = 30,
    ENTRY_BD_ENABLE = 31,
    ENTRY_GLO_ENABLE = 32,
    ENTRY_GAL_ENABLE = 33,
    ENTRY_QZSS_ENABLE = 34,
    ENTRY_SBAS_ENABLE = 35,
    ENTRY_CALL_CONFIG = 36,
    ENTRY_STATION_POS = 37,
    ENTRY_RHI = 38,
    ENTRY_ANTENNA_INFO = 39,
    ENTRY_REC1_CONFIG = 40,
    ENTRY_REC2_CONFIG = 41,
    ENTRY_REC1_PFN = 42,
    ENTRY_REC2_PFN = 43,
    ENTRY_SP1_CONFIG = 44,
    ENTRY_SP2_CONFIG = 45,
    ENTRY_TCP1_CONFIG = 46,
    ENTRY_TCP2_CONFIG = 47,
    ENTRY_NC_CONFIG = 48,
    ENTRY_NS1_CTRL = 49,
    ENTRY_NS1_CONFIG = 50,
    ENTRY_NS2_CTRL = 51,
    ENTRY_NS2_CONFIG = 52,
    ENTRY_FTP1_CONFIG = 53,
    ENTRY_FTP2_CONFIG = 54,
    ENTRY_MA_CONFIG = 55,
    ENTRY_WLAN_CONFIG = 56,
    ENTRY_RADIO_CONFIG = 57,
    ENTRY_RADIO_MESSAGE = 58,
    ENTRY_BT_CONFIG = 59,
    ENTRY_DDNS_CONFIG = 60,
    ENTRY_NATAPP_CONFIG = 61,
    ENTRY_NGROK_CONFIG = 62,
    ENTRY_NA_CONFIG = 63,
    ENTRY_USER = 64,
    ENTRY_PAWD = 65,
    ENTRY_INS = 66,
    ENTRY_SYSDSPARA_CONFIG = 67,
    ENTRY_BTDSPARA_CONFIG = 68,
    ENTRY_IMU_PARA = 69,
    ENTRY_IMU_STATUS = 70,
    ENTRY_HEADING_OFFSET = 71,
    ENTRY_SMARTBASE1_CONFIG = 72,
    ENTRY_SMARTBASE2_CONFIG,
    ENTRY_SMARTBASE3_CONFIG,
    ENTRY_SMARTBASE4_CONFIG,
    ENTRY_SMARTBASE5_CONFIG,
    ENTRY_SMARTBASE6_CONFIG,
    ENTRY_SMARTBASE7_CONFIG,
    ENTRY_SMARTBASE8_CONFIG,
    ENTRY_SMARTBASE9_CONFIG,
    ENTRY_SMARTBASE10_CONFIG,
    ENTRY_SMARTBASE11_CONFIG,
    ENTRY_SMARTBASE12_CONFIG,
    ENTRY_SMARTBASE13_CONFIG,
    ENTRY_SMARTBASE14_CONFIG,
    ENTRY_SMARTBASE15_CONFIG,
    ENTRY_SMARTBASE16_CONFIG,
    ENTRY_SMARTBASE17_CONFIG,
    ENTRY_SMARTBASE18_CONFIG,
    ENTRY_SMARTBASE19_CONFIG,
    ENTRY_SMARTBASE20_CONFIG,
    ENTRY_SMARTBASE21_CONFIG,
    ENTRY_SMARTBASE22_CONFIG,
    ENTRY_SMARTBASE23_CONFIG,
    ENTRY_SMARTBASE24_CONFIG,
    ENTRY_SMARTBASE25_CONFIG,
    ENTRY_SMARTBASE26_CONFIG,
    ENTRY_SMARTBASE27_CONFIG,
    ENTRY_SMARTBASE28_CONFIG,
    ENTRY_SMARTBASE29_CONFIG,
    ENTRY_SMARTBASE30_CONFIG = 101,
    ENTRY_UDP_CONFIG = 102,
    ENTRY_REC_ANTENNA = 103,
    ENTRY_SMARTBASE_INDEX = 104
} CONFIG_ENTRY;

#define SMARTBASE_STATIONS 30

/* Recording configuration of one recorder. */
typedef struct RecConfig {
    char FolderName[17];
    char MarkName[12];
    unsigned char reserved29;
    unsigned char FileType;
    unsigned char RecMode;
    unsigned int RecInterval;
    unsigned int MaxSpace;
    unsigned int FreeSpace;
    unsigned char CircularFlag;
    unsigned char reserved45[3];
    unsigned char Antenna[44];
    unsigned char reserved92[532];
} RecConfig;

GRSHM_STATIC_ASSERT(ENTRY_SMARTBASE29_CONFIG == 100, "SmartBase entries are numbered 72 to 101");

GRSHM_CHECK_SIZE(RecConfig, 624);
GRSHM_CHECK_OFFSET(RecConfig, MarkName, 17);
GRSHM_CHECK_OFFSET(RecConfig, FileType, 30);
GRSHM_CHECK_OFFSET(RecConfig, RecMode, 31);
GRSHM_CHECK_OFFSET(RecConfig, RecInterval, 32);
GRSHM_CHECK_OFFSET(RecConfig, MaxSpace, 36);
GRSHM_CHECK_OFFSET(RecConfig, FreeSpace, 40);
GRSHM_CHECK_OFFSET(RecConfig, CircularFlag, 44);
GRSHM_CHECK_OFFSET(RecConfig, Antenna, 48);

/* IMU parameters; their last four bytes are the IMU status entry. */
typedef struct ImuPara {
    unsigned char Para[60];
    unsigned char Status[4];
} ImuPara;

GRSHM_CHECK_SIZE(ImuPara, 64);

/* The whole configuration segment. Reserved bytes belong to no entry. */
typedef struct ReceiverConfigPara {
    char SN[16];
    char HWV[8];
    char SWV[16];
    char RTKV[16];
    char PN[16];
    char BOOTV[16];
    char RDV[16];
    char DPV[16];
    char SWD[11];
    unsigned char reserved131[1];
    unsigned char MAC[24];
    Ipv4Words IP;
    Ipv4Words NETMASK;
    Ipv4Words GATEWAY;
    Ipv4Words DNS1;
    Ipv4Words DNS2;
    unsigned int HTTP_PORT;
    unsigned int FTP_PORT;
    char DN[8];
    unsigned char AUTO_IP;
    unsigned char reserved253[56];
    char STATION_ID[16];
    unsigned char WORK_MODE; /* a ROLEKIND_TYPE value */
    unsigned char PPS_ENABLE;
    unsigned char EVENT_ENABLE;
    unsigned int PDOP_LIMIT;
    unsigned int MASK_ANGLE;
    unsigned char MOOTH_FLAG;
    unsigned char GPS_ENABLE;
    unsigned char BD_ENABLE;
    unsigned char GLO_ENABLE;
    unsigned char GAL_ENABLE;
    unsigned char QZSS_ENABLE;
    unsigned char SBAS_ENABLE[2];
    unsigned char CALL_CONFIG[101];
    Coordinates STATION_POS;
    unsigned char RHI[60];
    unsigned char ANTENNA_INFO[44];
    RecConfig REC1;
    RecConfig REC2;
    SerialPortConfig SP1;
    SerialPortConfig SP2;
    EthTCPConfig TCP1;
    EthTCPConfig TCP2;
    UDPConfig UDP;
    NtripClientConfig NC;
    NtripServerConfig NS1;
    NtripServerConfig NS2;
    NtripCasterConfig NA;
    unsigned char SYSDSPARA[216];
    MsgCfgPara BTDSPARA[18];
    unsigned char WLAN[152];
    RadioConfig RADIO;
    unsigned char BT[29];
    unsigned char DDNS[117];
    unsigned char NATAPP[67];
    unsigned char NGROK[139];
    char USER[16];
    char PAWD[16];
    unsigned char INS[40];
    ImuPara IMU_PARA;
    unsigned int HEADING_OFFSET;
    SmartBaseInfo SMARTBASE[SMARTBASE_STATIONS];
    unsigned short SMARTBASE_INDEX;
} ReceiverConfigPara;

/* Byte 24 of the Bluetooth settings is its data-stream switch. */
#define BT_CONFIG_STREAM_SWITCH 24

GRSHM_CHECK_SIZE(ReceiverConfigPara, 18400);
GRSHM_CHECK_ALIGN(ReceiverConfigPara, 8);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, HWV, 16);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SWV, 24);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, RTKV, 40);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, PN, 56);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, BOOTV, 72);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, RDV, 88);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, DPV, 104);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SWD, 120);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, MAC, 132);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, IP, 156);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NETMASK, 172);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, GATEWAY, 188);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, DNS1, 204);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, DNS2, 220);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, HTTP_PORT, 236);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, FTP_PORT, 240);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, DN, 244);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, AUTO_IP, 252);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, STATION_ID, 309);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, WORK_MODE, 325);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, PPS_ENABLE, 326);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, EVENT_ENABLE, 327);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, PDOP_LIMIT, 328);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, MASK_ANGLE, 332);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, MOOTH_FLAG, 336);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, GPS_ENABLE, 337);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, QZSS_ENABLE, 341);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SBAS_ENABLE, 342);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, CALL_CONFIG, 344);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, STATION_POS, 448);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, RHI, 496);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, ANTENNA_INFO, 556);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, REC1, 600);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, REC2, 1224);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SP1, 1848);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SP2, 3708);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, TCP1, 5568);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, TCP2, 7472);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, UDP, 9376);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NC, 11280);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NS1, 11436);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NS2, 12700);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NA, 13964);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SYSDSPARA, 14004);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, BTDSPARA, 14220);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, WLAN, 14436);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, RADIO, 14588);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, BT, 15736);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, DDNS, 15765);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NATAPP, 15882);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NGROK, 15949);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, USER, 16088);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, PAWD, 16104);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, INS, 16120);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, IMU_PARA, 16160);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, IMU_PARA.Status, 16220);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, HEADING_OFFSET, 16224);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SMARTBASE, 16232);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SMARTBASE[0].available, 16296);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SMARTBASE[29], 18320);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, SMARTBASE_INDEX, 18392);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, REC1.RecInterval, 632);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, REC2.Antenna, 1272);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, TCP1.TCPDSPara.NMEA[0].time, 5624);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, NS2.ServerDSPara.RTCM32[1].time, 13356);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, BTDSPARA[17].time, 14428);
GRSHM_CHECK_OFFSET(ReceiverConfigPara, BT[BT_CONFIG_STREAM_SWITCH], 15760);

/* ---- Monitor segment --------------------------------------------------------------------- */

typedef enum MONITOR_ENTRY {
    ENTRY_NULL = 0,
    ENTRY_TEMP = 1,
    ENTRY_ALL_SPACE = 2,
    ENTRY_FREE_SPACE = 3,
    ENTRY_TCP1_LINK = 4,
    ENTRY_TCP2_LINK = 5,
    ENTRY_REC1_STATE = 6,
    ENTRY_REC2_STATE = 7,
    ENTRY_CUR_POS = 8,
    ENTRY_STATION_STATE = 9,
    ENTRY_ROVER_STATE = 10,
    ENTRY_NC_STATE = 11,
    ENTRY_GET_NST = 12,
    ENTRY_NST = 13,
    ENTRY_NS1_STATE = 14,
    ENTRY_NS2_STATE = 15,
    ENTRY_CALL_INFO = 16,
    ENTRY_CALL_STATE = 17,
    ENTRY_CONFIG_ENTRY = 18,
    ENTRY_DSPARA_UPDATE = 19,
    ENTRY_SMARTBASE_ID = 21,
    ENTRY_WEB_STATE = 22,
    ENTRY_FW_STATE = 23,
    ENTRY_MATCH_AT = 24,
    ENTRY_ANT_TYPE = 25,
    ENTRY_GNSS_VERS = 26,
    ENTRY_RUNTIME = 27,
    ENTRY_DELFILE = 28,
    ENTRY_GNSS_MODULE = 29,
    ENTRY_BATTERY_EQ = 30,
    ENTRY_POWER_SUPPLY = 31,
    ENTRY_LED_BLINK = 32,
    ENTRY_BT_CLIENT = 33,
    ENTRY_POWER_OFF = 34,
    ENTRY_PPK = 35,
    ENTRY_REC_TIMER = 36
} MONITOR_ENTRY;

typedef enum OPERATE_STATE { OP_FAILED = -1, OP_COMPLETE = 0, OP_ENABLE = 1, OP_EXE = 2, OP_SUCCESS = 3 } OPERATE_STATE;

typedef enum OPERATE_ENTRY {
    ENTRY_NULL_OP = 0,
    ENTRY_IP_OP = 1,
    ENTRY_NETMASK_OP = 2,
    ENTRY_GATEWAY_OP = 3,
    ENTRY_DNS1_OP = 4,
    ENTRY_DNS2_OP = 5,
    ENTRY_HPORT_OP = 6,
    ENTRY_FPORT_OP = 7,
    ENTRY_DN_OP = 8,
    ENTRY_DHCP_OP = 9,
    ENTRY_SID_OP = 11,
    ENTRY_WMODE_OP = 12,
    ENTRY_PPS_OP = 13,
    ENTRY_EVENT_OP = 14,
    ENTRY_MANGLE_OP = 15,
    ENTRY_MOOTH_OP = 16,
    ENTRY_GPSE_OP = 17,
    ENTRY_BDE_OP = 18,
    ENTRY_GLOE_OP = 19,
    ENTRY_GALE_OP = 20,
    ENTRY_QZSS_OP = 21,
    ENTRY_SBAS_OP = 22,
    ENTRY_CALL_OP = 23,
    ENTRY_SPOS_OP = 24,
    ENTRY_RHI_OP = 25,
    ENTRY_ANT_OP = 26,
    ENTRY_REC1_OP = 27,
    ENTRY_REC2_OP = 28,
    ENTRY_SP1_OP = 29,
    ENTRY_SP2_OP = 30,
    ENTRY_TCP1_OP = 31,
    ENTRY_TCP2_OP = 32,
    ENTRY_FTP1_OP = 33,
    ENTRY_FTP2_OP = 34,
    ENTRY_MALARM_OP = 35,
    ENTRY_STATION_OP = 36,
    ENTRY_FORMAT_OP = 37,
    ENTRY_CLEANEPH_OP = 38,
    ENTRY_RESTORE_OP = 39,
    ENTRY_RESTART_OP = 40,
    ENTRY_SHUTDOWN_OP = 41,
    ENTRY_REC1_STATE_OP = 42,
    ENTRY_REC2_STATE_OP = 43,
    ENTRY_GPOS_OP = 44,
    ENTRY_GNST_OP = 45,
    ENTRY_UPDATEF_OP = 46,
    ENTRY_UPDATEP_OP = 47,
    ENTRY_UPDATEG_OP = 48,
    ENTRY_CONFIG_OP = 49,
    ENTRY_OP_TYPE = 50,  /* also the Get selector of the mailbox operation code */
    ENTRY_OP_STATE = 51, /* also the Get selector of the mailbox state */
    ENTRY_OP_SUCCESS = 52,
    ENTRY_OP_FAILED = 53,
    ENTRY_WLAN_OP = 54,
    ENTRY_DELFILE_OP = 55,
    ENTRY_UPDATEW_OP = 56,
    ENTRY_RADIO_OP = 57,
    ENTRY_RESTORE_LIGHTTPD_OP = 58,
    ENTRY_NS1_OP = 59,
    ENTRY_NS2_OP = 60,
    ENTRY_NC_OP = 61,
    ENTRY_RADIO_PARA_OP = 62,
    ENTRY_BT_OP = 63,
    ENTRY_DDNS_OP = 64,
    ENTRY_NATAPP_OP = 65,
    ENTRY_NGROK_OP = 66,
    ENTRY_NA_OP = 67,
    ENTRY_INS_OP = 68,
    ENTRY_ETH_OP = 69,
    ENTRY_PASSWORD_OP = 70,
    ENTRY_IMU_HOLDER_OP = 71,
    ENTRY_IMU_MAC_ENABLE_OP = 72,
    ENTRY_IMU_MAC_DISABLE_OP = 73,
    ENTRY_IMU_FIXRLS_EN_OP = 74,
    ENTRY_HEADING_OFFSET_OP = 75,
    ENTRY_SMARTBASE_OP = 76,
    ENTRY_UDP_OP = 77,
    ENTRY_PPP_ENABLE_OP = 78,
    ENTRY_PPP_DISABLE_OP = 79,
    ENTRY_UPDATEI_OP = 80,
    ENTRY_UPDATER_OP = 81,
    ENTRY_NA_NS1_OP = 82,
    ENTRY_KEV5_MODE_OP = 83
} OPERATE_ENTRY;

/* Call information; its byte 453 is the call state entry. */
typedef struct CallInfo {
    unsigned char Info[453];
    unsigned char State;
    unsigned char Tail[2];
} CallInfo;

GRSHM_CHECK_SIZE(CallInfo, 456);

/* The whole monitor segment, with the two-byte operation mailbox at 13330. */
typedef struct MonitorPara {
    unsigned char POWER_SUPPLY;
    unsigned char TEMP;
    unsigned char BATTERY_EQ;
    unsigned char LED_BLINK;
    unsigned int ALL_SPACE;
    unsigned int FREE_SPACE;
    unsigned char TCP1_LINK;
    unsigned char TCP2_LINK;
    unsigned char REC1_STATE;
    unsigned char REC2_STATE;
    Coordinates CUR_POS;
    unsigned char STATION_STATE; /* a STATION_STATE value */
    unsigned char NC_STATE;
    unsigned char NS1_STATE;
    unsigned char NS2_STATE;
    unsigned char NST[12800];
    unsigned char GET_NST;
    unsigned char reserved12869[3];
    CallInfo CALL_INFO;
    unsigned char reserved13328;
    unsigned char DSPARA_UPDATE;
    unsigned char OperateCode; /* mailbox: an OPERATE_ENTRY value */
    signed char OperateState;  /* mailbox: an OPERATE_STATE value, OP_FAILED is 0xFF */
    unsigned char GNSS_MODULE;
    unsigned char reserved13333;
    unsigned char SMARTBASE_ID;
    unsigned char WEB_STATE;
    unsigned char FW_STATE;
    unsigned char MATCH_AT;
    unsigned char ANT_TYPE[21000];
    unsigned char GNSS_VERS[24];
    unsigned char DELFILE[46];
    unsigned char reserved34408[4];
    unsigned int RUNTIME;
    unsigned char BT_CLIENT;
    unsigned char POWER_OFF;
    unsigned char PPK[20];
    unsigned char reserved34438[2];
    unsigned char REC_TIMER[12];
} MonitorPara;

GRSHM_CHECK_SIZE(MonitorPara, 34456);
GRSHM_CHECK_ALIGN(MonitorPara, 8);
GRSHM_CHECK_OFFSET(MonitorPara, TEMP, 1);
GRSHM_CHECK_OFFSET(MonitorPara, BATTERY_EQ, 2);
GRSHM_CHECK_OFFSET(MonitorPara, LED_BLINK, 3);
GRSHM_CHECK_OFFSET(MonitorPara, ALL_SPACE, 4);
GRSHM_CHECK_OFFSET(MonitorPara, FREE_SPACE, 8);
GRSHM_CHECK_OFFSET(MonitorPara, TCP1_LINK, 12);
GRSHM_CHECK_OFFSET(MonitorPara, REC1_STATE, 14);
GRSHM_CHECK_OFFSET(MonitorPara, REC2_STATE, 15);
GRSHM_CHECK_OFFSET(MonitorPara, CUR_POS, 16);
GRSHM_CHECK_OFFSET(MonitorPara, STATION_STATE, 64);
GRSHM_CHECK_OFFSET(MonitorPara, NC_STATE, 65);
GRSHM_CHECK_OFFSET(MonitorPara, NS1_STATE, 66);
GRSHM_CHECK_OFFSET(MonitorPara, NS2_STATE, 67);
GRSHM_CHECK_OFFSET(MonitorPara, NST, 68);
GRSHM_CHECK_OFFSET(MonitorPara, GET_NST, 12868);
GRSHM_CHECK_OFFSET(MonitorPara, CALL_INFO, 12872);
GRSHM_CHECK_OFFSET(MonitorPara, CALL_INFO.State, 13325);
GRSHM_CHECK_OFFSET(MonitorPara, DSPARA_UPDATE, 13329);
GRSHM_CHECK_OFFSET(MonitorPara, OperateCode, 13330);
GRSHM_CHECK_OFFSET(MonitorPara, OperateState, 13331);
GRSHM_CHECK_OFFSET(MonitorPara, GNSS_MODULE, 13332);
GRSHM_CHECK_OFFSET(MonitorPara, SMARTBASE_ID, 13334);
GRSHM_CHECK_OFFSET(MonitorPara, WEB_STATE, 13335);
GRSHM_CHECK_OFFSET(MonitorPara, FW_STATE, 13336);
GRSHM_CHECK_OFFSET(MonitorPara, MATCH_AT, 13337);
GRSHM_CHECK_OFFSET(MonitorPara, ANT_TYPE, 13338);
GRSHM_CHECK_OFFSET(MonitorPara, GNSS_VERS, 34338);
GRSHM_CHECK_OFFSET(MonitorPara, DELFILE, 34362);
GRSHM_CHECK_OFFSET(MonitorPara, RUNTIME, 34412);
GRSHM_CHECK_OFFSET(MonitorPara, BT_CLIENT, 34416);
GRSHM_CHECK_OFFSET(MonitorPara, POWER_OFF, 34417);
GRSHM_CHECK_OFFSET(MonitorPara, PPK, 34418);
GRSHM_CHECK_OFFSET(MonitorPara, REC_TIMER, 34440);

/* ---- GNSS information segment (record in gnss.h) ------------------------------------------ */

typedef enum GNSS_ENTRY {
    ENTRY_GGA_MSG = 0,
    ENTRY_M925A = 1,
    ENTRY_TIMEA = 2,
    ENTRY_BESTPOSA = 3,
    ENTRY_PSRDOPA = 4,
    ENTRY_GGA = 5,
    ENTRY_ZDA = 6,
    ENTRY_M925 = 7,
    ENTRY_DOP = 8,
    ENTRY_XYZ = 9,
    ENTRY_M925B = 10,
    ENTRY_BESTPOSB = 11,
    ENTRY_TIMEB = 12,
    ENTRY_PSRDOPB = 13,
    ENTRY_ZDA_MSG = 14,
    ENTRY_GSV = 15,
    ENTRY_GSV_GP = 16,
    ENTRY_GSV_BD = 17,
    ENTRY_GSV_GL = 18,
    ENTRY_GSV_GA = 19,
    ENTRY_HEADING_MSG = 20,
    ENTRY_GST_MSG = 21,
    ENTRY_RMC_MSG = 22,
    ENTRY_SATSA_MSG = 23,
    ENTRY_GPFMI_MSG = 24,
    ENTRY_BASEINFOA_MSG = 25,
    ENTRY_FIXRLS_MSG = 26
} GNSS_ENTRY;

/* Message family codes of the timestamp setters. */
enum MSG_FAMILY {
    MSG_FAMILY_NMEA = 1,
    MSG_FAMILY_EPH = 2,
    MSG_FAMILY_RTCM23 = 3,
    MSG_FAMILY_RTCM30 = 4,
    MSG_FAMILY_RTCM32 = 5,
    MSG_FAMILY_CMR = 6,
    MSG_FAMILY_CUSTOM = 7,
    MSG_FAMILY_QX = 8,
    MSG_FAMILY_WEATHER = 9,
    MSG_FAMILY_BINEX = 10
};

/* Channel kinds of GetDataTransEnableFlagState. */
enum DATA_TRANS_KIND {
    DATA_TRANS_TCP1 = 0,
    DATA_TRANS_TCP2 = 1,
    DATA_TRANS_NTRIP_SERVER1 = 2,
    DATA_TRANS_NTRIP_SERVER2 = 3,
    DATA_TRANS_BLUETOOTH = 4,
    DATA_TRANS_UDP = 5
};

GRSHM_EXTERN_C_BEGIN

/* ---- Set-up, removal and locks ----------------------------------------------------------- */

extern GRSHM_API ShareMemoryHandle OstrelConfig;
extern GRSHM_API ShareMemoryHandle OstrelMonitor;
extern GRSHM_API ShareMemoryHandle OstrelGNSS;

/* Creates what does not exist yet (segments zero-filled, sets at 1, all mode 0666) and attaches
 * all three segments; a second call detaches the earlier mapping first. Returns 0. A failure
 * writes one line ("semget failed.", "shmget failed", "shmat failed") to standard error and
 * ends the process with status 1. */
GRSHM_API int InitShareMemory(void);
/* Removes the three semaphore sets and segments, then ends the process with status 0. A
 * segment that cannot be detached or removed ends it with status 1 and one line on standard
 * error; a set that cannot be removed is reported with perror. Processes still attached keep
 * their mapping until they detach. */
GRSHM_API void DeleteShareMemory(void);

/* The longest wait for a segment's lock. Any process may set a semaphore's value to 0 (the
 * sets are open to every user); past this bound a call gives up instead of waiting forever. */
#define GRSHM_LOCK_TIMEOUT_MS 3000

/* Sets the semaphore's value directly (SETVAL), bypassing its holders: 0, or 1 on failure. */
GRSHM_API int init_semaphore(int sem_id, int value);
/* Removes the semaphore set: 0, or -1 on failure. */
GRSHM_API int del_semaphore(int sem_id);
/* Takes the lock with a bounded wait, retrying after signals: 0, or -1 (printed with perror)
 * when the set is gone or GRSHM_LOCK_TIMEOUT_MS passed (errno EAGAIN). Every accessor takes its
 * lock this way and returns -1, touching nothing, when it fails. Undone if the process dies. */
GRSHM_API int semaphore_p(int sem_id);
GRSHM_API int semaphore_v(int sem_id); /* gives the lock back, never waits: 0, or -1 on failure */

/* ---- Configuration entries -------------------------------------------------------------- */
/* Get and Set return -1 for a null buffer or when the lock cannot be taken within
 * GRSHM_LOCK_TIMEOUT_MS (nothing is copied then), else 0; an entry that has no bytes in the
 * segment copies nothing. */

/* Get copies the entry's bytes into data; Set copies data into the entry (text entries: a
 * zero-terminated string, cut at the entry's width and zero-filled after it). Both lock the
 * configuration segment only. */
GRSHM_API int GetReceiverConfigParaFromShareMemory(unsigned char entry, void *data);
GRSHM_API int SetReceiverConfigParaToShareMemory(unsigned char entry, const void *data);
/* Clears the start-up mark (available) of all 30 SmartBase stations in one locked step. It
 * returns nothing: when the lock cannot be taken it changes nothing and prints the failure. */
GRSHM_API void ClearSmartBaseListAvailable(void);

/* A byte range of a configuration entry: offset from the entry's first byte, and length. */
typedef struct ConfigByteRange {
    unsigned char entry; /* a CONFIG_ENTRY value that Get serves */
    unsigned short offset;
    unsigned short length;
} ConfigByteRange;

/* The revision of a list of ranges: 64-bit FNV-1a over the bytes of the ranges, one range after
 * the other in the order given, starting from GRSHM_REVISION_BASIS; for each byte
 * hash = (hash ^ byte) * GRSHM_REVISION_PRIME, modulo 2^64. A reader that shows some fields
 * hashes their bytes from its own copy; a later update with that revision then succeeds only
 * when none of those bytes has changed since. */
#define GRSHM_REVISION_BASIS 14695981039346656037ULL
#define GRSHM_REVISION_PRIME 1099511628211ULL

/* Compare and update, in one hold of the configuration lock, so that two writers who read the
 * same revision cannot lose each other's change: when the bytes of the watched ranges (they may
 * lie in any entries) hash to revision, copies the write ranges of entry from data (a buffer
 * laid out as the whole entry) into the segment; every other byte of the segment stays as it is
 * at that moment. Results:
 *    0  the revision matched and the write ranges were stored;
 *    1  the revision differs: nothing was written;
 *   -1  errno EINVAL: null data, a null range list with a nonzero count, an entry that Set does
 *       not serve, a write range naming another entry, or a range reaching past its entry's
 *       end; nothing was written and the lock was not taken;
 *   -1  the lock could not be taken (errno as semaphore_p leaves it): nothing was written; or it
 *       could not be given back after the write (as every accessor reports that). */
GRSHM_API int UpdateReceiverConfigParaIfRevision(unsigned char entry, const void *data, const ConfigByteRange *writes,
                                                 unsigned int write_count, const ConfigByteRange *watched,
                                                 unsigned int watched_count, unsigned long long revision);

/* One range to write and its new bytes: range.length bytes, the range's own (not laid out as
 * the whole entry). */
typedef struct ConfigRangeWrite {
    ConfigByteRange range; /* in an entry that Set serves */
    const void *bytes;
} ConfigRangeWrite;

/* UpdateReceiverConfigParaIfRevision for a change that spans entries (a group of settings
 * kept in several entries): in one hold of the configuration lock, when the bytes of the
 * watched ranges hash to revision, copies each write's bytes into its range, in the order
 * given; otherwise writes nothing. A reader of the bytes thus sees all of the change or none
 * of it, and every byte outside the write ranges stays as it is at that moment. Results:
 *    0  the revision matched and every write range was stored;
 *    1  the revision differs: nothing was written;
 *   -1  errno EINVAL: a null list with a nonzero count, a write with null bytes, a write range
 *       in an entry that Set does not serve, a watched range in an entry that Get does not
 *       serve, or a range reaching past its entry's end; nothing was written and the lock was
 *       not taken;
 *   -1  the lock could not be taken (errno as semaphore_p leaves it): nothing was written; or it
 *       could not be given back after the write. */
GRSHM_API int UpdateReceiverConfigRangesIfRevision(const ConfigRangeWrite *writes, unsigned int write_count,
                                                   const ConfigByteRange *watched, unsigned int watched_count,
                                                   unsigned long long revision);

/* ---- Recording configuration (recorder 1 or 2) and antenna -------------------------------
 * All lock the configuration segment, but the user state pair, which locks the monitor
 * segment. The scalar getters return the field's value (unsigned fields converted to int: a
 * stored value above INT_MAX comes out negative), 0 for a recorder other than 1 or 2, and -1
 * when the lock cannot be taken. Setters return 0, or -1 when the lock cannot be taken; a
 * recorder other than 1 or 2 changes nothing. */

/* The 44 antenna bytes, for entry ENTRY_REC_ANTENNA only (any other entry copies nothing):
 * Get reads recorder 1's; Write stores them into both recorders. -1 for a null buffer or a
 * failed lock, else 0. */
GRSHM_API int GetReceiverRecConfAntenna(unsigned char entry, void *data);
GRSHM_API int WriteReceiverRecConfAntenna(unsigned char entry, const void *data);
GRSHM_API int GetReceiverRecConfRecInterval(unsigned char recorder);
GRSHM_API int GetReceiverRecConfFileType(unsigned char recorder);
/* Copy the whole field (17 and 12 bytes, not necessarily zero-terminated): 0, or -1 for a null
 * buffer, a recorder other than 1 or 2, or a failed lock. */
GRSHM_API int GetReceiverRecConfFolderName(void *data, unsigned char recorder);
GRSHM_API int GetReceiverRecConfMarkName(void *data, unsigned char recorder);
GRSHM_API int GetReceiverRecConfRecMode(unsigned char recorder);
GRSHM_API int SetReceiverRecConfRecMode(unsigned char recorder, unsigned char mode);
GRSHM_API int GetReceiverRecConfRecCircularFlag(unsigned char recorder);
GRSHM_API int GetReceiverRecConfMaxSpace(unsigned char recorder);
GRSHM_API int SetReceiverRecConfFreeSpace(unsigned char recorder, unsigned int space);
GRSHM_API int GetReceiverRecConfFreeSpace(unsigned char recorder);
/* The recorder's user state (ENTRY_REC1_STATE / ENTRY_REC2_STATE of the monitor segment). */
GRSHM_API int GetReceiverRecUsrState(unsigned char recorder);
GRSHM_API int SetReceiverRecUsrState(unsigned char recorder, unsigned char state);

/* ---- Data-stream switches and message sample timestamps ---------------------------------
 * All lock the configuration segment only. */

/* The enable byte of a channel's data stream (kind: a DATA_TRANS_KIND value; Bluetooth is byte
 * BT_CONFIG_STREAM_SWITCH of its settings): 0 to 255, 0 for an unknown kind, -1 when the lock
 * cannot be taken. */
GRSHM_API int GetDataTransEnableFlagState(unsigned char kind);
/* Store timestamp in the time field of message slot index of a family's array (family: a
 * MSG_FAMILY value) in the channel's data stream: TCP (entry ENTRY_TCP2_CONFIG for channel 2,
 * anything else channel 1), UDP (entry unused), NTRIP server 1 or 2, radio, Bluetooth (NMEA
 * only). A family the channel has no array for, or an index at or beyond the array's count,
 * stores nothing. 0, or -1 when the lock cannot be taken (and for an NTRIP server other than
 * 1 or 2). */
GRSHM_API int SetReceiverTCPMsgSampleTimestamp(unsigned char entry, unsigned char family, unsigned short index,
                                               unsigned int timestamp);
GRSHM_API int SetReceiverUDPMsgSampleTimestamp(unsigned char entry, unsigned char family, unsigned short index,
                                               unsigned int timestamp);
GRSHM_API int SetReceiverNtripServerMsgSampleTimestamp(unsigned char family, unsigned short index,
                                                       unsigned int timestamp, unsigned char server);
GRSHM_API int SetReceiverRadioMsgSampleTimestamp(unsigned char family, unsigned short index, unsigned int timestamp);
GRSHM_API int SetReceiverBluetoothMsgSampleTimestamp(unsigned char family, unsigned short index,
                                                     unsigned int timestamp);

/* ---- GNSS information -------------------------------------------------------------------
 * All lock the GNSS segment only, and return -1 for a null buffer or a failed lock, else 0. */

/* Stores an entry: text entries take a zero-terminated string (cut at the width, no terminator
 * when it fills it), blocks their width, binary logs 10240 bytes (the 10241st stays 0).
 * ENTRY_GSV takes a GSVInput and stores its sentence in slot System, place Number (1 to 8),
 * with its control byte; a Number of 0, a Number above 8 or a System above 4 stores nothing.
 * The slot entries (ENTRY_GSV_GP to ENTRY_GSV_GA) cannot be set. */
GRSHM_API int SetGNSSInfoToShareMemory(unsigned char entry, const void *data);
/* Copies an entry's whole width (a GSV slot: 1032 bytes, a GSVSlot; a binary log: 10240
 * bytes). ENTRY_GSV copies nothing. */
GRSHM_API int GetGNSSInfoFromShareMemory(unsigned char entry, void *data);
/* Scans the 4000 bytes of the ENTRY_M925A text (past zero bytes) under the lock:
 *   selector 0: the 2 bytes after the 14th comma
 *   selector 1: the 2 bytes after the first semicolon
 *   selector 2: the bytes between the second semicolon and the first asterisk (at most 3998,
 *               no terminator added)
 *   selector 3: that length measured from the first semicolon, as a signed 32-bit int (negative
 *               when the asterisk comes first)
 * When a mark is missing, or for another selector, data is left untouched (result 0). */
GRSHM_API int GetSatelliteVisInfoFromGNSSShareMemory(unsigned char selector, void *data);

/* ---- Monitor entries and the operation mailbox -------------------------------------------
 *
 * The mailbox is two bytes of the monitor segment: an operation code and a state.
 *
 * Poster: write the configuration or monitor entries that the operation announces first,
 * then post with PostMonitorOperate, which waits for the state to leave OP_EXE and posts in
 * one locked step, so that two posters never replace each other's pending operation. A
 * poster that needs the result (ENTRY_GPOS_OP) waits with WaitMonitorOperateIdle and then
 * reads the result entry (ENTRY_CUR_POS).
 *
 * Executor (the receiver daemon): whenever the state is OP_EXE, carry out the operation named
 * by the code; write any result entry first; then move the state off OP_EXE with
 * SetMonitorOperateState (OP_SUCCESS, OP_FAILED, ...) and optionally reset the code with
 * ClearMonitorOperate. While the state stays OP_EXE, every poster waits. What the web
 * programs rely on:
 *   ENTRY_SID_OP (11)        the identifier in ENTRY_STATION_ID is taken into use
 *   ENTRY_WMODE_OP (12)      the stored work mode, or a base start or stop, takes effect;
 *                            ENTRY_STATION_STATE is 1 while the base station runs
 *   ENTRY_PPS_OP (13)        the PPS output follows ENTRY_PPS_ENABLE
 *   ENTRY_EVENT_OP (14)      the EVENT input follows ENTRY_EVENT_ENABLE
 *   ENTRY_GPOS_OP (44)       the current position is written to ENTRY_CUR_POS (ddmm.mmmm
 *                            with hemisphere letters) before the state leaves OP_EXE
 *   ENTRY_SMARTBASE_OP (76)  the changed SmartBase list is taken into use
 * and, posted by linkconfig after it changed a data channel's entry, the channel's settings and
 * message lists as now stored are taken into use:
 *   ENTRY_SP1_OP (29)    ENTRY_SP1_CONFIG      serial port 1
 *   ENTRY_TCP1_OP (31)   ENTRY_TCP1_CONFIG     TCP channel 1
 *   ENTRY_TCP2_OP (32)   ENTRY_TCP2_CONFIG     TCP channel 2
 *   ENTRY_NS1_OP (59)    ENTRY_NS1_CONFIG      NTRIP server 1
 *   ENTRY_NS2_OP (60)    ENTRY_NS2_CONFIG      NTRIP server 2
 *   ENTRY_NC_OP (61)     ENTRY_NC_CONFIG       NTRIP client
 *   ENTRY_RADIO_OP (57)  ENTRY_RADIO_CONFIG    radio modem
 *   ENTRY_NA_OP (67)     ENTRY_NA_CONFIG       built-in NTRIP caster
 *   ENTRY_UDP_OP (77)    ENTRY_UDP_CONFIG      UDP channel
 * and, posted by settings after it changed a tracking entry (the forms: docs/receiver.md):
 *   ENTRY_MANGLE_OP (15)                 ENTRY_MASK_ANGLE      elevation mask
 *   ENTRY_GPSE_OP (17) to ENTRY_QZSS_OP (21)  ENTRY_GPS_ENABLE to ENTRY_QZSS_ENABLE
 *   ENTRY_SBAS_OP (22)                   ENTRY_SBAS_ENABLE     SBAS switch and service
 *   ENTRY_CONFIG_OP (49)                 the settings without an operation of their own:
 *                                        ENTRY_PDOP_LIMIT
 * and, posted after a person confirmed them on the maintenance page:
 *   ENTRY_FORMAT_OP (37), ENTRY_CLEANEPH_OP (38), ENTRY_RESTORE_OP (39)   carried out, then
 *                                        answered OP_SUCCESS or OP_FAILED
 *   ENTRY_RESTART_OP (40), ENTRY_SHUTDOWN_OP (41)   answered before the processes stop
 * The receiver keeps writing the time words of the messages its channels send (the
 * timestamp calls above); linkconfig never writes them. Within 2 seconds of a change to
 * SmartBase mode, the number of the station in use is written to ENTRY_SMARTBASE_ID.
 * ENTRY_GGA of the GNSS segment is kept current. */

/* All lock the monitor segment only and return 0, or -1 for a null buffer or a failed lock.
 * Get and Set copy an entry as the configuration accessors do; ENTRY_OP_TYPE and
 * ENTRY_OP_STATE read the mailbox's code and state bytes. */
GRSHM_API int SetMonitorParaToShareMemory(unsigned char entry, const void *data);
GRSHM_API int GetMonitorParaFromShareMemory(unsigned char entry, void *data);
/* A plain post: state := OP_EXE, code := op, replacing a pending operation. Posters use
 * PostMonitorOperate instead. */
GRSHM_API int SetMonitorOperate(OPERATE_ENTRY op);
GRSHM_API int ClearMonitorOperate(void);                   /* code := ENTRY_NULL_OP */
GRSHM_API int GetMonitorOperate(unsigned char *out);       /* out[0] code, out[1] state */
GRSHM_API int SetMonitorOperateState(OPERATE_STATE state); /* executor side */
/* The state; OP_FAILED also when the lock cannot be taken (indistinguishable). */
GRSHM_API OPERATE_STATE GetMonitorOperateState(void);
/* Sets ENTRY_FREE_SPACE to 0. */
GRSHM_API int RefreshReceiverMonitorFreeSpace(void);
/* Waits until the state is not OP_EXE and posts op in the same locked section. 0 when
 * posted; -1 with errno EBUSY when the mailbox stayed busy for timeout_ms, -1 with the lock's
 * errno when the monitor lock could not be taken (nothing posted either way). Polls with
 * pauses from 1 ms growing to 10 ms; never spins. */
GRSHM_API int PostMonitorOperate(OPERATE_ENTRY op, unsigned int timeout_ms);
/* Waits until the state is not OP_EXE: 0 when it left OP_EXE, -1 after timeout_ms. */
GRSHM_API int WaitMonitorOperateIdle(unsigned int timeout_ms);

GRSHM_EXTERN_C_END

#endif
