#include "identity.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "sharememory.h"

namespace receiversim {
namespace {

constexpr std::string_view kAntennaTypes[] = {
    "ASH701945E_M    NONE", "ASH701945E_M    SCIS", "CHCC220GR       CHCD", "HXCGG486A       HXCS",
    "JAVRINGANT_DM   NONE", "JAVRINGANT_DM   JVDM", "LEIAR20         LEIM", "LEIAR25.R3      LEIT",
    "LEIAX1202GG     NONE", "LEIGS15         NONE", "NOV702GG        NONE", "NOV703GGG.R2    NONE",
    "SEPCHOKE_B3E6   SPKE", "SEPPOLANT_X_MF  NONE", "TPSCR.G3        TPSH", "TPSHIPER_VR     NONE",
    "TRM55971.00     NONE", "TRM57971.00     NONE", "TRM59800.00     NONE", "TRM59800.00     SCIS",
    "TRM115000.00    NONE", "TRMR10          NONE", "TRMR12I         NONE",
};
static_assert(std::all_of(std::begin(kAntennaTypes), std::end(kAntennaTypes),
                          [](std::string_view type) { return type.size() == 20; }),
              "antenna types are 20 characters: 16 for the antenna, 4 for the radome");

constexpr std::size_t kTypeSlot = 21;
static_assert(sizeof(MonitorPara::ANT_TYPE) == 1000 * kTypeSlot, "1,000 slots of 21 bytes");

template <std::size_t N>
void SetConfigText(unsigned char entry, std::string_view text) {
    char field[N] = {};
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
    SetReceiverConfigParaToShareMemory(entry, field);
}

}  // namespace

std::size_t AntennaTypeCount() {
    return std::size(kAntennaTypes);
}

std::string_view AntennaType(std::size_t index) {
    return index < std::size(kAntennaTypes) ? kAntennaTypes[index] : std::string_view();
}

void WriteIdentity() {
    SetConfigText<sizeof(ReceiverConfigPara::SN)>(ENTRY_SN, "GR2026120800017");
    SetConfigText<sizeof(ReceiverConfigPara::HWV)>(ENTRY_HWV, "H3.1");
    SetConfigText<sizeof(ReceiverConfigPara::SWV)>(ENTRY_SWV, "3.2.1");
    SetConfigText<sizeof(ReceiverConfigPara::RTKV)>(ENTRY_RTKV, "RTK 5.4.0");
    SetConfigText<sizeof(ReceiverConfigPara::PN)>(ENTRY_PN, "GR90-BR");
    SetConfigText<sizeof(ReceiverConfigPara::BOOTV)>(ENTRY_BOOTV, "2019.04-gr3");
    SetConfigText<sizeof(ReceiverConfigPara::RDV)>(ENTRY_RDV, "2.04");
    SetConfigText<sizeof(ReceiverConfigPara::DPV)>(ENTRY_DPV, "1.8.2");
    SetConfigText<sizeof(ReceiverConfigPara::SWD)>(ENTRY_SWD, "2026-11-20");
    SetConfigText<sizeof(ReceiverConfigPara::MAC)>(ENTRY_MAC, "02:4B:52:00:00:11");

    unsigned char version[sizeof(MonitorPara::GNSS_VERS)] = {};
    const std::string_view board = "GB-8 7.10.2512";
    std::memcpy(version, board.data(), board.size());
    SetMonitorParaToShareMemory(ENTRY_GNSS_VERS, version);

    std::vector<unsigned char> list(sizeof(MonitorPara::ANT_TYPE), 0);  // the list ends at an empty slot
    for (std::size_t i = 0; i < AntennaTypeCount(); ++i)
        std::memcpy(&list[i * kTypeSlot], kAntennaTypes[i].data(), kAntennaTypes[i].size());
    SetMonitorParaToShareMemory(ENTRY_ANT_TYPE, list.data());
}

}  // namespace receiversim
