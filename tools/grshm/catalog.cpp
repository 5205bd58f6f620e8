#include "catalog.h"

#include <algorithm>
#include <cstdlib>

namespace grshmtool {
namespace {

int SetConfig(unsigned char entry, const void *data) {
    return SetReceiverConfigParaToShareMemory(entry, data);
}
int SetMonitor(unsigned char entry, const void *data) {
    return SetMonitorParaToShareMemory(entry, data);
}
int SetGnss(unsigned char entry, const void *data) {
    return SetGNSSInfoToShareMemory(entry, data);
}

Form ConfigForm(unsigned char entry) {
    switch (entry) {
        case ENTRY_SN:
        case ENTRY_HWV:
        case ENTRY_SWV:
        case ENTRY_RTKV:
        case ENTRY_PN:
        case ENTRY_BOOTV:
        case ENTRY_RDV:
        case ENTRY_DPV:
        case ENTRY_SWD:
        case ENTRY_DN:
        case ENTRY_STATION_ID:
        case ENTRY_USER:
        case ENTRY_PAWD:
        case ENTRY_REC1_PFN:
        case ENTRY_REC2_PFN:
            return Form::Text;
        case ENTRY_IP:
        case ENTRY_NETMASK:
        case ENTRY_GATEWAY:
        case ENTRY_DNS1:
        case ENTRY_DNS2:
            return Form::Ipv4;
        case ENTRY_HTTP_PORT:
        case ENTRY_FTP_PORT:
        case ENTRY_PDOP_LIMIT:
        case ENTRY_MASK_ANGLE:
        case ENTRY_HEADING_OFFSET:
            return Form::Word32;
        case ENTRY_SMARTBASE_INDEX:
            return Form::Word16;
        case ENTRY_AUTO_IP:
        case ENTRY_WORK_MODE:
        case ENTRY_PPS_ENABLE:
        case ENTRY_EVENT_ENABLE:
        case ENTRY_MOOTH_FLAG:
        case ENTRY_GPS_ENABLE:
        case ENTRY_BD_ENABLE:
        case ENTRY_GLO_ENABLE:
        case ENTRY_GAL_ENABLE:
        case ENTRY_QZSS_ENABLE:
            return Form::Byte;
        case ENTRY_STATION_POS:
            return Form::Coordinates;
        case ENTRY_REC1_CONFIG:
        case ENTRY_REC2_CONFIG:
            return Form::Recording;
        case ENTRY_SP1_CONFIG:
        case ENTRY_SP2_CONFIG:
            return Form::SerialPort;
        case ENTRY_TCP1_CONFIG:
        case ENTRY_TCP2_CONFIG:
        case ENTRY_UDP_CONFIG:
            return Form::NetworkChannel;
        case ENTRY_NC_CONFIG:
            return Form::NtripClient;
        case ENTRY_NS1_CTRL:
        case ENTRY_NS2_CTRL:
            return Form::NtripServerCtrl;
        case ENTRY_NS1_CONFIG:
        case ENTRY_NS2_CONFIG:
            return Form::NtripServer;
        case ENTRY_RADIO_CONFIG:
            return Form::Radio;
        case ENTRY_NA_CONFIG:
            return Form::Caster;
        case ENTRY_BTDSPARA_CONFIG:
            return Form::MessageList;
        default:
            if (entry >= ENTRY_SMARTBASE1_CONFIG && entry <= ENTRY_SMARTBASE30_CONFIG) return Form::SmartBase;
            return Form::Bytes;
    }
}

Form MonitorForm(unsigned char entry, std::size_t size) {
    if (entry == ENTRY_CUR_POS) return Form::Coordinates;
    if (entry == ENTRY_OP_STATE) return Form::SignedByte;
    if (entry == ENTRY_GNSS_VERS || entry == ENTRY_DELFILE) return Form::Text;
    if (size == 1) return Form::Byte;
    if (size == 4) return Form::Word32;
    return Form::Bytes;
}

Form GnssForm(unsigned char entry, grshm::Access access) {
    if (entry == ENTRY_GGA) return Form::Gga;
    if (entry >= ENTRY_GSV_GP && entry <= ENTRY_GSV_GA) return Form::GsvSlot;
    if (access == grshm::Access::Text) return Form::Text;
    return Form::Bytes;
}

template <std::size_t N>
void AddRows(std::vector<Entry> *entries, const Segment &segment, const grshm::EntryRow (&rows)[N]) {
    for (const grshm::EntryRow &row : rows) {
        Entry entry{
            &segment, row.entry, row.name, row.span, Form::Bytes, true, row.span.access != grshm::Access::GetOnly};
        const std::string name = segment.name;
        if (name == "config") entry.form = ConfigForm(row.entry);
        if (name == "monitor") entry.form = MonitorForm(row.entry, row.span.size);
        if (name == "gnss") entry.form = GnssForm(row.entry, row.span.access);
        entries->push_back(entry);
    }
}

#define OPERATION(op) \
    { op, #op }
struct Named {
    int code;
    const char *name;
};
constexpr Named kOperations[] = {
    OPERATION(ENTRY_NULL_OP),
    OPERATION(ENTRY_IP_OP),
    OPERATION(ENTRY_NETMASK_OP),
    OPERATION(ENTRY_GATEWAY_OP),
    OPERATION(ENTRY_DNS1_OP),
    OPERATION(ENTRY_DNS2_OP),
    OPERATION(ENTRY_HPORT_OP),
    OPERATION(ENTRY_FPORT_OP),
    OPERATION(ENTRY_DN_OP),
    OPERATION(ENTRY_DHCP_OP),
    OPERATION(ENTRY_SID_OP),
    OPERATION(ENTRY_WMODE_OP),
    OPERATION(ENTRY_PPS_OP),
    OPERATION(ENTRY_EVENT_OP),
    OPERATION(ENTRY_MANGLE_OP),
    OPERATION(ENTRY_MOOTH_OP),
    OPERATION(ENTRY_GPSE_OP),
    OPERATION(ENTRY_BDE_OP),
    OPERATION(ENTRY_GLOE_OP),
    OPERATION(ENTRY_GALE_OP),
    OPERATION(ENTRY_QZSS_OP),
    OPERATION(ENTRY_SBAS_OP),
    OPERATION(ENTRY_CALL_OP),
    OPERATION(ENTRY_SPOS_OP),
    OPERATION(ENTRY_RHI_OP),
    OPERATION(ENTRY_ANT_OP),
    OPERATION(ENTRY_REC1_OP),
    OPERATION(ENTRY_REC2_OP),
    OPERATION(ENTRY_SP1_OP),
    OPERATION(ENTRY_SP2_OP),
    OPERATION(ENTRY_TCP1_OP),
    OPERATION(ENTRY_TCP2_OP),
    OPERATION(ENTRY_FTP1_OP),
    OPERATION(ENTRY_FTP2_OP),
    OPERATION(ENTRY_MALARM_OP),
    OPERATION(ENTRY_STATION_OP),
    OPERATION(ENTRY_FORMAT_OP),
    OPERATION(ENTRY_CLEANEPH_OP),
    OPERATION(ENTRY_RESTORE_OP),
    OPERATION(ENTRY_RESTART_OP),
    OPERATION(ENTRY_SHUTDOWN_OP),
    OPERATION(ENTRY_REC1_STATE_OP),
    OPERATION(ENTRY_REC2_STATE_OP),
    OPERATION(ENTRY_GPOS_OP),
    OPERATION(ENTRY_GNST_OP),
    OPERATION(ENTRY_UPDATEF_OP),
    OPERATION(ENTRY_UPDATEP_OP),
    OPERATION(ENTRY_UPDATEG_OP),
    OPERATION(ENTRY_CONFIG_OP),
    OPERATION(ENTRY_OP_TYPE),
    OPERATION(ENTRY_OP_STATE),
    OPERATION(ENTRY_OP_SUCCESS),
    OPERATION(ENTRY_OP_FAILED),
    OPERATION(ENTRY_WLAN_OP),
    OPERATION(ENTRY_DELFILE_OP),
    OPERATION(ENTRY_UPDATEW_OP),
    OPERATION(ENTRY_RADIO_OP),
    OPERATION(ENTRY_RESTORE_LIGHTTPD_OP),
    OPERATION(ENTRY_NS1_OP),
    OPERATION(ENTRY_NS2_OP),
    OPERATION(ENTRY_NC_OP),
    OPERATION(ENTRY_RADIO_PARA_OP),
    OPERATION(ENTRY_BT_OP),
    OPERATION(ENTRY_DDNS_OP),
    OPERATION(ENTRY_NATAPP_OP),
    OPERATION(ENTRY_NGROK_OP),
    OPERATION(ENTRY_NA_OP),
    OPERATION(ENTRY_INS_OP),
    OPERATION(ENTRY_ETH_OP),
    OPERATION(ENTRY_PASSWORD_OP),
    OPERATION(ENTRY_IMU_HOLDER_OP),
    OPERATION(ENTRY_IMU_MAC_ENABLE_OP),
    OPERATION(ENTRY_IMU_MAC_DISABLE_OP),
    OPERATION(ENTRY_IMU_FIXRLS_EN_OP),
    OPERATION(ENTRY_HEADING_OFFSET_OP),
    OPERATION(ENTRY_SMARTBASE_OP),
    OPERATION(ENTRY_UDP_OP),
    OPERATION(ENTRY_PPP_ENABLE_OP),
    OPERATION(ENTRY_PPP_DISABLE_OP),
    OPERATION(ENTRY_UPDATEI_OP),
    OPERATION(ENTRY_UPDATER_OP),
    OPERATION(ENTRY_NA_NS1_OP),
    OPERATION(ENTRY_KEV5_MODE_OP),
};
constexpr Named kStates[] = {OPERATION(OP_FAILED), OPERATION(OP_COMPLETE), OPERATION(OP_ENABLE), OPERATION(OP_EXE),
                             OPERATION(OP_SUCCESS)};

// A whole decimal number from 0 to 255, or -1.
int SmallNumber(const std::string &text) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), ::isdigit)) return -1;
    const int value = std::atoi(text.c_str());
    return value <= 255 ? value : -1;
}

}  // namespace

const std::vector<Segment> &Segments() {
    static const std::vector<Segment> segments = {
        {"config", CONFIG_SHM_KEY, CONFIG_SEM_KEY, sizeof(ReceiverConfigPara), &OstrelConfig,
         GetReceiverConfigParaFromShareMemory, SetConfig},
        {"monitor", MONITOR_SHM_KEY, MONITOR_SEM_KEY, sizeof(MonitorPara), &OstrelMonitor,
         GetMonitorParaFromShareMemory, SetMonitor},
        {"gnss", GNSS_SHM_KEY, GNSS_SEM_KEY, sizeof(GNSSInfo), &OstrelGNSS, GetGNSSInfoFromShareMemory, SetGnss},
    };
    return segments;
}

const Segment *FindSegment(const std::string &name) {
    for (const Segment &segment : Segments())
        if (name == segment.name) return &segment;
    return nullptr;
}

std::vector<Entry> Entries(const Segment &segment) {
    std::vector<Entry> entries;
    const std::string name = segment.name;
    if (name == "config") {
        AddRows(&entries, segment, grshm::kConfigRows);
        for (int n = 1; n <= SMARTBASE_STATIONS; ++n) {
            const auto number = static_cast<unsigned char>(ENTRY_SMARTBASE1_CONFIG + n - 1);
            entries.push_back({&segment, number, "ENTRY_SMARTBASE" + std::to_string(n) + "_CONFIG",
                               grshm::kConfigTable[number], Form::SmartBase, true, true});
        }
    } else if (name == "monitor") {
        AddRows(&entries, segment, grshm::kMonitorRows);
    } else {
        AddRows(&entries, segment, grshm::kGnssRows);
        // ENTRY_GSV stores one input record into a slot; it has no bytes of its own to read.
        entries.push_back(
            {&segment, ENTRY_GSV, "ENTRY_GSV", {0, sizeof(GSVInput), grshm::Access::None}, Form::Bytes, false, true});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.span.offset < b.span.offset; });
    return entries;
}

const Entry *FindEntry(const std::vector<Entry> &entries, const std::string &name_or_number) {
    const int number = SmallNumber(name_or_number);
    for (const Entry &entry : entries)
        if (entry.name == name_or_number || entry.number == number) return &entry;
    return nullptr;
}

const char *OperationName(int code) {
    for (const Named &op : kOperations)
        if (op.code == code) return op.name;
    return "unknown";
}

int OperationCode(const std::string &name_or_number) {
    const int number = SmallNumber(name_or_number);
    if (number >= 0) return number;
    for (const Named &op : kOperations)
        if (name_or_number == op.name) return op.code;
    return -1;
}

const char *StateName(int state) {
    for (const Named &named : kStates)
        if (named.code == state) return named.name;
    return "unknown";
}

}  // namespace grshmtool
