#include "platform/open_levels.h"

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

} // namespace platform
