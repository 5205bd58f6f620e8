/* Channel records, coordinates, the SmartBase list record and the work-mode enumerations. */
#ifndef GRSHM_OSTREL_H
#define GRSHM_OSTREL_H

#include "sample.h"

/* IPv4 address: four words, one octet each, first octet of the dotted form in word 0. */
typedef unsigned int Ipv4Words[4];

typedef struct SerialPortConfig {
    unsigned int Baudrate;
    unsigned char Verify; /* parity / check code */
    TransDSPara COMDSPara;
} SerialPortConfig;

typedef struct EthTCPConfig {
    unsigned int RoleKind;
    unsigned int LocalPort;
    Ipv4Words ServerIP;
    unsigned int ServerPort;
    unsigned char EncryptFlag;
    char PassWord[16];
    unsigned short MaxConNum;
    TransDSPara TCPDSPara;
    unsigned char DS_Flag;
} EthTCPConfig;

/* Same layout as EthTCPConfig; only the stream field has its own name. */
typedef struct UDPConfig {
    unsigned int RoleKind;
    unsigned int LocalPort;
    Ipv4Words ServerIP;
    unsigned int ServerPort;
    unsigned char EncryptFlag;
    char PassWord[16];
    unsigned short MaxConNum;
    TransDSPara UDPDSPara;
    unsigned char DS_Flag;
} UDPConfig;

typedef struct NtripClientConfig {
    unsigned char ClientEnable;
    char Domain[65];
    Ipv4Words ServerIP;
    unsigned int ServerPort;
    char UserName[17];
    char UserPwd[17];
    char MountPoint[33];
} NtripClientConfig;

/* Connection part of an NTRIP server. */
typedef struct NtripServerCtrl {
    unsigned char Version;
    char Domain[65];
    Ipv4Words CasterIP;
    unsigned int CasterPort;
    char UserName[17];
    char UserPwd[17];
    char MountPoint[33];
} NtripServerCtrl;

typedef struct NtripServerConfig {
    NtripServerCtrl CtrlPara;
    DiffDSPara ServerDSPara;
} NtripServerConfig;

typedef struct Coordinates {
    double Longitude;
    unsigned char LonDirection; /* hemisphere letter, 0 when unset */
    double Latitude;
    unsigned char LatDirection;
    double Elevation;
    unsigned char Available; /* written as 0 by the CGI programs */
} Coordinates;

typedef struct SmartBaseInfo {
    char id[16];
    Coordinates coordinate_point;
    unsigned char available; /* nonzero: the station chosen at start-up */
} SmartBaseInfo;

typedef enum ROLEKIND_TYPE {
    ROVER_MODE = 0,
    STATION_MODE = 1,
    SINGLE_MODE = 2,
    AUTOBASE_MODE = 3,
    SMARTBASE_MODE = 4
} ROLEKIND_TYPE;

typedef enum STATION_STATE { STATION_NULL = 0, STATION_STARTUP = 1, STATION_STOP = 2 } STATION_STATE;

GRSHM_CHECK_SIZE(SerialPortConfig, 1860);
GRSHM_CHECK_ALIGN(SerialPortConfig, 4);
GRSHM_CHECK_OFFSET(SerialPortConfig, Verify, 4);
GRSHM_CHECK_OFFSET(SerialPortConfig, COMDSPara, 8);

GRSHM_CHECK_SIZE(EthTCPConfig, 1904);
GRSHM_CHECK_ALIGN(EthTCPConfig, 4);
GRSHM_CHECK_OFFSET(EthTCPConfig, LocalPort, 4);
GRSHM_CHECK_OFFSET(EthTCPConfig, ServerIP, 8);
GRSHM_CHECK_OFFSET(EthTCPConfig, ServerPort, 24);
GRSHM_CHECK_OFFSET(EthTCPConfig, EncryptFlag, 28);
GRSHM_CHECK_OFFSET(EthTCPConfig, PassWord, 29);
GRSHM_CHECK_OFFSET(EthTCPConfig, MaxConNum, 46);
GRSHM_CHECK_OFFSET(EthTCPConfig, TCPDSPara, 48);
GRSHM_CHECK_OFFSET(EthTCPConfig, DS_Flag, 1900);

GRSHM_CHECK_SIZE(UDPConfig, 1904);
GRSHM_CHECK_ALIGN(UDPConfig, 4);
GRSHM_CHECK_OFFSET(UDPConfig, ServerIP, 8);
GRSHM_CHECK_OFFSET(UDPConfig, ServerPort, 24);
GRSHM_CHECK_OFFSET(UDPConfig, PassWord, 29);
GRSHM_CHECK_OFFSET(UDPConfig, MaxConNum, 46);
GRSHM_CHECK_OFFSET(UDPConfig, UDPDSPara, 48);
GRSHM_CHECK_OFFSET(UDPConfig, DS_Flag, 1900);

GRSHM_CHECK_SIZE(NtripClientConfig, 156);
GRSHM_CHECK_ALIGN(NtripClientConfig, 4);
GRSHM_CHECK_OFFSET(NtripClientConfig, Domain, 1);
GRSHM_CHECK_OFFSET(NtripClientConfig, ServerIP, 68);
GRSHM_CHECK_OFFSET(NtripClientConfig, ServerPort, 84);
GRSHM_CHECK_OFFSET(NtripClientConfig, UserName, 88);
GRSHM_CHECK_OFFSET(NtripClientConfig, UserPwd, 105);
GRSHM_CHECK_OFFSET(NtripClientConfig, MountPoint, 122);

GRSHM_CHECK_SIZE(NtripServerCtrl, 156);
GRSHM_CHECK_ALIGN(NtripServerCtrl, 4);
GRSHM_CHECK_OFFSET(NtripServerCtrl, Domain, 1);
GRSHM_CHECK_OFFSET(NtripServerCtrl, CasterIP, 68);
GRSHM_CHECK_OFFSET(NtripServerCtrl, CasterPort, 84);
GRSHM_CHECK_OFFSET(NtripServerCtrl, UserName, 88);
GRSHM_CHECK_OFFSET(NtripServerCtrl, UserPwd, 105);
GRSHM_CHECK_OFFSET(NtripServerCtrl, MountPoint, 122);

GRSHM_CHECK_SIZE(NtripServerConfig, 1264);
GRSHM_CHECK_ALIGN(NtripServerConfig, 4);
GRSHM_CHECK_OFFSET(NtripServerConfig, ServerDSPara, 156);

GRSHM_CHECK_SIZE(Coordinates, 48);
GRSHM_CHECK_ALIGN(Coordinates, 8);
GRSHM_CHECK_OFFSET(Coordinates, LonDirection, 8);
GRSHM_CHECK_OFFSET(Coordinates, Latitude, 16);
GRSHM_CHECK_OFFSET(Coordinates, LatDirection, 24);
GRSHM_CHECK_OFFSET(Coordinates, Elevation, 32);
GRSHM_CHECK_OFFSET(Coordinates, Available, 40);

GRSHM_CHECK_SIZE(SmartBaseInfo, 72);
GRSHM_CHECK_ALIGN(SmartBaseInfo, 8);
GRSHM_CHECK_OFFSET(SmartBaseInfo, coordinate_point, 16);
GRSHM_CHECK_OFFSET(SmartBaseInfo, available, 64);

#endif
