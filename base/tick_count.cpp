#include "base/tick_count.h"

std::uint64_t ExtendTickCount(std::uint64_t last, std::uint32_t now)
{
    std::uint64_t high = last >> 32;
    if (now < static_cast<std::uint32_t>(last)) ++high;
    return high << 32 | now;
}
