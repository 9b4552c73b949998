#pragma once

#include "platform/local_time.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace platform {

// Where the program reads "now": the system's clock, or, for tests, a clock held still at one
// moment, so that a listing made across midnight measures its files from one known day.
class Clock
{
public:
    // The system's clock.
    Clock() = default;
    // A clock that always reads `secondsSinceEpoch`.
    static Clock heldAt(std::int64_t secondsSinceEpoch)
    {
        Clock clock;
        clock.m_held = secondsSinceEpoch;
        return clock;
    }

    // Seconds since the epoch. Cheap enough to ask once per listed file.
    std::int64_t now() const { return m_held ? *m_held : currentEpochSeconds(); }
    // The local date and time now, to the second.
    LocalTime localNow() const { return localTimeOf(now()); }
    // The epoch second at which the local calendar day after now begins (the coming midnight).
    std::int64_t nextMidnight() const { return nextLocalMidnightAfter(now()); }

private:
    std::optional<std::int64_t> m_held;
};

// Milliseconds on the system's monotonic clock, which no change of the date or time moves: for
// measuring intervals, never for telling the time.
inline std::int64_t monotonicMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace platform
