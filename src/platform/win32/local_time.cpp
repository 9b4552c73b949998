#include "platform/local_time.h"

#include "platform/calendar.h"

#include <windows.h>

namespace platform {

namespace {

// FILETIME counts 100-nanosecond steps since 1601-01-01 UTC.
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kEpochInSeconds = 11'644'473'600; // 1970-01-01 after 1601-01-01

// The zone's rules for `year`: its offsets and the dates summer time begins and ends that year.
// A listing converts many times of a few years, and the rules are read from the registry, so the
// last year read is kept (per thread: the directory search reads ahead on a second one).
bool zoneRulesForYear(int year, TIME_ZONE_INFORMATION &rules)
{
    thread_local int cachedYear = -1;
    thread_local TIME_ZONE_INFORMATION cachedRules {};
    if (year != cachedYear) {
        if (year < 0 || year > 0xFFFF
            || !GetTimeZoneInformationForYear(static_cast<USHORT>(year), nullptr, &cachedRules))
            return false;
        cachedYear = year;
    }
    rules = cachedRules;
    return true;
}

// `secondsSinceEpoch` as UTC calendar time; false beyond what FILETIME holds (before 1601, or
// past the year 30827).
bool utcOf(std::int64_t secondsSinceEpoch, SYSTEMTIME &utc)
{
    constexpr std::int64_t kLatest = INT64_MAX / kTicksPerSecond - kEpochInSeconds;
    if (secondsSinceEpoch < -kEpochInSeconds || secondsSinceEpoch > kLatest)
        return false;
    const auto ticks
        = static_cast<std::uint64_t>((secondsSinceEpoch + kEpochInSeconds) * kTicksPerSecond);
    FILETIME fileTime;
    fileTime.dwLowDateTime = static_cast<DWORD>(ticks);
    fileTime.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return FileTimeToSystemTime(&fileTime, &utc);
}

// `utc` as local time with the zone's rules of its own year, not today's offset: a winter file
// seen in summer keeps its winter hour.
bool localOf(const SYSTEMTIME &utc, SYSTEMTIME &local)
{
    TIME_ZONE_INFORMATION rules;
    if (!zoneRulesForYear(utc.wYear, rules)
        || !SystemTimeToTzSpecificLocalTime(&rules, &utc, &local))
        return false;
    // Around New Year the local year is not the UTC one; its own rules decide.
    if (local.wYear != utc.wYear
        && (!zoneRulesForYear(local.wYear, rules)
            || !SystemTimeToTzSpecificLocalTime(&rules, &utc, &local)))
        return false;
    return true;
}

std::int64_t epochSecondsOf(const SYSTEMTIME &utc)
{
    FILETIME fileTime;
    if (!SystemTimeToFileTime(&utc, &fileTime))
        return std::numeric_limits<std::int64_t>::max();
    const std::uint64_t ticks
        = (std::uint64_t { fileTime.dwHighDateTime } << 32) | fileTime.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / kTicksPerSecond) - kEpochInSeconds;
}

} // namespace

std::int64_t currentEpochSeconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (std::uint64_t { now.dwHighDateTime } << 32) | now.dwLowDateTime;
    return static_cast<std::int64_t>(ticks / kTicksPerSecond) - kEpochInSeconds;
}

std::int64_t nextLocalMidnightAfter(std::int64_t secondsSinceEpoch)
{
    const LocalTime today = localTimeOf(secondsSinceEpoch);
    // The clock itself is never beyond the system's years; should it be, no midnight comes.
    if (today == kUnknownTime)
        return std::numeric_limits<std::int64_t>::max();
    const LocalTime tomorrow = dateFromDays(daysSinceEpoch(today) + 1);
    TIME_ZONE_INFORMATION rules;
    if (tomorrow.year > 30827 || !zoneRulesForYear(tomorrow.year, rules))
        return std::numeric_limits<std::int64_t>::max();
    SYSTEMTIME local {};
    local.wYear = static_cast<WORD>(tomorrow.year);
    local.wMonth = tomorrow.month;
    local.wDay = tomorrow.day;
    SYSTEMTIME utc;
    if (!TzSpecificLocalTimeToSystemTime(&rules, &local, &utc))
        return std::numeric_limits<std::int64_t>::max();
    return epochSecondsOf(utc);
}

LocalTime localTimeOf(std::int64_t secondsSinceEpoch)
{
    SYSTEMTIME utc;
    SYSTEMTIME local;
    if (!utcOf(secondsSinceEpoch, utc) || !localOf(utc, local))
        return kUnknownTime;
    LocalTime result;
    result.year = local.wYear;
    result.month = static_cast<std::uint8_t>(local.wMonth);
    result.day = static_cast<std::uint8_t>(local.wDay);
    result.hour = static_cast<std::uint8_t>(local.wHour);
    result.minute = static_cast<std::uint8_t>(local.wMinute);
    result.second = static_cast<std::uint8_t>(local.wSecond);
    return result;
}

} // namespace platform
