#include "platform/system_root.h"

#include <sys/stat.h>

namespace platform {

bool isSystemRoot(const EntryIdentity &directory)
{
    // Compared by device and inode, so that every spelling of the root ("//", "/tmp/..", a link
    // to it) is known as the root.
    struct stat root;
    return stat("/", &root) == 0 && static_cast<std::uint64_t>(root.st_dev) == directory.volume
        && static_cast<std::uint64_t>(root.st_ino) == directory.fileId;
}

} // namespace platform
