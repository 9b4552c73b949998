#pragma once

#include <algorithm>
#include <cstddef>

namespace platform {

// How many directories one search or one walk through a tree keeps open at once. Directories
// farther up are closed and found again when the walk comes back to them, so that a walk needs a
// bounded number of descriptors or handles however deep the tree is. Each system defines the
// number with its reason.
std::size_t directoriesKeptOpen();

// The share of directoriesKeptOpen() each of `walks` walks running at once may keep open, never
// fewer than a walk needs to move: its current directory, its parent and one looked up.
inline std::size_t directoriesKeptOpenPerWalk(std::size_t walks)
{
    constexpr std::size_t kFewestPerWalk = 3;
    return std::max(kFewestPerWalk, directoriesKeptOpen() / std::max<std::size_t>(1, walks));
}

// How many of `wanted` walks may run at once on the descriptors or handles the process may open, at
// least one: under a low limit (`ulimit -n`) fewer walks rather than walks that fail.
std::size_t walksWithinDescriptorLimit(std::size_t wanted);

} // namespace platform
