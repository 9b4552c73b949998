#include "platform/local_time.h"

#include <ctime>

namespace platform {

namespace {

// `parts` as a LocalTime; kUnknownTime when its year does not fit. The year is computed in 64
// bits: the C library's years reach past what an int holds once 1900 is added.
LocalTime fromParts(const std::tm &parts)
{
    const std::int64_t year = std::int64_t { parts.tm_year } + 1900;
    if (year > std::numeric_limits<std::int32_t>::max()
        || year < std::numeric_limits<std::int32_t>::min())
        return kUnknownTime;
    LocalTime result;
    result.year = static_cast<std::int32_t>(year);
    result.month = static_cast<std::uint8_t>(parts.tm_mon + 1);
    result.day = static_cast<std::uint8_t>(parts.tm_mday);
    result.hour = static_cast<std::uint8_t>(parts.tm_hour);
    result.minute = static_cast<std::uint8_t>(parts.tm_min);
    // A leap second shows as the last second of its minute.
    result.second = static_cast<std::uint8_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    return result;
}

// False when the C library cannot convert `seconds` (far beyond the years it holds).
bool localParts(std::time_t seconds, std::tm &parts)
{
    parts = {};
    return localtime_r(&seconds, &parts) != nullptr;
}

} // namespace

std::int64_t currentEpochSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now.tv_sec;
}

std::int64_t nextLocalMidnightAfter(std::int64_t secondsSinceEpoch)
{
    std::tm parts {};
    // The clock itself is never beyond the C library's years; should it be, no midnight comes.
    if (!localParts(static_cast<std::time_t>(secondsSinceEpoch), parts))
        return std::numeric_limits<std::int64_t>::max();
    parts.tm_mday += 1;
    parts.tm_hour = parts.tm_min = parts.tm_sec = 0;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

LocalTime localTimeOf(std::int64_t secondsSinceEpoch)
{
    std::tm parts {};
    if (!localParts(static_cast<std::time_t>(secondsSinceEpoch), parts))
        return kUnknownTime;
    return fromParts(parts);
}

} // namespace platform
