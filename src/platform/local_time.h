#pragma once

#include <compare>
#include <cstdint>

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

// The local date and time now, to the second.
LocalTime currentLocalTime();

// Seconds since the epoch now. Cheap enough to ask once per listed file.
std::int64_t currentEpochSeconds();

// The epoch second at which the next local calendar day begins (the coming midnight).
std::int64_t nextLocalMidnight();

// `secondsSinceEpoch` in local time, to the second.
LocalTime localTimeOf(std::int64_t secondsSinceEpoch);

// `secondsSinceEpoch` in local time, with the zone's rules for that instant (summer time of a
// winter file is not applied), and the seconds truncated to an even number.
LocalTime localTwoSecondTime(std::int64_t secondsSinceEpoch);

} // namespace platform
