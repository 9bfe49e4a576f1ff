// The 32-bit tick count carried on in 64 bits, as on Windows XP.
#include <gtest/gtest.h>

#include <cstdint>

#include "base/tick_count.h"

namespace {

TEST(TickCount, CarriesTheWrapIntoTheHighHalf)
{
    const struct {
        const char* what;
        std::uint64_t last;
        std::uint32_t now;
        std::uint64_t expected;
    } kCases[] = {
        {"first reading", 0, 1234, 1234},
        {"same reading", 0x500000010ull, 0x10, 0x500000010ull},
        {"counting on", 0x2FFFFFF00ull, 0xFFFFFFFFu, 0x2FFFFFFFFull},
        {"wrapped just past zero", 0xFFFFFFF0ull, 0x5, 0x100000005ull},
        {"wrapped from the top", 0x1FFFFFFFFull, 0x0, 0x200000000ull},
        {"wrapped in a later cycle", 0x7000000C8ull, 0x64, 0x800000064ull},
    };
    for (const auto& c : kCases) EXPECT_EQ(ExtendTickCount(c.last, c.now), c.expected) << c.what;
}

} // namespace
