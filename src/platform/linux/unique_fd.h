#pragma once

#include "platform/unique_resource.h"

#include <unistd.h>

namespace platform {

struct FdTraits
{
    using Handle = int;
    static constexpr int none() { return -1; }
    static bool valid(int fd) { return fd >= 0; }
    static void close(int fd) { ::close(fd); }
};

// An open file descriptor, closed when it goes.
using UniqueFd = UniqueResource<FdTraits>;

} // namespace platform
