#pragma once

#include <compare>
#include <cstdint>
#include <limits>

namespace platform {

// A moment as the local calendar and clock show it. Years are held as they are, so a file of
// 1970 or of 2200 keeps its real date.
struct LocalTime
{
    std::int32_t year = 1970;
    std::uint8_t month = 1; // 1..12
    std::uint8_t day = 1; // 1..31
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;

    auto operator<=>(const LocalTime &) const = default;
};

// The time of a file whose time cannot be shown as a local date (the C library cannot convert it,
// or its year does not fit): the latest time there is. It sorts after every real time, so such a
// file is never old, and it shows as that latest date and time. Real times of files
// never equal it, since their seconds are even.
inline constexpr LocalTime kUnknownTime { std::numeric_limits<std::int32_t>::max(), 12, 31, 23, 59,
    59 };

// Seconds since the epoch on the system's clock. Cheap enough to ask once per listed file; read
// it through platform::Clock, which tests can hold still.
std::int64_t currentEpochSeconds();

// The epoch second at which the local calendar day after the one of `secondsSinceEpoch` begins.
std::int64_t nextLocalMidnightAfter(std::int64_t secondsSinceEpoch);

// `secondsSinceEpoch` in local time, to the second; kUnknownTime when it has no local date.
LocalTime localTimeOf(std::int64_t secondsSinceEpoch);

// `secondsSinceEpoch` in local time, with the zone's rules for that instant (summer time of a
// winter file is not applied), and the seconds truncated to an even number; kUnknownTime when it
// has no local date.
inline LocalTime localTwoSecondTime(std::int64_t secondsSinceEpoch)
{
    LocalTime result = localTimeOf(secondsSinceEpoch);
    if (result != kUnknownTime)
        result.second = static_cast<std::uint8_t>(result.second & ~1u);
    return result;
}

} // namespace platform
