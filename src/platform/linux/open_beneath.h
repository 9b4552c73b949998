#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Opens the directory `path` (names joined by "/"), from offset `from` on, below the open
// directory `dirFd` as a mere handle (O_PATH), following no link and never leaving `dirFd`'s
// tree: what the walk uses to find a directory it holds again by its listed names. A path longer
// than one lookup takes is looked up in steps of whole names. Returns the descriptor, or -1 with
// errno set.
int openBeneath(int dirFd, const std::string &path, std::size_t from);

} // namespace platform
