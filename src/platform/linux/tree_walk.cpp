#include "platform/tree_walk.h"

#include "platform/chain_checks.h"
#include "platform/clock.h"
#include "platform/linux/entry_identity.h"
#include "platform/linux/open_beneath.h"
#include "platform/linux/unique_fd.h"
#include "platform/open_levels.h"
#include "platform/path_separator.h"
#include "platform/removed_links.h"
#include "platform/system_error.h"
#include "platform/tree_walk_system.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// The levels above a directory entered that are checked on the way down, from the directory
// held open that far up.
constexpr std::uint64_t kNearLevels = ChainChecks::kNearLevels;

bool isEntry(const struct stat &info, std::uint64_t volume, std::uint64_t fileId)
{
    return static_cast<std::uint64_t>(info.st_dev) == volume
        && static_cast<std::uint64_t>(info.st_ino) == fileId;
}

// The same file as the listing saw: a file rewritten (a new modification time), replaced (a new
// inode, or a recycled one with a new status-change time) or swapped for a link or a pipe is not.
// A file with other names is looked at by removeLinkedFile, which knows the status-change times
// that removing those names caused.
bool isListedFile(const struct stat &info, const EntryIdentity &expected)
{
    return isEntry(info, expected.volume, expected.fileId)
        && (info.st_mode & S_IFMT) == expected.type
        && info.st_mtim.tv_sec == expected.modifiedSeconds
        && static_cast<std::uint32_t>(info.st_mtim.tv_nsec) == expected.modifiedNanoseconds
        && info.st_ctim.tv_sec == expected.changedSeconds
        && static_cast<std::uint32_t>(info.st_ctim.tv_nsec) == expected.changedNanoseconds;
}

// What a lookup that failed with the system's `error` tells: that the directory is gone or
// something else is in its place (no entry, no directory, a link, a way out of the tree), or that
// the system refused the lookup (no descriptor left, no permission to search, …).
MoveResult notMoved(int error)
{
    const bool changed = error == ENOENT || error == ENOTDIR || error == ELOOP || error == EXDEV;
    return { false, changed ? SystemError {} : systemError(error) };
}

} // namespace

// The walk's state on Linux: the open directories as descriptors.
class SystemWalk final : public TreeWalk::Impl
{
public:
    using TreeWalk::Impl::Impl;

    MoveResult openTop(const std::string &path, const EntryIdentity &expected) override;
    MoveResult enterChild(std::string_view name, const EntryIdentity &expected) override;
    MoveResult enterParent(const EntryIdentity &expected) override;
    bool hasCurrent() const override { return !m_levels.empty(); }
    void close() override;
    RemoveResult removeFile(std::string_view name, const EntryIdentity &expected) override;
    RemoveResult removeDirectory(std::string_view name, const EntryIdentity &expected) override;
    MoveResult inPlace(bool whole) override;
    std::size_t depth() const override { return m_nameStarts.size(); }

    // An open directory of the way down, checked when it was entered.
    struct Level
    {
        UniqueFd fd;
        std::uint64_t volume = 0;
        std::uint64_t fileId = 0;
    };

    // Makes `fd` (none, with errno set, when it could not be opened) the current directory.
    MoveResult push(UniqueFd fd, const EntryIdentity &expected);
    int currentFd() const { return m_levels.empty() ? -1 : m_levels.back().fd.get(); }
    void popName();
    // Looks the listed top up again by its path, and finds it the directory the walk entered,
    // its last component the entry it was when the walk first opened it. Where that entry is a
    // link, `fd` is what it leads to now; else none, the top being the one held.
    MoveResult topInPlace(UniqueFd &fd);
    // Whether `fd` (none, with errno set, when the lookup failed) is the current directory.
    MoveResult isCurrent(UniqueFd fd);

    // The current directory last, and above it the directories it was entered from, so that a
    // move up needs no lookup; only the nearest few are kept open, however deep the tree is.
    std::vector<Level> m_levels;
    // The listed top as the walk first opened it, kept when the walk closes: its path as the
    // listing reached it (which may lead through links of the user's), the same path without a
    // final "/", so that its last component is looked at and not followed, the entry found under
    // that, and the directory the path led to.
    struct Top
    {
        std::string path;
        std::string entryPath;
        std::uint64_t entryVolume = 0;
        std::uint64_t entryFileId = 0;
        std::uint32_t entryType = 0;
        std::uint64_t volume = 0;
        std::uint64_t fileId = 0;
    };
    Top m_top;
    UniqueFd m_topFd; // the top, held open while the walk is in its tree
    // The path from the listed top to the current directory: names joined by "/", each starting
    // at its offset.
    std::string m_path;
    std::vector<std::size_t> m_nameStarts;
    std::string m_name; // a NUL-terminated copy of the name being used
};

void SystemWalk::close()
{
    m_levels.clear();
    m_topFd.reset();
    m_path.clear();
    m_nameStarts.clear();
}

MoveResult SystemWalk::push(UniqueFd fd, const EntryIdentity &expected)
{
    if (!fd)
        return notMoved(errno);
    struct stat info;
    if (fstat(fd.get(), &info) != 0)
        return { false, lastSystemError() };
    if (!isEntry(info, expected.volume, expected.fileId))
        return { false, {} };
    // Directories kept open above the current one; farther up, ".." is looked up.
    if (m_levels.size() >= m_openLevels)
        m_levels.erase(m_levels.begin());
    m_levels.push_back({ std::move(fd), expected.volume, expected.fileId });
    return { true, {} };
}

void SystemWalk::popName()
{
    const std::size_t start = m_nameStarts.back();
    m_nameStarts.pop_back();
    m_path.resize(start == 0 ? 0 : start - 1);
}

MoveResult SystemWalk::openTop(const std::string &path, const EntryIdentity &expected)
{
    close();
    // The listed directory itself is reached as the listing reached it.
    if (!isUsablePath(path))
        return { false, {} };
    std::string entryPath = path;
    while (entryPath.size() > 1 && entryPath.back() == '/')
        entryPath.pop_back();
    struct stat entry;
    if (lstat(entryPath.c_str(), &entry) != 0)
        return notMoved(errno);
    const MoveResult top = push(UniqueFd(::open(path.c_str(), kDirectoryFlags)), expected);
    if (!top)
        return top;
    const std::uint32_t entryType = entry.st_mode & S_IFMT;
    const bool known
        = m_top.path == path && m_top.volume == expected.volume && m_top.fileId == expected.fileId;
    // A directory under the name must be the one opened; a link was followed to it. The entry
    // stays the one the walk found first: a link put in place of the folder since then ends
    // the walk, though it leads to the folder moved.
    if ((S_ISDIR(entry.st_mode) && !isEntry(entry, expected.volume, expected.fileId))
        || (known
            && (!isEntry(entry, m_top.entryVolume, m_top.entryFileId)
                || entryType != m_top.entryType))) {
        close();
        return { false, {} };
    }
    if (!known) {
        m_top = { path, entryPath, static_cast<std::uint64_t>(entry.st_dev),
            static_cast<std::uint64_t>(entry.st_ino), entryType, expected.volume, expected.fileId };
    }
    m_topFd.reset(fcntl(m_levels.back().fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!m_topFd) {
        const MoveResult failed = notMoved(errno);
        close();
        return failed;
    }
    m_checks.checked(monotonicMilliseconds());
    return top;
}

MoveResult SystemWalk::enterChild(std::string_view name, const EntryIdentity &expected)
{
    if (m_levels.empty())
        return { false, {} };
    m_name.assign(name);
    const MoveResult child = push(
        UniqueFd(openat(currentFd(), m_name.c_str(), kDirectoryFlags | O_NOFOLLOW)), expected);
    if (!child)
        return child;
    m_nameStarts.push_back(m_path.empty() ? 0 : m_path.size() + 1);
    if (!m_path.empty())
        m_path.push_back('/');
    m_path += name;
    return child;
}

MoveResult SystemWalk::enterParent(const EntryIdentity &expected)
{
    if (m_levels.empty() || m_nameStarts.empty()) {
        close();
        return { false, {} };
    }
    popName();
    Level child = std::move(m_levels.back());
    m_levels.pop_back();
    if (!m_levels.empty()) {
        child.fd.reset();
        const Level &parent = m_levels.back();
        if (parent.volume != expected.volume || parent.fileId != expected.fileId) {
            close();
            return { false, {} };
        }
    } else {
        // Above the directories kept open the parent is looked up, and checked like any move.
        UniqueFd fd(openat(child.fd.get(), "..", kDirectoryFlags | O_NOFOLLOW));
        const int error = errno;
        child.fd.reset();
        errno = error;
        const MoveResult parent = push(std::move(fd), expected);
        if (!parent) {
            close();
            return parent;
        }
    }
    return { true, {} };
}

MoveResult SystemWalk::inPlace(bool whole)
{
    const std::size_t depth = m_nameStarts.size();
    if (!whole) {
        const std::size_t levels
            = std::min<std::size_t>({ depth, kNearLevels, m_levels.size() - 1 });
        if (levels == 0)
            return { true, {} };
        const int from = m_levels[m_levels.size() - 1 - levels].fd.get();
        return isCurrent(UniqueFd(openBeneath(from, m_path, m_nameStarts[depth - levels])));
    }
    UniqueFd top;
    MoveResult found = topInPlace(top);
    if (found && depth > 0)
        found = isCurrent(UniqueFd(openBeneath(top ? top.get() : m_topFd.get(), m_path, 0)));
    return found;
}

MoveResult SystemWalk::topInPlace(UniqueFd &fd)
{
    struct stat info;
    if (lstat(m_top.entryPath.c_str(), &info) != 0)
        return notMoved(errno);
    if (!isEntry(info, m_top.entryVolume, m_top.entryFileId)
        || (info.st_mode & S_IFMT) != m_top.entryType)
        return { false, {} };
    // A directory under the name is the top the walk holds; a link is followed to what it
    // leads to now.
    if (S_ISDIR(info.st_mode))
        return { true, {} };
    fd.reset(::open(m_top.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return notMoved(errno);
    if (fstat(fd.get(), &info) != 0)
        return { false, lastSystemError() };
    return { isEntry(info, m_top.volume, m_top.fileId), {} };
}

MoveResult SystemWalk::isCurrent(UniqueFd fd)
{
    if (!fd)
        return notMoved(errno);
    struct stat info;
    if (fstat(fd.get(), &info) != 0)
        return { false, lastSystemError() };
    return { isEntry(info, m_levels.back().volume, m_levels.back().fileId), {} };
}

namespace {

RemoveResult unlinkFailure()
{
    if (errno == ENOENT)
        return { Removal::Gone, {} };
    return { Removal::Refused, lastSystemError() };
}

// Removes `name` from `dirFd` as removeFile does, for a file that has other names, or had them at
// the listing: removing one of them changed the status-change time of the file under every other
// name. The file is held open across the removal, so that the time it leaves is the file's own
// and no new file can take its inode meanwhile, and that time is recorded for its other names.
RemoveResult removeLinkedFile(int dirFd, const char *name, const EntryIdentity &expected)
{
    const auto held = RemovedLinks::lock();
    const UniqueFd fd(openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return unlinkFailure();
    struct stat info;
    if (fstat(fd.get(), &info) != 0 || S_ISDIR(info.st_mode)
        || !RemovedLinks::isListed(identityOf(info), expected))
        return { Removal::Changed, {} };
    if (unlinkat(dirFd, name, 0) != 0)
        return unlinkFailure();
    if (fstat(fd.get(), &info) == 0)
        RemovedLinks::removed(identityOf(info), static_cast<std::uint64_t>(info.st_nlink));
    return { Removal::Removed, {} };
}

} // namespace

RemoveResult SystemWalk::removeFile(std::string_view name, const EntryIdentity &expected)
{
    m_name.assign(name);
    struct stat info;
    if (fstatat(currentFd(), m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return { Removal::Gone, {} };
        return { Removal::Refused, lastSystemError() };
    }
    // A file rewritten or replaced since the listing (a log rotated meanwhile) is not the file
    // the user saw and confirmed: it stays.
    if (S_ISDIR(info.st_mode))
        return { Removal::Changed, {} };
    // Only a file with a single name, unchanged, is removed without the record of other names.
    if (info.st_nlink > 1 || !isListedFile(info, expected))
        return removeLinkedFile(currentFd(), m_name.c_str(), expected);
    if (unlinkat(currentFd(), m_name.c_str(), 0) == 0)
        return { Removal::Removed, {} };
    return unlinkFailure();
}

RemoveResult SystemWalk::removeDirectory(std::string_view name, const EntryIdentity &expected)
{
    m_name.assign(name);
    struct stat info;
    if (fstatat(currentFd(), m_name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return unlinkFailure();
    // Removing what the directory held changed its times: its volume and number tell it from
    // another put in its place.
    if (!S_ISDIR(info.st_mode) || !isEntry(info, expected.volume, expected.fileId))
        return { Removal::Changed, {} };
    if (unlinkat(currentFd(), m_name.c_str(), AT_REMOVEDIR) == 0)
        return { Removal::Removed, {} };
    // Something was put into it meanwhile.
    if (errno == ENOTEMPTY || errno == EEXIST)
        return { Removal::Changed, {} };
    return unlinkFailure();
}

std::unique_ptr<TreeWalk::Impl> TreeWalk::Impl::forSystem(std::size_t walks)
{
    return std::make_unique<SystemWalk>(walks);
}

} // namespace platform
