#include "platform/path_separator.h"
#include "platform/profile_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Reads the whole regular file; nothing, with `error` set, when it cannot.
std::optional<std::string> readWholeFile(const std::string &path, SystemError &error)
{
    // Opened without blocking: a pipe of that name, with nobody writing to it, would hold the
    // start for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = lastSystemError();
        return std::nullopt;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? systemError(EISDIR)
                                      : SystemError { ErrorKind::NotARegularFile, 0 };
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            error = lastSystemError();
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    return content;
}

} // namespace

std::optional<ProfileFile> ProfileFile::load(const std::string &path, SystemError &error)
{
    if (!isUsablePath(path)) {
        error = systemError(ENOENT);
        return std::nullopt;
    }
    const auto content = readWholeFile(path, error);
    if (!content)
        return std::nullopt;
    return parse(*content);
}

} // namespace platform
