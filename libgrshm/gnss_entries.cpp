// Entry access of the GNSS information segment and the satellite-visibility extraction.
#include "entry_tables.h"

namespace grshm {
namespace {

GNSSInfo *Gnss(unsigned char *base) {
    return reinterpret_cast<GNSSInfo *>(base);
}

// Stores one GSV sentence in its slot. A record that names no place in the slots (system
// above 4, sentence number 0 or above 8) stores nothing.
void StoreGsvSentence(GNSSInfo *gnss, const GSVInput &input) {
    if (input.System >= GNSS_GSV_SLOTS || input.Number == 0 || input.Number > GNSS_GSV_SENTENCES) return;
    GSVSlot &slot = gnss->GSV[input.System];
    std::memcpy(slot.Sentence[input.Number - 1], input.Sentence, GNSS_GSV_SENTENCE_BYTES);
    slot.Control[input.Number - 1] = input.Control;
}

// The extraction scans run over the whole text area, past zero bytes; a scan that finds
// nothing answers the area's size.
constexpr int kScanArea = sizeof(GNSSInfo::M925A);

int FindNth(const char *area, char mark, int nth) {
    int seen = 0;
    for (int position = 0; position < kScanArea; ++position)
        if (area[position] == mark && ++seen == nth) return position;
    return kScanArea;
}

void ExtractVisibility(const char *area, unsigned char selector, void *data) {
    switch (selector) {
        case 0: {
            const int comma = FindNth(area, ',', 14);
            if (comma < kScanArea) std::memcpy(data, area + comma + 1, 2);
            return;
        }
        case 1: {
            const int semicolon = FindNth(area, ';', 1);
            if (semicolon < kScanArea) std::memcpy(data, area + semicolon + 1, 2);
            return;
        }
        case 2: {
            const int start = FindNth(area, ';', 2);
            const int end = FindNth(area, '*', 1);
            if (start == kScanArea || end == kScanArea) return;
            const unsigned int length = static_cast<unsigned int>(end - start - 1);
            if (length < static_cast<unsigned int>(kScanArea)) std::memcpy(data, area + start + 1, length);
            return;
        }
        case 3: {
            const int start = FindNth(area, ';', 1);
            const int end = FindNth(area, '*', 1);
            if (start == kScanArea || end == kScanArea) return;
            const int length = end - start - 1;
            std::memcpy(data, &length, sizeof length);
            return;
        }
        default:
            return;
    }
}

}  // namespace
}  // namespace grshm

extern "C" {

int SetGNSSInfoToShareMemory(unsigned char entry, const void *data) {
    if (entry != ENTRY_GSV) return grshm::SetTableEntry(OstrelGNSS, grshm::kGnssTable, entry, data);
    if (data == nullptr) return -1;
    GSVInput input;
    std::memcpy(&input, data, sizeof input);
    return grshm::WithLock(OstrelGNSS,
                           [&input](unsigned char *base) { grshm::StoreGsvSentence(grshm::Gnss(base), input); });
}

int GetGNSSInfoFromShareMemory(unsigned char entry, void *data) {
    return grshm::GetTableEntry(OstrelGNSS, grshm::kGnssTable, entry, data);
}

int GetSatelliteVisInfoFromGNSSShareMemory(unsigned char selector, void *data) {
    if (data == nullptr) return -1;
    return grshm::WithLock(OstrelGNSS, [selector, data](unsigned char *base) {
        grshm::ExtractVisibility(grshm::Gnss(base)->M925A, selector, data);
    });
}

}  // extern "C"
