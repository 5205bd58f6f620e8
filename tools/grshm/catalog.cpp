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

void AddRows(std::vector<Entry> *entries, const Segment &segment) {
    for (const grshm::EntryRow &row : segment.rows)
        entries->push_back(
            {&segment, row.entry, row.name, row.Span(), row.member, true, row.access != grshm::Access::GetOnly});
}

// The thirty SmartBase positions are entries 72 to 101 of the configuration table.
void AddSmartBaseList(const Segment &segment, std::vector<Entry> *entries) {
    for (int n = 1; n <= SMARTBASE_STATIONS; ++n) {
        const auto number = static_cast<unsigned char>(ENTRY_SMARTBASE1_CONFIG + n - 1);
        const grshm::EntryRow row = grshm::SmartBaseRow(n - 1);
        entries->push_back(
            {&segment, number, "ENTRY_SMARTBASE" + std::to_string(n) + "_CONFIG", row.Span(), row.member, true, true});
    }
}

// ENTRY_GSV stores one input record into a slot; it has no bytes of its own to read.
void AddGsvInput(const Segment &segment, std::vector<Entry> *entries) {
    entries->push_back({&segment,
                        ENTRY_GSV,
                        "ENTRY_GSV",
                        {0, sizeof(GSVInput), grshm::Access::None},
                        {"", 0, sizeof(GSVInput), grshm::Kind::Bytes},
                        false,
                        true});
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
         GetReceiverConfigParaFromShareMemory, SetConfig, grshm::kConfigRows, AddSmartBaseList},
        {"monitor", MONITOR_SHM_KEY, MONITOR_SEM_KEY, sizeof(MonitorPara), &OstrelMonitor,
         GetMonitorParaFromShareMemory, SetMonitor, grshm::kMonitorRows, nullptr},
        {"gnss", GNSS_SHM_KEY, GNSS_SEM_KEY, sizeof(GNSSInfo), &OstrelGNSS, GetGNSSInfoFromShareMemory, SetGnss,
         grshm::kGnssRows, AddGsvInput},
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
    AddRows(&entries, segment);
    if (segment.add_entries != nullptr) segment.add_entries(segment, &entries);
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
