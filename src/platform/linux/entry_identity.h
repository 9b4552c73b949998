#pragma once

#include "platform/dir_search.h"

#include <sys/stat.h>

namespace platform {

// An entry's identity from what stat() said of it, the same for the search that lists it and the
// walk that deletes it.
inline EntryIdentity identityOf(const struct stat &info)
{
    return { static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_mtim.tv_sec),
        static_cast<std::int64_t>(info.st_ctim.tv_sec),
        static_cast<std::uint32_t>(info.st_mtim.tv_nsec),
        static_cast<std::uint32_t>(info.st_ctim.tv_nsec),
        static_cast<std::uint32_t>(info.st_mode & S_IFMT) };
}

} // namespace platform
