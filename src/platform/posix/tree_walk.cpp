#include "platform/tree_walk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

bool isEntry(const struct stat &info, const EntryIdentity &expected)
{
    return static_cast<std::uint64_t>(info.st_dev) == expected.device
        && static_cast<std::uint64_t>(info.st_ino) == expected.inode;
}

} // namespace

TreeWalk::~TreeWalk() { close(); }

void TreeWalk::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool TreeWalk::moveTo(int fd, const EntryIdentity &expected)
{
    close();
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !isEntry(info, expected)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool TreeWalk::openTop(const std::string &path, const EntryIdentity &expected)
{
    // The listed directory itself is reached as the listing reached it.
    return moveTo(::open(path.c_str(), kDirectoryFlags), expected);
}

bool TreeWalk::enterChild(std::string_view name, const EntryIdentity &expected)
{
    if (m_fd < 0)
        return false;
    m_name.assign(name);
    return moveTo(openat(m_fd, m_name.c_str(), kDirectoryFlags | O_NOFOLLOW), expected);
}

bool TreeWalk::enterParent(const EntryIdentity &expected)
{
    if (m_fd < 0)
        return false;
    return moveTo(openat(m_fd, "..", kDirectoryFlags | O_NOFOLLOW), expected);
}

bool TreeWalk::removeFile(std::string_view name, const EntryIdentity &expected)
{
    if (m_fd < 0)
        return false;
    m_name.assign(name);
    struct stat info;
    // A file rewritten or replaced since the listing (a log rotated meanwhile) is not the file
    // the user saw and confirmed: it stays.
    if (fstatat(m_fd, m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(info.st_mode)
        || !isEntry(info, expected) || info.st_mtim.tv_sec != expected.mtimeSeconds
        || static_cast<std::uint32_t>(info.st_mtim.tv_nsec) != expected.mtimeNanoseconds)
        return false;
    return unlinkat(m_fd, m_name.c_str(), 0) == 0;
}

} // namespace platform
