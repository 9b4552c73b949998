#include "platform/open_levels.h"

namespace platform {

// Handles are no scarce resource on Windows, and a level closed costs much more to find again
// than on Linux (no relative "..": Wine has none, so it is opened again by its names from a
// level still open); but a tree thousands of levels deep should not hold thousands of them.
std::size_t directoriesKeptOpen()
{
    constexpr std::size_t kKeptOpen = 256;
    return kKeptOpen;
}

std::size_t walksWithinDescriptorLimit(std::size_t wanted)
{
    // Windows has no limit of open handles that a process could be given.
    return std::max<std::size_t>(1, wanted);
}

} // namespace platform
