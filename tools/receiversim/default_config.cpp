#include "default_config.h"

#include <cstring>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "tracking.h"

namespace receiversim {
namespace {

template <std::size_t N>
void SetText(char (&field)[N], std::string_view text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

void SetAddress(Ipv4Words &words, unsigned a, unsigned b, unsigned c, unsigned d) {
    words[0] = a;
    words[1] = b;
    words[2] = c;
    words[3] = d;
}

void EnableMessage(MsgCfgPara &slot, unsigned short id, signed char interval) {
    slot.MsgID = id;
    slot.Interval = interval;
    slot.Available = 1;
}

// NMEA GGA, RMC and GSA once a second, raw observations from GPS and BeiDou, RTCM 3.2 MSM4.
void TypicalStream(TransDSPara &stream, unsigned char type) {
    stream.Switch = {1, type};
    EnableMessage(stream.NMEA[0], 1, 1);    // GPGGA
    EnableMessage(stream.NMEA[2], 3, 1);    // GPRMC
    EnableMessage(stream.NMEA[11], 12, 5);  // GPGSA
    EnableMessage(stream.EPH[1], 2, 1);     // GPSRAW
    EnableMessage(stream.EPH[2], 3, 1);     // BDSRAW
    EnableMessage(stream.RTCM32[0], 1005, 10);
    EnableMessage(stream.RTCM32[8], 1074, 1);
    EnableMessage(stream.RTCM32[10], 1094, 1);
}

// RTCM 3.2 with the station message and MSM4 for four constellations (NTRIP server form).
void CorrectionStream(DiffDSPara &stream, unsigned char type) {
    stream.Switch = {1, type};
    EnableMessage(stream.RTCM32[0], 1005, 10);
    EnableMessage(stream.RTCM32[3], 1230, 10);
    EnableMessage(stream.RTCM32[9], 1074, 1);
    EnableMessage(stream.RTCM32[10], 1084, 1);
    EnableMessage(stream.RTCM32[11], 1094, 1);
    EnableMessage(stream.RTCM32[12], 1124, 1);
}

void SmartBaseStation(SmartBaseInfo &station, std::string_view id, double lat, char lat_dir, double lon, char lon_dir,
                      double height) {
    SetText(station.id, id);
    station.coordinate_point.Latitude = lat;
    station.coordinate_point.LatDirection = static_cast<unsigned char>(lat_dir);
    station.coordinate_point.Longitude = lon;
    station.coordinate_point.LonDirection = static_cast<unsigned char>(lon_dir);
    station.coordinate_point.Elevation = height;
}

// The rest of the network, the antenna on a 2-metre pole, recorder 1 in RINEX 3 at 1 Hz and
// recorder 2 in the receiver's own format at 5 Hz, circular within 2 GB (docs/receiver.md).
void DefaultNetworkAndRecording(ReceiverConfigPara &c) {
    SetAddress(c.NETMASK, 255, 255, 255, 0);
    SetAddress(c.GATEWAY, 192, 168, 10, 254);
    SetAddress(c.DNS1, 192, 168, 10, 254);
    c.FTP_PORT = 21;
    SetText(c.DN, "gr-0017");
    c.AUTO_IP = 0;

    unsigned char antenna[sizeof c.ANTENNA_INFO] = {};
    std::memcpy(antenna, "TRM57971.00     NONE", 20);
    antenna[21] = 0;           // vertical to the reference point
    const int height = 20000;  // 2.0000 m, in tenths of a millimetre
    std::memcpy(antenna + 24, &height, sizeof height);
    std::memcpy(c.ANTENNA_INFO, antenna, sizeof antenna);

    for (RecConfig *record : {&c.REC1, &c.REC2}) std::memcpy(record->Antenna, antenna, sizeof antenna);
    SetText(c.REC1.FolderName, "session1");
    SetText(c.REC1.MarkName, "BASE01");
    c.REC1.FileType = 2;  // RINEX 3.04
    c.REC1.RecInterval = 1000;
    SetText(c.REC2.FolderName, "raw5hz");
    SetText(c.REC2.MarkName, "BASE01");
    c.REC2.FileType = 0;  // the receiver's own binary
    c.REC2.RecInterval = 200;
    c.REC2.MaxSpace = 2048;
    c.REC2.CircularFlag = 1;
}

}  // namespace

ReceiverConfigPara DefaultConfiguration() {
    ReceiverConfigPara c;
    std::memset(&c, 0, sizeof c);
    SetAddress(c.IP, 192, 168, 10, 1);
    c.HTTP_PORT = 80;
    DefaultNetworkAndRecording(c);

    c.SP1.Baudrate = 115200;
    c.SP1.Verify = 0;
    TypicalStream(c.SP1.COMDSPara, 2);

    c.TCP1.RoleKind = 1;  // server
    c.TCP1.LocalPort = 9901;
    TypicalStream(c.TCP1.TCPDSPara, 1);
    c.TCP1.MaxConNum = 4;
    c.TCP2.RoleKind = 2;  // client
    c.TCP2.LocalPort = 9902;
    SetAddress(c.TCP2.ServerIP, 192, 168, 10, 20);
    c.TCP2.ServerPort = 5017;
    TypicalStream(c.TCP2.TCPDSPara, 3);

    c.UDP.LocalPort = 9903;
    SetAddress(c.UDP.ServerIP, 192, 168, 10, 30);
    c.UDP.ServerPort = 9904;
    TypicalStream(c.UDP.UDPDSPara, 11);

    c.NS1.CtrlPara.Version = 2;
    SetText(c.NS1.CtrlPara.Domain, "caster.example.net");
    c.NS1.CtrlPara.CasterPort = 2101;
    SetText(c.NS1.CtrlPara.UserName, "base01");
    SetText(c.NS1.CtrlPara.UserPwd, "s3cret");
    SetText(c.NS1.CtrlPara.MountPoint, "BASE01_RTCM32");
    CorrectionStream(c.NS1.ServerDSPara, 3);
    c.NS2.CtrlPara.Version = 1;
    SetText(c.NS2.CtrlPara.Domain, "rtk2go.example.org");
    c.NS2.CtrlPara.CasterPort = 2101;
    SetText(c.NS2.CtrlPara.MountPoint, "BASE01_B");
    CorrectionStream(c.NS2.ServerDSPara, 4);
    c.NS2.ServerDSPara.Switch.Enable = 0;

    c.NC.ClientEnable = 0;
    SetText(c.NC.Domain, "corrections.example.com");
    c.NC.ServerPort = 2101;
    SetText(c.NC.UserName, "rover");
    SetText(c.NC.UserPwd, "rover-pass");
    SetText(c.NC.MountPoint, "NEAREST");

    c.RADIO.rx_freq = 463.125f;
    c.RADIO.tx_freq = 463.125f;
    c.RADIO.sw = 1;
    c.RADIO.channel = 3;
    c.RADIO.mode = 1;
    c.RADIO.protocol = 2;
    c.RADIO.power = 1;
    c.RADIO.fec = 1;
    c.RADIO.air_baudrate = 3;
    SetText(c.RADIO.model, "PN-WAVE");
    SetText(c.RADIO.sv, "2.04");
    c.RADIO.RadioDSPara.Switch = {1, 3};
    EnableMessage(c.RADIO.RadioDSPara.RTCM32[0], 1005, 10);
    EnableMessage(c.RADIO.RadioDSPara.RTCM32[8], 1074, 1);

    c.NA.port = 2102;
    SetText(c.NA.usr_name, "admin");
    SetText(c.NA.pwd, "caster");
    c.NA.enable = 1;

    SetText(c.STATION_ID, "BASE01");
    c.WORK_MODE = ROVER_MODE;
    SetDefaultTracking(c);
    SmartBaseStation(c.SMARTBASE[0], "WUHAN-N", 30.351, 'N', 114.183, 'E', 32.5);
    SmartBaseStation(c.SMARTBASE[1], "WUHAN-S", 30.294, 'N', 114.201, 'E', 28.1);
    SmartBaseStation(c.SMARTBASE[2], "HANKOU", 30.372, 'N', 114.1727, 'E', 25.0);
    SmartBaseStation(c.SMARTBASE[3], "WUCHANG", 30.3225, 'N', 114.1854, 'E', 40.2);
    return c;
}

void WriteConfiguration(const ReceiverConfigPara &c) {
    const auto set = [](unsigned char entry, const void *data) { SetReceiverConfigParaToShareMemory(entry, data); };
    for (const auto &[entry, data] :
         std::initializer_list<std::pair<unsigned char, const void *>>{{ENTRY_IP, c.IP},
                                                                       {ENTRY_NETMASK, c.NETMASK},
                                                                       {ENTRY_GATEWAY, c.GATEWAY},
                                                                       {ENTRY_DNS1, c.DNS1},
                                                                       {ENTRY_DNS2, c.DNS2},
                                                                       {ENTRY_HTTP_PORT, &c.HTTP_PORT},
                                                                       {ENTRY_FTP_PORT, &c.FTP_PORT},
                                                                       {ENTRY_DN, c.DN},
                                                                       {ENTRY_AUTO_IP, &c.AUTO_IP},
                                                                       {ENTRY_ANTENNA_INFO, c.ANTENNA_INFO},
                                                                       {ENTRY_REC1_CONFIG, &c.REC1},
                                                                       {ENTRY_REC2_CONFIG, &c.REC2}})
        set(entry, data);
    set(ENTRY_SP1_CONFIG, &c.SP1);
    set(ENTRY_TCP1_CONFIG, &c.TCP1);
    set(ENTRY_TCP2_CONFIG, &c.TCP2);
    set(ENTRY_UDP_CONFIG, &c.UDP);
    set(ENTRY_NS1_CONFIG, &c.NS1);
    set(ENTRY_NS2_CONFIG, &c.NS2);
    set(ENTRY_NC_CONFIG, &c.NC);
    set(ENTRY_RADIO_CONFIG, &c.RADIO);
    set(ENTRY_NA_CONFIG, &c.NA);
    set(ENTRY_STATION_ID, c.STATION_ID);
    set(ENTRY_WORK_MODE, &c.WORK_MODE);
    WriteTracking(c);
    for (int n = 0; n < SMARTBASE_STATIONS; ++n)
        set(static_cast<unsigned char>(ENTRY_SMARTBASE1_CONFIG + n), &c.SMARTBASE[n]);
}

bool ConfigurationIsEmpty() {
    // Read the channel entries a configured receiver always has; all zero means fresh.
    const unsigned char entries[] = {ENTRY_SP1_CONFIG, ENTRY_TCP1_CONFIG, ENTRY_NS1_CONFIG, ENTRY_RADIO_CONFIG,
                                     ENTRY_STATION_ID};
    for (unsigned char entry : entries) {
        unsigned char bytes[sizeof(EthTCPConfig)] = {};
        GetReceiverConfigParaFromShareMemory(entry, bytes);
        for (unsigned char b : bytes) {
            if (b != 0) return false;
        }
    }
    return true;
}

}  // namespace receiversim
