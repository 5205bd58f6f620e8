// Entry access of the configuration segment.
#include "entry_tables.h"

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
