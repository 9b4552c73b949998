#pragma once

#include "platform/local_time.h"

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

} // namespace platform
