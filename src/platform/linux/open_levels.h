#pragma once

#include <algorithm>
#include <cstddef>
#include <sys/resource.h>

namespace platform {

// How many directories a walk through a tree keeps open at once, the directory search and the
// deletion's walk alike. Directories farther up are closed and found again through ".." when the
// walk comes back, so a walk needs a bounded number of descriptors however deep the tree is. The
// number is a quarter of what the process may open, within these bounds: a low limit closes
// levels earlier instead of failing, and the rest of the program (its log, its window, the other
// walk) keeps descriptors of its own.
inline std::size_t directoriesKeptOpen()
{
    constexpr std::size_t kFewest = 3;
    constexpr std::size_t kMost = 48;
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMost;
    return static_cast<std::size_t>(std::clamp<rlim_t>(limit.rlim_cur / 4, kFewest, kMost));
}

} // namespace platform
