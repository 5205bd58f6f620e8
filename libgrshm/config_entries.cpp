// Entry access of the configuration segment.
#include "segment.h"

namespace grshm {
namespace {

#define CONFIG_SPAN(member, access) GRSHM_SPAN(ReceiverConfigPara, member, access)

constexpr EntryRow kConfigRows[] = {
    {ENTRY_SN, CONFIG_SPAN(SN, Access::Both)},
    {ENTRY_HWV, CONFIG_SPAN(HWV, Access::Both)},
    {ENTRY_SWV, CONFIG_SPAN(SWV, Access::Both)},
    {ENTRY_RTKV, CONFIG_SPAN(RTKV, Access::Both)},
    {ENTRY_PN, CONFIG_SPAN(PN, Access::Both)},
    {ENTRY_BOOTV, CONFIG_SPAN(BOOTV, Access::Both)},
    {ENTRY_RDV, CONFIG_SPAN(RDV, Access::Both)},
    {ENTRY_DPV, CONFIG_SPAN(DPV, Access::Both)},
    {ENTRY_SWD, CONFIG_SPAN(SWD, Access::Both)},
    {ENTRY_MAC, CONFIG_SPAN(MAC, Access::Both)},
    {ENTRY_IP, CONFIG_SPAN(IP, Access::Both)},
    {ENTRY_NETMASK, CONFIG_SPAN(NETMASK, Access::Both)},
    {ENTRY_GATEWAY, CONFIG_SPAN(GATEWAY, Access::Both)},
    {ENTRY_DNS1, CONFIG_SPAN(DNS1, Access::Both)},
    {ENTRY_DNS2, CONFIG_SPAN(DNS2, Access::Both)},
    {ENTRY_HTTP_PORT, CONFIG_SPAN(HTTP_PORT, Access::Both)},
    {ENTRY_FTP_PORT, CONFIG_SPAN(FTP_PORT, Access::Both)},
    {ENTRY_DN, CONFIG_SPAN(DN, Access::Both)},
    {ENTRY_AUTO_IP, CONFIG_SPAN(AUTO_IP, Access::Both)},
    {ENTRY_STATION_ID, CONFIG_SPAN(STATION_ID, Access::Both)},
    {ENTRY_WORK_MODE, CONFIG_SPAN(WORK_MODE, Access::Both)},
    {ENTRY_PPS_ENABLE, CONFIG_SPAN(PPS_ENABLE, Access::Both)},
    {ENTRY_EVENT_ENABLE, CONFIG_SPAN(EVENT_ENABLE, Access::Both)},
    {ENTRY_PDOP_LIMIT, CONFIG_SPAN(PDOP_LIMIT, Access::Both)},
    {ENTRY_MASK_ANGLE, CONFIG_SPAN(MASK_ANGLE, Access::Both)},
    {ENTRY_MOOTH_FLAG, CONFIG_SPAN(MOOTH_FLAG, Access::Both)},
    {ENTRY_GPS_ENABLE, CONFIG_SPAN(GPS_ENABLE, Access::Both)},
    {ENTRY_BD_ENABLE, CONFIG_SPAN(BD_ENABLE, Access::Both)},
    {ENTRY_GLO_ENABLE, CONFIG_SPAN(GLO_ENABLE, Access::Both)},
    {ENTRY_GAL_ENABLE, CONFIG_SPAN(GAL_ENABLE, Access::Both)},
    {ENTRY_QZSS_ENABLE, CONFIG_SPAN(QZSS_ENABLE, Access::Both)},
    {ENTRY_SBAS_ENABLE, CONFIG_SPAN(SBAS_ENABLE, Access::Both)},
    {ENTRY_CALL_CONFIG, CONFIG_SPAN(CALL_CONFIG, Access::Both)},
    {ENTRY_STATION_POS, CONFIG_SPAN(STATION_POS, Access::Both)},
    {ENTRY_RHI, CONFIG_SPAN(RHI, Access::Both)},
    {ENTRY_ANTENNA_INFO, CONFIG_SPAN(ANTENNA_INFO, Access::Both)},
    {ENTRY_REC1_CONFIG, CONFIG_SPAN(REC1, Access::Both)},
    {ENTRY_REC2_CONFIG, CONFIG_SPAN(REC2, Access::Both)},
    {ENTRY_REC1_PFN, CONFIG_SPAN(REC1.FolderName, Access::GetOnly)},
    {ENTRY_REC2_PFN, CONFIG_SPAN(REC2.FolderName, Access::GetOnly)},
    {ENTRY_SP1_CONFIG, CONFIG_SPAN(SP1, Access::Both)},
    {ENTRY_SP2_CONFIG, CONFIG_SPAN(SP2, Access::Both)},
    {ENTRY_TCP1_CONFIG, CONFIG_SPAN(TCP1, Access::Both)},
    {ENTRY_TCP2_CONFIG, CONFIG_SPAN(TCP2, Access::Both)},
    {ENTRY_NC_CONFIG, CONFIG_SPAN(NC, Access::Both)},
    {ENTRY_NS1_CTRL, CONFIG_SPAN(NS1.CtrlPara, Access::Both)},
    {ENTRY_NS1_CONFIG, CONFIG_SPAN(NS1, Access::Both)},
    {ENTRY_NS2_CTRL, CONFIG_SPAN(NS2.CtrlPara, Access::Both)},
    {ENTRY_NS2_CONFIG, CONFIG_SPAN(NS2, Access::Both)},
    {ENTRY_WLAN_CONFIG, CONFIG_SPAN(WLAN, Access::Both)},
    {ENTRY_RADIO_CONFIG, CONFIG_SPAN(RADIO, Access::Both)},
    {ENTRY_BT_CONFIG, CONFIG_SPAN(BT, Access::Both)},
    {ENTRY_DDNS_CONFIG, CONFIG_SPAN(DDNS, Access::Both)},
    {ENTRY_NATAPP_CONFIG, CONFIG_SPAN(NATAPP, Access::Both)},
    {ENTRY_NGROK_CONFIG, CONFIG_SPAN(NGROK, Access::Both)},
    {ENTRY_NA_CONFIG, CONFIG_SPAN(NA, Access::Both)},
    {ENTRY_USER, CONFIG_SPAN(USER, Access::Both)},
    {ENTRY_PAWD, CONFIG_SPAN(PAWD, Access::Both)},
    {ENTRY_INS, CONFIG_SPAN(INS, Access::Both)},
    {ENTRY_SYSDSPARA_CONFIG, CONFIG_SPAN(SYSDSPARA, Access::Both)},
    {ENTRY_BTDSPARA_CONFIG, CONFIG_SPAN(BTDSPARA, Access::Both)},
    {ENTRY_IMU_PARA, CONFIG_SPAN(IMU_PARA, Access::Both)},
    {ENTRY_IMU_STATUS, CONFIG_SPAN(IMU_PARA.Status, Access::Both)},
    {ENTRY_HEADING_OFFSET, CONFIG_SPAN(HEADING_OFFSET, Access::Both)},
    {ENTRY_UDP_CONFIG, CONFIG_SPAN(UDP, Access::Both)},
    {ENTRY_SMARTBASE_INDEX, CONFIG_SPAN(SMARTBASE_INDEX, Access::Both)},
};

// The thirty SmartBase stations are one array: station n is entry 71 + n.
constexpr EntryTable MakeConfigTable() {
    EntryTable table = MakeEntryTable(kConfigRows);
    for (int station = 0; station < SMARTBASE_STATIONS; ++station) {
        table[ENTRY_SMARTBASE1_CONFIG + station] = CONFIG_SPAN(SMARTBASE[0], Access::Both);
        table[ENTRY_SMARTBASE1_CONFIG + station].offset += static_cast<unsigned short>(station * sizeof(SmartBaseInfo));
    }
    return table;
}

constexpr EntryTable kConfigTable = MakeConfigTable();

static_assert(kConfigTable[ENTRY_SMARTBASE30_CONFIG].offset == 18320);
static_assert(kConfigTable[ENTRY_REC_ANTENNA].access == Access::None);

}  // namespace
}  // namespace grshm

extern "C" {

int GetReceiverConfigParaFromShareMemory(unsigned char entry, void *data) {
    return grshm::GetTableEntry(OstrelConfig, grshm::kConfigTable, entry, data);
}

int SetReceiverConfigParaToShareMemory(unsigned char entry, const void *data) {
    return grshm::SetTableEntry(OstrelConfig, grshm::kConfigTable, entry, data);
}

void ClearSmartBaseListAvailable(void) {
    grshm::WithLock(OstrelConfig, [](unsigned char *base) {
        auto *config = reinterpret_cast<ReceiverConfigPara *>(base);
        for (SmartBaseInfo &station : config->SMARTBASE) station.available = 0;
    });
}

}  // extern "C"
