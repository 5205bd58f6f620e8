// Entry access of the GNSS information segment and the satellite-visibility extraction.
#include "segment.h"

namespace grshm {
namespace {

#define GNSS_SPAN(member, access) GRSHM_SPAN(GNSSInfo, member, access)

constexpr EntryRow kGnssRows[] = {
    {ENTRY_GGA_MSG, GNSS_SPAN(GGA_MSG, Access::Text)},
    {ENTRY_M925A, GNSS_SPAN(M925A, Access::Text)},
    {ENTRY_TIMEA, GNSS_SPAN(TIMEA, Access::Text)},
    {ENTRY_BESTPOSA, GNSS_SPAN(BESTPOSA, Access::Text)},
    {ENTRY_PSRDOPA, GNSS_SPAN(PSRDOPA, Access::Text)},
    {ENTRY_GGA, GNSS_SPAN(GGA, Access::Both)},
    {ENTRY_ZDA, GNSS_SPAN(ZDA, Access::Both)},
    {ENTRY_M925, GNSS_SPAN(M925, Access::Both)},
    {ENTRY_DOP, GNSS_SPAN(DOP, Access::Both)},
    {ENTRY_XYZ, GNSS_SPAN(XYZ, Access::Both)},
    {ENTRY_M925B, GNSS_SPAN(M925B, Access::BinaryLog)},
    {ENTRY_BESTPOSB, GNSS_SPAN(BESTPOSB, Access::BinaryLog)},
    {ENTRY_TIMEB, GNSS_SPAN(TIMEB, Access::BinaryLog)},
    {ENTRY_PSRDOPB, GNSS_SPAN(PSRDOPB, Access::BinaryLog)},
    {ENTRY_ZDA_MSG, GNSS_SPAN(ZDA_MSG, Access::Text)},
    {ENTRY_GSV_GP, GNSS_SPAN(GSV[0], Access::GetOnly)},
    {ENTRY_GSV_BD, GNSS_SPAN(GSV[1], Access::GetOnly)},
    {ENTRY_GSV_GL, GNSS_SPAN(GSV[2], Access::GetOnly)},
    {ENTRY_GSV_GA, GNSS_SPAN(GSV[3], Access::GetOnly)},
    {ENTRY_HEADING_MSG, GNSS_SPAN(HEADING_MSG, Access::Text)},
    {ENTRY_GST_MSG, GNSS_SPAN(GST_MSG, Access::Text)},
    {ENTRY_RMC_MSG, GNSS_SPAN(RMC_MSG, Access::Text)},
    {ENTRY_SATSA_MSG, GNSS_SPAN(SATSA_MSG, Access::Text)},
    {ENTRY_GPFMI_MSG, GNSS_SPAN(GPFMI_MSG, Access::Text)},
    {ENTRY_BASEINFOA_MSG, GNSS_SPAN(BASEINFOA_MSG, Access::Text)},
    {ENTRY_FIXRLS_MSG, GNSS_SPAN(FIXRLS_MSG, Access::Text)},
};

constexpr EntryTable kGnssTable = MakeEntryTable(kGnssRows);

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
