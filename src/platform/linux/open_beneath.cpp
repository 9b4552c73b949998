#include "platform/linux/open_beneath.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

// Directories looked up only to compare them are opened as mere handles.
constexpr int kCheckFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// The longest path handed to the system in one lookup; longer ones are looked up in steps.
constexpr std::size_t kLookupBytes = 4000;

std::atomic<bool> g_noOpenat2 { false };

// Opens the directory `path` (names joined by "/", no more than kLookupBytes) below `dirFd`,
// following no link and never leaving `dirFd`'s tree. -1 with errno set on failure.
int openStep(int dirFd, const std::string &path)
{
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        open_how how {};
        how.flags = static_cast<std::uint64_t>(kCheckFlags);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        // A rename anywhere on the system during the lookup makes it fail with EAGAIN.
        long fd = -1;
        for (int attempt = 0; attempt < 4; ++attempt) {
            fd = syscall(SYS_openat2, dirFd, path.c_str(), &how, sizeof how);
            if (fd >= 0 || errno != EAGAIN)
                break;
        }
        if (fd >= 0 || errno != ENOSYS)
            return static_cast<int>(fd);
        g_noOpenat2.store(true, std::memory_order_relaxed);
    }
    // Kernels before 5.6: a name at a time, each opened without following a link.
    int fd = dirFd;
    std::size_t start = 0;
    std::string name;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        name.assign(path, start, end - start);
        const int next = openat(fd, name.c_str(), kCheckFlags);
        const int error = errno;
        if (fd != dirFd)
            ::close(fd);
        if (next < 0) {
            errno = error;
            return -1;
        }
        fd = next;
        start = end + 1;
    }
    return fd;
}

} // namespace

int openBeneath(int dirFd, const std::string &path, std::size_t from)
{
    int fd = dirFd;
    std::string step;
    for (;;) {
        std::size_t end = path.size();
        if (end - from > kLookupBytes) {
            end = path.rfind('/', from + kLookupBytes);
            if (end == std::string::npos || end <= from) {
                // No name is that long; the path cannot be one the walk built.
                if (fd != dirFd)
                    ::close(fd);
                errno = ENAMETOOLONG;
                return -1;
            }
        }
        step.assign(path, from, end - from);
        const int next = openStep(fd, step);
        if (fd != dirFd)
            ::close(fd);
        if (next < 0 || end == path.size())
            return next;
        fd = next;
        from = end + 1;
    }
}

} // namespace platform
