#include "platform/append_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

LockedAppendFile::~LockedAppendFile() { close(); }

int LockedAppendFile::open(const std::string &path)
{
    close();
    if (path.size() > kMaxPathLength)
        return ENAMETOOLONG;
    // Opened without blocking, so that a pipe of that name with nobody reading it fails at once
    // rather than holding an unattended run for ever; writes block again as usual.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0)
        return errno;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? kLockedByAnother : errno;
        ::close(fd);
        return error;
    }
    m_fd = fd;
    return 0;
}

int LockedAppendFile::append(std::string_view bytes)
{
    if (m_fd < 0)
        return EBADF;
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int LockedAppendFile::close()
{
    if (m_fd < 0)
        return 0;
    const int fd = m_fd;
    m_fd = -1;
    // Closing releases the lock.
    return ::close(fd) == 0 ? 0 : errno;
}

} // namespace platform
