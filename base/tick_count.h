// A 32-bit millisecond tick count, which wraps every 49.7 days, carried on
// in 64 bits: how the program counts time on Windows without GetTickCount64.
#ifndef KELVRA_BASE_TICK_COUNT_H
#define KELVRA_BASE_TICK_COUNT_H

#include <cstdint>

// The 64-bit count for the 32-bit reading `now`, given the 64-bit count last
// answered. A reading below the last one's low half means the counter
// wrapped once since; so the counter must be read at least every 49.7 days.
std::uint64_t ExtendTickCount(std::uint64_t last, std::uint32_t now);

#endif
