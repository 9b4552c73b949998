#include "platform/open_levels.h"

#include <cstdint>
#include <sys/resource.h>

namespace platform {

// Descriptors are scarce on Linux: a quarter of what the process may open, so that a low limit
// (`ulimit -n`) closes levels earlier instead of failing, and the rest of the program (its log,
// its window, the other walks) keeps descriptors of its own. At most kMostKeptOpen: more saves
// nothing measurable, and at least kFewestKeptOpen, what a walk needs to move.
std::size_t directoriesKeptOpen()
{
    constexpr std::size_t kFewestKeptOpen = 3;
    constexpr std::size_t kMostKeptOpen = 48;
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMostKeptOpen;
    return static_cast<std::size_t>(
        std::clamp<rlim_t>(limit.rlim_cur / 4, kFewestKeptOpen, kMostKeptOpen));
}

std::size_t walksWithinDescriptorLimit(std::size_t wanted)
{
    // A walk holds at least three directories and, while it checks its chain, a few more; the
    // rest of the program keeps its standard streams, its log and a few others.
    constexpr rlim_t kPerWalk = 6;
    constexpr rlim_t kForTheRest = 10;
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::max<std::size_t>(1, wanted);
    const rlim_t walks
        = limit.rlim_cur > kForTheRest ? (limit.rlim_cur - kForTheRest) / kPerWalk : 0;
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::min<rlim_t>(walks, SIZE_MAX)), 1,
        std::max<std::size_t>(1, wanted));
}

} // namespace platform
