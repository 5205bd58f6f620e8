// Entry access of the configuration segment.
#include <cerrno>

#include "entry_tables.h"
#include "revision.h"

namespace grshm {
namespace {

// A range that lies within an entry Get serves (watched) or Set copies whole (written).
bool RangeFits(const ConfigByteRange &range, bool written) {
    const EntrySpan span = kConfigTable[range.entry];
    const bool served =
        written ? span.access == Access::Both : span.access == Access::Both || span.access == Access::GetOnly;
    return served && range.offset + range.length <= span.size;
}

bool RangesFit(const ConfigByteRange *ranges, unsigned int count, bool written, unsigned char entry) {
    if (ranges == nullptr) return count == 0;
    for (unsigned int i = 0; i < count; ++i)
        if (!RangeFits(ranges[i], written) || (written && ranges[i].entry != entry)) return false;
    return true;
}

bool WritesFit(const ConfigRangeWrite *writes, unsigned int count) {
    if (writes == nullptr) return count == 0;
    for (unsigned int i = 0; i < count; ++i)
        if (writes[i].bytes == nullptr || !RangeFits(writes[i].range, true)) return false;
    return true;
}

unsigned long long HashRanges(const unsigned char *base, const ConfigByteRange *ranges, unsigned int count) {
    unsigned long long hash = GRSHM_REVISION_BASIS;
    for (unsigned int i = 0; i < count; ++i)
        hash = HashBytes(hash, base + kConfigTable[ranges[i].entry].offset + ranges[i].offset, ranges[i].length);
    return hash;
}

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

int UpdateReceiverConfigParaIfRevision(unsigned char entry, const void *data, const ConfigByteRange *writes,
                                       unsigned int write_count, const ConfigByteRange *watched,
                                       unsigned int watched_count, unsigned long long revision) {
    using namespace grshm;
    if (data == nullptr || kConfigTable[entry].access != Access::Both || !RangesFit(writes, write_count, true, entry) ||
        !RangesFit(watched, watched_count, false, entry)) {
        errno = EINVAL;
        return -1;
    }
    bool matched = false;
    const int locked = WithLock(OstrelConfig, [&](unsigned char *base) {
        matched = HashRanges(base, watched, watched_count) == revision;
        if (!matched) return;
        const auto *source = static_cast<const unsigned char *>(data);
        unsigned char *target = base + kConfigTable[entry].offset;
        for (unsigned int i = 0; i < write_count; ++i)
            std::memcpy(target + writes[i].offset, source + writes[i].offset, writes[i].length);
    });
    if (locked != 0) return -1;
    return matched ? 0 : 1;
}

int UpdateReceiverConfigRangesIfRevision(const ConfigRangeWrite *writes, unsigned int write_count,
                                         const ConfigByteRange *watched, unsigned int watched_count,
                                         unsigned long long revision) {
    using namespace grshm;
    if (!WritesFit(writes, write_count) || !RangesFit(watched, watched_count, false, 0)) {
        errno = EINVAL;
        return -1;
    }
    bool matched = false;
    const int locked = WithLock(OstrelConfig, [&](unsigned char *base) {
        matched = HashRanges(base, watched, watched_count) == revision;
        if (!matched) return;
        for (unsigned int i = 0; i < write_count; ++i) {
            const ConfigByteRange &range = writes[i].range;
            std::memcpy(base + kConfigTable[range.entry].offset + range.offset, writes[i].bytes, range.length);
        }
    });
    if (locked != 0) return -1;
    return matched ? 0 : 1;
}

}  // extern "C"
