#include "platform/local_time.h"

#include <ctime>

namespace platform {

namespace {

LocalTime fromParts(const std::tm &parts)
{
    LocalTime result;
    result.year = parts.tm_year + 1900;
    result.month = static_cast<std::uint8_t>(parts.tm_mon + 1);
    result.day = static_cast<std::uint8_t>(parts.tm_mday);
    result.hour = static_cast<std::uint8_t>(parts.tm_hour);
    result.minute = static_cast<std::uint8_t>(parts.tm_min);
    // A leap second shows as the last second of its minute.
    result.second = static_cast<std::uint8_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    return result;
}

std::tm localParts(std::time_t seconds)
{
    std::tm parts {};
    if (!localtime_r(&seconds, &parts)) {
        // Beyond what the C library can represent: the earliest date it surely can.
        parts = {};
        parts.tm_year = 70;
        parts.tm_mday = 1;
    }
    return parts;
}

} // namespace

LocalTime currentLocalTime()
{
    return fromParts(localParts(std::time(nullptr)));
}

std::int64_t currentEpochSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now.tv_sec;
}

std::int64_t nextLocalMidnight()
{
    std::tm parts = localParts(std::time(nullptr));
    parts.tm_mday += 1;
    parts.tm_hour = parts.tm_min = parts.tm_sec = 0;
    parts.tm_isdst = -1;
    return std::mktime(&parts);
}

LocalTime localTimeOf(std::int64_t secondsSinceEpoch)
{
    return fromParts(localParts(static_cast<std::time_t>(secondsSinceEpoch)));
}

LocalTime localTwoSecondTime(std::int64_t secondsSinceEpoch)
{
    LocalTime result = localTimeOf(secondsSinceEpoch);
    result.second = static_cast<std::uint8_t>(result.second & ~1u);
    return result;
}

} // namespace platform
