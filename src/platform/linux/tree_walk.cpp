#include "platform/tree_walk.h"

#include "platform/chain_checks.h"
#include "platform/linux/entry_identity.h"
#include "platform/linux/open_levels.h"
#include "platform/removed_links.h"
#include "platform/system_error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;
// Directories looked up only to compare them are opened as mere handles.
constexpr int kCheckFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The levels above a directory entered that are checked on the way down, from the directory
// held open that far up.
constexpr std::uint64_t kNearLevels = ChainChecks::kNearLevels;
// The longest path handed to the system in one lookup; longer ones are looked up in steps.
constexpr std::size_t kLookupBytes = 4000;

bool isEntry(const struct stat &info, std::uint64_t device, std::uint64_t inode)
{
    return static_cast<std::uint64_t>(info.st_dev) == device
        && static_cast<std::uint64_t>(info.st_ino) == inode;
}

// The same file as the listing saw: a file rewritten (a new modification time), replaced (a new
// inode, or a recycled one with a new status-change time) or swapped for a link or a pipe is not.
// A file with other names is looked at by removeLinkedFile, which knows the status-change times
// that removing those names caused.
bool isListedFile(const struct stat &info, const EntryIdentity &expected)
{
    return isEntry(info, expected.device, expected.inode)
        && (info.st_mode & S_IFMT) == expected.type && info.st_mtim.tv_sec == expected.mtimeSeconds
        && static_cast<std::uint32_t>(info.st_mtim.tv_nsec) == expected.mtimeNanoseconds
        && info.st_ctim.tv_sec == expected.ctimeSeconds
        && static_cast<std::uint32_t>(info.st_ctim.tv_nsec) == expected.ctimeNanoseconds;
}

std::int64_t nowMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// What a lookup that failed with the system's `error` tells: that the directory is gone or
// something else is in its place (no entry, no directory, a link, a way out of the tree), or that
// the system refused the lookup (no descriptor left, no permission to search, …).
MoveResult notMoved(int error)
{
    const bool changed = error == ENOENT || error == ENOTDIR || error == ELOOP || error == EXDEV;
    return { false, changed ? SystemError {} : systemError(error) };
}

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

// Opens the directory `path`, from offset `from` on, below `dirFd` as openStep does, in steps of
// whole names when it is longer than one lookup takes.
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

} // namespace

// The walk's state on Linux: the open directories as descriptors.
struct TreeWalk::Impl
{
    explicit Impl(std::size_t walks);
    ~Impl();
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

    MoveResult openTop(const std::string &path, const EntryIdentity &expected);
    MoveResult enterChild(std::string_view name, const EntryIdentity &expected);
    MoveResult enterParent(const EntryIdentity &expected);
    void close();
    RemoveResult removeFile(std::string_view name, const EntryIdentity &expected);

    // An open directory of the way down, checked when it was entered.
    struct Level
    {
        int fd = -1;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };

    // Makes `fd` (-1 with errno set when it could not be opened) the current directory.
    MoveResult push(int fd, const EntryIdentity &expected);
    int currentFd() const { return m_levels.empty() ? -1 : m_levels.back().fd; }
    void popName();
    // Whether the current directory is still reached by its listed names: from the listed top,
    // looked up again by its path, when `whole`, else from the open directory a few levels up.
    MoveResult inPlace(bool whole);
    // Looks the listed top up again by its path, and finds it the directory the walk entered,
    // its last component the entry it was when the walk first opened it. Where that entry is a
    // link, `fd` is what it leads to now; else -1, the top being the one held.
    MoveResult topInPlace(int &fd);
    // Whether `fd` (-1 with errno set when the lookup failed) is the current directory; closes it.
    MoveResult isCurrent(int fd);
    // Lets the walk go when `check` failed, and tells why.
    RemoveResult lostPlace(const MoveResult &check);
    // Counts one move or removal; true when the whole chain is due to be checked.
    bool checkWhenDue(bool move);

    // The current directory last, and above it the directories it was entered from, so that a
    // move up needs no lookup; only the nearest few are kept open, however deep the tree is.
    std::vector<Level> m_levels;
    std::size_t m_openLevels; // how many of them stay open at most
    // The listed top as the walk first opened it, kept when the walk closes: its path as the
    // listing reached it (which may lead through links of the user's), the same path without a
    // final "/", so that its last component is looked at and not followed, the entry found under
    // that, and the directory the path led to.
    struct Top
    {
        std::string path;
        std::string entryPath;
        std::uint64_t entryDevice = 0;
        std::uint64_t entryInode = 0;
        std::uint32_t entryType = 0;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };
    Top m_top;
    int m_topFd = -1; // the top, held open while the walk is in its tree
    // The path from the listed top to the current directory: names joined by "/", each starting
    // at its offset.
    std::string m_path;
    std::vector<std::size_t> m_nameStarts;
    ChainChecks m_checks;
    std::string m_name; // a NUL-terminated copy of the name being used
};

TreeWalk::Impl::Impl(std::size_t walks)
    : m_openLevels(
        std::max<std::size_t>(3, directoriesKeptOpen() / std::max<std::size_t>(1, walks)))
{
}

TreeWalk::Impl::~Impl()
{
    close();
}

void TreeWalk::Impl::close()
{
    for (const Level &level : m_levels)
        ::close(level.fd);
    m_levels.clear();
    if (m_topFd >= 0)
        ::close(m_topFd);
    m_topFd = -1;
    m_path.clear();
    m_nameStarts.clear();
}

MoveResult TreeWalk::Impl::push(int fd, const EntryIdentity &expected)
{
    if (fd < 0)
        return notMoved(errno);
    struct stat info;
    MoveResult found { true, {} };
    if (fstat(fd, &info) != 0)
        found = { false, lastSystemError() };
    else if (!isEntry(info, expected.device, expected.inode))
        found = { false, {} };
    if (!found) {
        ::close(fd);
        return found;
    }
    // Directories kept open above the current one; farther up, ".." is looked up.
    if (m_levels.size() >= m_openLevels) {
        ::close(m_levels.front().fd);
        m_levels.erase(m_levels.begin());
    }
    m_levels.push_back({ fd, expected.device, expected.inode });
    return { true, {} };
}

void TreeWalk::Impl::popName()
{
    const std::size_t start = m_nameStarts.back();
    m_nameStarts.pop_back();
    m_path.resize(start == 0 ? 0 : start - 1);
}

MoveResult TreeWalk::Impl::openTop(const std::string &path, const EntryIdentity &expected)
{
    close();
    // The listed directory itself is reached as the listing reached it.
    // A path holding a NUL byte would be cut there and name another folder.
    if (path.find('\0') != std::string::npos)
        return { false, {} };
    std::string entryPath = path;
    while (entryPath.size() > 1 && entryPath.back() == '/')
        entryPath.pop_back();
    struct stat entry;
    if (lstat(entryPath.c_str(), &entry) != 0)
        return notMoved(errno);
    const MoveResult top = push(::open(path.c_str(), kDirectoryFlags), expected);
    if (!top)
        return top;
    const std::uint32_t entryType = entry.st_mode & S_IFMT;
    const bool known
        = m_top.path == path && m_top.device == expected.device && m_top.inode == expected.inode;
    // A directory under the name must be the one opened; a link was followed to it. The entry
    // stays the one the walk found first: a link put in place of the folder since then ends
    // the walk, though it leads to the folder moved.
    if ((S_ISDIR(entry.st_mode) && !isEntry(entry, expected.device, expected.inode))
        || (known
            && (!isEntry(entry, m_top.entryDevice, m_top.entryInode)
                || entryType != m_top.entryType))) {
        close();
        return { false, {} };
    }
    if (!known) {
        m_top = { path, entryPath, static_cast<std::uint64_t>(entry.st_dev),
            static_cast<std::uint64_t>(entry.st_ino), entryType, expected.device, expected.inode };
    }
    m_topFd = fcntl(m_levels.back().fd, F_DUPFD_CLOEXEC, 0);
    if (m_topFd < 0) {
        const MoveResult failed = notMoved(errno);
        close();
        return failed;
    }
    m_checks.checked(nowMs());
    return top;
}

MoveResult TreeWalk::Impl::enterChild(std::string_view name, const EntryIdentity &expected)
{
    if (m_levels.empty())
        return { false, {} };
    m_name.assign(name);
    const MoveResult child
        = push(openat(currentFd(), m_name.c_str(), kDirectoryFlags | O_NOFOLLOW), expected);
    if (!child)
        return child;
    m_nameStarts.push_back(m_path.empty() ? 0 : m_path.size() + 1);
    if (!m_path.empty())
        m_path.push_back('/');
    m_path += name;
    // The child was found in the current directory; the current directory and those above it
    // may have moved since they were entered.
    const MoveResult check = inPlace(checkWhenDue(true));
    if (!check)
        close();
    return check;
}

MoveResult TreeWalk::Impl::enterParent(const EntryIdentity &expected)
{
    if (m_levels.empty() || m_nameStarts.empty()) {
        close();
        return { false, {} };
    }
    popName();
    const Level child = m_levels.back();
    m_levels.pop_back();
    if (!m_levels.empty()) {
        ::close(child.fd);
        const Level &parent = m_levels.back();
        if (parent.device != expected.device || parent.inode != expected.inode) {
            close();
            return { false, {} };
        }
    } else {
        // Above the directories kept open the parent is looked up, and checked like any move.
        const int fd = openat(child.fd, "..", kDirectoryFlags | O_NOFOLLOW);
        const int error = errno;
        ::close(child.fd);
        errno = error;
        const MoveResult parent = push(fd, expected);
        if (!parent) {
            close();
            return parent;
        }
    }
    const MoveResult check = checkWhenDue(true) ? inPlace(true) : MoveResult { true, {} };
    if (!check)
        close();
    return check;
}

bool TreeWalk::Impl::checkWhenDue(bool move)
{
    return m_checks.due(move, m_nameStarts.size(), nowMs());
}

MoveResult TreeWalk::Impl::inPlace(bool whole)
{
    const std::size_t depth = m_nameStarts.size();
    if (!whole) {
        const std::size_t levels
            = std::min<std::size_t>({ depth, kNearLevels, m_levels.size() - 1 });
        if (levels == 0)
            return { true, {} };
        const int from = m_levels[m_levels.size() - 1 - levels].fd;
        return isCurrent(openBeneath(from, m_path, m_nameStarts[depth - levels]));
    }
    int top = -1;
    MoveResult found = topInPlace(top);
    if (found && depth > 0)
        found = isCurrent(openBeneath(top >= 0 ? top : m_topFd, m_path, 0));
    if (top >= 0)
        ::close(top);
    return found;
}

MoveResult TreeWalk::Impl::topInPlace(int &fd)
{
    struct stat info;
    if (lstat(m_top.entryPath.c_str(), &info) != 0)
        return notMoved(errno);
    if (!isEntry(info, m_top.entryDevice, m_top.entryInode)
        || (info.st_mode & S_IFMT) != m_top.entryType)
        return { false, {} };
    // A directory under the name is the top the walk holds; a link is followed to what it
    // leads to now.
    if (S_ISDIR(info.st_mode))
        return { true, {} };
    fd = ::open(m_top.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return notMoved(errno);
    if (fstat(fd, &info) != 0)
        return { false, lastSystemError() };
    return { isEntry(info, m_top.device, m_top.inode), {} };
}

MoveResult TreeWalk::Impl::isCurrent(int fd)
{
    if (fd < 0)
        return notMoved(errno);
    struct stat info;
    MoveResult same { true, {} };
    if (fstat(fd, &info) != 0)
        same = { false, lastSystemError() };
    else if (!isEntry(info, m_levels.back().device, m_levels.back().inode))
        same = { false, {} };
    ::close(fd);
    return same;
}

RemoveResult TreeWalk::Impl::lostPlace(const MoveResult &check)
{
    close();
    if (check.error)
        return { Removal::Refused, check.error };
    return { Removal::DirectoryChanged, {} };
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
    const int fd = openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return unlinkFailure();
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)
        || !RemovedLinks::isListed(identityOf(info), expected)) {
        ::close(fd);
        return { Removal::Changed, {} };
    }
    if (unlinkat(dirFd, name, 0) != 0) {
        const RemoveResult failure = unlinkFailure();
        ::close(fd);
        return failure;
    }
    if (fstat(fd, &info) == 0)
        RemovedLinks::removed(identityOf(info), static_cast<std::uint64_t>(info.st_nlink));
    ::close(fd);
    return { Removal::Removed, {} };
}

} // namespace

RemoveResult TreeWalk::Impl::removeFile(std::string_view name, const EntryIdentity &expected)
{
    if (m_levels.empty())
        return { Removal::DirectoryChanged, {} };
    if (checkWhenDue(false)) {
        const MoveResult check = inPlace(true);
        if (!check)
            return lostPlace(check);
    }
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

TreeWalk::TreeWalk(std::size_t walks)
    : m_impl(std::make_unique<Impl>(walks))
{
}

TreeWalk::~TreeWalk() = default;

MoveResult TreeWalk::openTop(const std::string &path, const EntryIdentity &expected)
{
    return m_impl->openTop(path, expected);
}

MoveResult TreeWalk::enterChild(std::string_view name, const EntryIdentity &expected)
{
    return m_impl->enterChild(name, expected);
}

MoveResult TreeWalk::enterParent(const EntryIdentity &expected)
{
    return m_impl->enterParent(expected);
}

bool TreeWalk::hasCurrent() const
{
    return !m_impl->m_levels.empty();
}

void TreeWalk::close()
{
    m_impl->close();
}

RemoveResult TreeWalk::removeFile(std::string_view name, const EntryIdentity &expected)
{
    return m_impl->removeFile(name, expected);
}

std::size_t walksWithinDescriptorLimit(std::size_t wanted)
{
    // A walk holds at least three directories and, while it checks its chain, a few more; the
    // rest of the program keeps its standard streams, its log and a few others.
    constexpr rlim_t kPerWalk = 6;
    constexpr rlim_t kForTheRest = 10;
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::max<std::size_t>(1, wanted);
    const rlim_t walks
        = limit.rlim_cur > kForTheRest ? (limit.rlim_cur - kForTheRest) / kPerWalk : 0;
    return std::clamp<std::size_t>(static_cast<std::size_t>(std::min<rlim_t>(walks, SIZE_MAX)), 1,
        std::max<std::size_t>(1, wanted));
}

} // namespace platform
