#include "platform/append_file.h"

#include "platform/path_separator.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct LockedAppendFile::Handle
{
    int fd = -1;
};

LockedAppendFile::LockedAppendFile() = default;

LockedAppendFile::~LockedAppendFile()
{
    close();
}

SystemError LockedAppendFile::open(const std::string &path)
{
    close();
    if (!isUsablePath(path))
        return systemError(ENOENT);
    if (path.size() > kMaxPathLength)
        return systemError(ENAMETOOLONG);
    // Opened without blocking, so that a pipe of that name with nobody reading it fails at once
    // rather than holding an unattended run for ever; writes block again as usual.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0)
        return lastSystemError();
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const SystemError error
            = errno == EWOULDBLOCK ? SystemError { ErrorKind::InUse, errno } : lastSystemError();
        ::close(fd);
        return error;
    }
    m_handle = std::make_unique<Handle>(Handle { fd });
    return {};
}

// Names are bytes on Linux, and the log UTF-8: the text goes as it is.
std::string_view LockedAppendFile::encoded(std::string_view text)
{
    return text;
}

SystemError LockedAppendFile::writeSome(std::string_view bytes, std::size_t &written)
{
    written = 0;
    if (!m_handle)
        return systemError(EBADF);
    for (;;) {
        const ssize_t taken = ::write(m_handle->fd, bytes.data(), bytes.size());
        if (taken > 0) {
            written = static_cast<std::size_t>(taken);
            return {};
        }
        // A file takes at least one byte of a write or fails.
        if (taken == 0)
            return systemError(ENOSPC);
        if (errno != EINTR)
            return lastSystemError();
    }
}

void LockedAppendFile::cutBack(std::size_t written)
{
    // Appending leaves the offset at the end of what was written. The part is cut off only while
    // it is still the end of the file: the lock keeps other runs out, but not every writer honours
    // it, and a line appended by another after it must not be cut.
    const int fd = m_handle->fd;
    const off_t end = lseek(fd, 0, SEEK_CUR);
    struct stat info;
    if (end < 0 || fstat(fd, &info) != 0 || info.st_size != end)
        return;
    const off_t start = end - static_cast<off_t>(written);
    if (start >= 0)
        static_cast<void>(ftruncate(fd, start));
}

SystemError LockedAppendFile::close()
{
    if (!m_handle)
        return {};
    const int fd = m_handle->fd;
    m_handle.reset();
    // Closing releases the lock.
    return ::close(fd) == 0 ? SystemError {} : lastSystemError();
}

} // namespace platform
