// The monitor bytes the receiver keeps live (health, storage, link states, running time): a
// check that "nothing changed" while it runs compares everything but them.
#pragma once

#include <cstddef>
#include <vector>

#include "segments.h"

namespace testsupport {

inline std::vector<unsigned char> MonitorBytesBesideLiveStatus() {
    struct Range {
        std::size_t offset, size;
    };
    const Range live[] = {
        {offsetof(MonitorPara, POWER_SUPPLY), 1}, {offsetof(MonitorPara, TEMP), 1},
        {offsetof(MonitorPara, BATTERY_EQ), 1},   {offsetof(MonitorPara, ALL_SPACE), 8},
        {offsetof(MonitorPara, TCP1_LINK), 2},    {offsetof(MonitorPara, NC_STATE), 3},
        {offsetof(MonitorPara, FW_STATE), 1},     {offsetof(MonitorPara, RUNTIME), 4},
        {offsetof(MonitorPara, POWER_OFF), 1},
    };
    std::vector<unsigned char> bytes = MonitorBytes();
    for (const Range &range : live)
        for (std::size_t i = 0; i < range.size; ++i) bytes[range.offset + i] = 0;
    return bytes;
}

}  // namespace testsupport
