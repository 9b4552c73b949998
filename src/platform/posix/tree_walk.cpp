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

// Directories kept open above the current one; farther up, ".." is looked up.
constexpr std::size_t kOpenLevels = 32;

} // namespace

TreeWalk::~TreeWalk()
{
    close();
}

void TreeWalk::close()
{
    for (const Level &level : m_levels)
        ::close(level.fd);
    m_levels.clear();
}

bool TreeWalk::push(int fd, const EntryIdentity &expected)
{
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !isEntry(info, expected)) {
        if (fd >= 0)
            ::close(fd);
        close();
        return false;
    }
    if (m_levels.size() >= kOpenLevels) {
        ::close(m_levels.front().fd);
        m_levels.erase(m_levels.begin());
    }
    m_levels.push_back({ fd, expected.device, expected.inode });
    return true;
}

bool TreeWalk::openTop(const std::string &path, const EntryIdentity &expected)
{
    close();
    // The listed directory itself is reached as the listing reached it.
    return push(::open(path.c_str(), kDirectoryFlags), expected);
}

bool TreeWalk::enterChild(std::string_view name, const EntryIdentity &expected)
{
    if (m_levels.empty())
        return false;
    m_name.assign(name);
    return push(openat(currentFd(), m_name.c_str(), kDirectoryFlags | O_NOFOLLOW), expected);
}

bool TreeWalk::enterParent(const EntryIdentity &expected)
{
    if (m_levels.empty())
        return false;
    const Level child = m_levels.back();
    m_levels.pop_back();
    if (!m_levels.empty()) {
        ::close(child.fd);
        const Level &parent = m_levels.back();
        if (parent.device == expected.device && parent.inode == expected.inode)
            return true;
        close();
        return false;
    }
    // Above the directories kept open the parent is looked up, and checked like any move.
    const int fd = openat(child.fd, "..", kDirectoryFlags | O_NOFOLLOW);
    ::close(child.fd);
    return push(fd, expected);
}

bool TreeWalk::removeFile(std::string_view name, const EntryIdentity &expected)
{
    if (m_levels.empty())
        return false;
    m_name.assign(name);
    struct stat info;
    // A file rewritten or replaced since the listing (a log rotated meanwhile) is not the file
    // the user saw and confirmed: it stays.
    if (fstatat(currentFd(), m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0
        || S_ISDIR(info.st_mode) || !isEntry(info, expected)
        || info.st_mtim.tv_sec != expected.mtimeSeconds
        || static_cast<std::uint32_t>(info.st_mtim.tv_nsec) != expected.mtimeNanoseconds)
        return false;
    return unlinkat(currentFd(), m_name.c_str(), 0) == 0;
}

} // namespace platform
