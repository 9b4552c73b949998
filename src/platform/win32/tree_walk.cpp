#include "platform/tree_walk.h"

#include "platform/chain_checks.h"
#include "platform/clock.h"
#include "platform/open_levels.h"
#include "platform/path_separator.h"
#include "platform/removed_links.h"
#include "platform/system_error.h"
#include "platform/tree_walk_system.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <algorithm>
#include <atomic>
#include <windows.h>
#include <winternl.h>

namespace platform {

namespace {

using win32::UniqueHandle;

// What a walk needs of a directory it holds: to open entries relative to it and to read its
// identity. Others may go on reading, writing, renaming and deleting in it meanwhile.
constexpr ACCESS_MASK kDirectoryAccess
    = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Every entry below the listed top is opened as itself: a link or a junction is opened, never
// followed.
constexpr ULONG kDirectoryOptions
    = FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT;
constexpr ULONG kFileOptions = FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT;

// The levels above a directory entered that are checked on the way down.
constexpr std::size_t kNearLevels = ChainChecks::kNearLevels;

// The POSIX delete's information class. mingw-w64's headers hide it behind a version test that
// no _WIN32_WINNT passes; its number follows FileIdExtdDirectoryRestartInfo, as in Windows' SDK.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

// Whether the POSIX delete (the name goes at once, even while others hold the file open) was
// refused as unknown: older systems and Wine know only the classic disposition.
std::atomic<bool> g_noPosixDelete { false };

// A name the walk may hand to the system relative to a directory: exactly one entry of it. A
// separator would reach through a link further down, a colon would name a stream of the file.
bool isSingleName(std::wstring_view name)
{
    return !name.empty() && name != L"." && name != L".." && name.size() <= 32767
        && name.find_first_of(std::wstring_view(L"\\/:\0", 4)) == std::wstring_view::npos;
}

// Opens `name` relative to the open directory `parent` as NtCreateFile does. Returns the
// handle, or null with `error` set to the system's error number.
HANDLE openRelative(
    HANDLE parent, std::wstring_view name, ACCESS_MASK access, ULONG options, DWORD &error)
{
    error = 0;
    if (!isSingleName(name)) {
        error = ERROR_INVALID_NAME;
        return nullptr;
    }
    UNICODE_STRING objectName {};
    objectName.Buffer = const_cast<PWSTR>(name.data());
    objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    objectName.MaximumLength = objectName.Length;
    OBJECT_ATTRIBUTES attributes {};
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK status {};
    HANDLE handle = nullptr;
    const NTSTATUS result = NtCreateFile(&handle, access, &attributes, &status, nullptr, 0,
        kShareAll, FILE_OPEN, options, nullptr, 0);
    if (result < 0) {
        error = RtlNtStatusToDosError(result);
        return nullptr;
    }
    return handle;
}

// Whether `handle` is the listed directory: a directory, no link or junction, with the volume and
// file ID the listing recorded.
bool isDirectory(HANDLE handle, std::uint64_t volume, std::uint64_t fileId)
{
    EntryIdentity found;
    return win32::identityOfHandle(handle, found) && found.volume == volume
        && found.fileId == fileId
        && found.type == static_cast<std::uint32_t>(win32::EntryType::Directory);
}

// What an open that failed with the system's `error` tells: that the directory is gone or
// something else is in its place (no entry, a file, a name no directory has), or that the system
// refused the open (no handle left, access denied, …).
MoveResult notMoved(DWORD error)
{
    const bool changed = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
        || error == ERROR_DIRECTORY || error == ERROR_INVALID_NAME;
    return { false, changed ? SystemError {} : systemError(static_cast<int>(error)) };
}

bool isAbsolute(std::string_view path)
{
    return (path.size() >= 3 && path[1] == ':' && isPathSeparator(path[2]))
        || (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1]));
}

// `path` as the system takes it: long paths in their long form.
std::wstring systemPath(const std::string &path)
{
    return isAbsolute(path) ? win32::longPath(path) : win32::wideFromUtf8(path);
}

// Opens the directory `path` as the listing reached it, following a link or junction on the way.
// INVALID_HANDLE_VALUE on failure.
HANDLE openByPath(const std::wstring &path)
{
    return CreateFileW(path.c_str(), kDirectoryAccess, kShareAll, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The identity of the entry `path` names itself, a link or junction not followed; false with the
// error in GetLastError when it cannot be opened or read.
bool entryIdentity(const std::wstring &path, EntryIdentity &identity)
{
    UniqueHandle handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle)
        return false;
    const bool read = win32::identityOfHandle(handle.get(), identity);
    const DWORD error = GetLastError();
    handle.reset();
    SetLastError(error);
    return read;
}

bool sameEntry(const EntryIdentity &a, const EntryIdentity &b)
{
    return a.volume == b.volume && a.fileId == b.fileId && a.type == b.type;
}

} // namespace

// The walk's state on Windows: the open directories as handles, and every level's name and
// identity down from the listed top.
class SystemWalk final : public TreeWalk::Impl
{
public:
    explicit SystemWalk(std::size_t walks);
    ~SystemWalk() override;
    SystemWalk(const SystemWalk &) = delete;
    SystemWalk &operator=(const SystemWalk &) = delete;

    MoveResult openTop(const std::string &path, const EntryIdentity &expected) override;
    MoveResult enterChild(std::string_view name, const EntryIdentity &expected) override;
    MoveResult enterParent(const EntryIdentity &expected) override;
    bool hasCurrent() const override { return !m_levels.empty(); }
    void close() override;
    RemoveResult removeFile(std::string_view name, const EntryIdentity &expected) override;

    // A directory of the way down: its name in the level above (none for the top), its identity
    // as checked when it was entered, and its handle while it is kept open.
    struct Level
    {
        std::wstring name;
        std::uint64_t volume = 0;
        std::uint64_t fileId = 0;
        UniqueHandle handle;

        EntryIdentity identity() const
        {
            EntryIdentity identity;
            identity.volume = volume;
            identity.fileId = fileId;
            identity.type = static_cast<std::uint32_t>(win32::EntryType::Directory);
            return identity;
        }
    };

    // Makes `handle` the current directory; null when it could not be opened, for the
    // system's `error`.
    MoveResult push(
        UniqueHandle handle, DWORD error, std::wstring name, const EntryIdentity &expected);
    HANDLE current() const { return m_levels.back().handle.get(); }
    // Opens the levels from `from` (open, or `start` standing for it) down to `to` again by their
    // names, each checked against its identity; keeps the handles of those from `keepFrom` on.
    // Fails when one of them is no longer found in its place, or cannot be opened.
    MoveResult reopen(
        std::size_t from, std::size_t to, std::size_t keepFrom, HANDLE start = nullptr);
    // Whether the current directory is still reached by its listed names: from the listed top,
    // looked up again by its path, when `whole`, else from the open directory a few levels up.
    MoveResult inPlace(bool whole);
    // Looks the listed top up again by its path into `handle`, and finds it the directory the
    // walk entered, its last component the entry it was when the walk first opened it.
    MoveResult topInPlace(UniqueHandle &handle);
    // Lets the walk go when `check` failed, and tells why.
    RemoveResult lostPlace(const MoveResult &check);
    // Counts one move or removal; true when the whole chain is due to be checked.
    bool checkWhenDue(bool move);
    // What became of a file whose opening or deletion failed with the system's `error`.
    RemoveResult failure(DWORD error);

    // The listed top first (always open), the current directory last. Those from m_firstOpen on
    // are open, so that a move up needs no lookup; those between are opened again from the top.
    std::vector<Level> m_levels;
    std::size_t m_firstOpen = 1;
    std::size_t m_openLevels; // how many below the top stay open at most
    ChainChecks m_checks;
    // The listed top as the walk first opened it, kept when the walk closes: its path as the
    // listing reached it (which may lead through links of the user's), the same path without a
    // final separator, so that its last component is looked at and not followed, and the
    // identities of the entry found under that and of the directory the path led to.
    std::string m_topPath;
    std::wstring m_topName;
    std::wstring m_topEntryName;
    EntryIdentity m_topEntry;
    EntryIdentity m_top;
};

SystemWalk::SystemWalk(std::size_t walks)
    : m_openLevels(directoriesKeptOpenPerWalk(walks))
{
}

SystemWalk::~SystemWalk()
{
    close();
}

void SystemWalk::close()
{
    m_levels.clear();
    m_firstOpen = 1;
}

MoveResult SystemWalk::push(
    UniqueHandle handle, DWORD error, std::wstring name, const EntryIdentity &expected)
{
    if (!handle)
        return notMoved(error);
    if (!isDirectory(handle.get(), expected.volume, expected.fileId))
        return { false, {} };
    m_levels.push_back({ std::move(name), expected.volume, expected.fileId, std::move(handle) });
    if (m_levels.size() - m_firstOpen > m_openLevels) {
        m_levels[m_firstOpen].handle.reset();
        ++m_firstOpen;
    }
    return { true, {} };
}

MoveResult SystemWalk::openTop(const std::string &path, const EntryIdentity &expected)
{
    close();
    // The listed directory itself is reached as the listing reached it.
    if (!isUsablePath(path))
        return { false, {} };
    std::string entryPath = path;
    while (entryPath.size() > 1 && isPathSeparator(entryPath.back())
        && entryPath[entryPath.size() - 2] != ':')
        entryPath.pop_back();
    const std::wstring entryName = systemPath(entryPath);
    EntryIdentity entry;
    if (!entryIdentity(entryName, entry))
        return notMoved(GetLastError());
    const std::wstring name = systemPath(path);
    UniqueHandle handle(openByPath(name));
    const DWORD error = handle ? 0 : GetLastError();
    const MoveResult top = push(std::move(handle), error, {}, expected);
    if (!top)
        return top;
    const bool known = m_topPath == path && sameEntry(m_top, m_levels[0].identity());
    // A directory under the name must be the one opened; a link was followed to it. The entry
    // stays the one the walk found first: a link put in place of the folder since then ends
    // the walk, though it leads to the folder moved.
    const bool directory = entry.type == static_cast<std::uint32_t>(win32::EntryType::Directory);
    if ((directory && !sameEntry(entry, m_levels[0].identity()))
        || (known && !sameEntry(entry, m_topEntry))) {
        close();
        return { false, {} };
    }
    if (!known) {
        m_topPath = path;
        m_topName = name;
        m_topEntryName = entryName;
        m_topEntry = entry;
        m_top = m_levels[0].identity();
    }
    m_checks.checked(monotonicMilliseconds());
    return top;
}

MoveResult SystemWalk::enterChild(std::string_view name, const EntryIdentity &expected)
{
    if (m_levels.empty())
        return { false, {} };
    std::wstring wide = win32::wideFromUtf8(name);
    DWORD error = 0;
    UniqueHandle handle(openRelative(current(), wide, kDirectoryAccess, kDirectoryOptions, error));
    const MoveResult child = push(std::move(handle), error, std::move(wide), expected);
    if (!child)
        return child;
    // The child was found in the current directory; the current directory and those above it
    // may have moved since they were entered.
    const MoveResult check = inPlace(checkWhenDue(true));
    if (!check)
        close();
    return check;
}

MoveResult SystemWalk::enterParent(const EntryIdentity &expected)
{
    if (m_levels.size() < 2) {
        close();
        return { false, {} };
    }
    m_levels.pop_back();
    const std::size_t parent = m_levels.size() - 1;
    const Level &level = m_levels.back();
    if (level.volume != expected.volume || level.fileId != expected.fileId) {
        close();
        return { false, {} };
    }
    if (parent == 0) {
        m_firstOpen = 1;
    } else if (parent < m_firstOpen) {
        // Above the directories kept open the parent and a stretch above it are opened again
        // from the top, each checked: a relative ".." is not to be had everywhere (Wine has
        // none).
        const std::size_t keepFrom = parent + 1 > m_openLevels ? parent + 1 - m_openLevels : 1;
        const MoveResult reopened = reopen(0, parent, keepFrom);
        if (!reopened) {
            close();
            return reopened;
        }
        m_firstOpen = keepFrom;
    }
    const MoveResult check = checkWhenDue(true) ? inPlace(true) : MoveResult { true, {} };
    if (!check)
        close();
    return check;
}

MoveResult SystemWalk::reopen(std::size_t from, std::size_t to, std::size_t keepFrom, HANDLE start)
{
    // Every level is looked up afresh in the one found above it, also those held open: a handle
    // stays valid wherever its directory has moved, a lookup by name does not.
    HANDLE parent = start ? start : m_levels[from].handle.get();
    // The level above, while it is no handle the walk keeps.
    UniqueHandle looked;
    for (std::size_t index = from + 1; index <= to; ++index) {
        Level &level = m_levels[index];
        DWORD error = 0;
        UniqueHandle handle(
            openRelative(parent, level.name, kDirectoryAccess, kDirectoryOptions, error));
        looked.reset();
        if (!handle)
            return notMoved(error);
        if (!isDirectory(handle.get(), level.volume, level.fileId))
            return { false, {} };
        parent = handle.get();
        if (index < keepFrom || level.handle)
            looked = std::move(handle);
        else
            level.handle = std::move(handle);
    }
    return { true, {} };
}

bool SystemWalk::checkWhenDue(bool move)
{
    return m_checks.due(move, m_levels.size() - 1, monotonicMilliseconds());
}

MoveResult SystemWalk::inPlace(bool whole)
{
    const std::size_t depth = m_levels.size() - 1;
    std::size_t from = 0;
    if (!whole) {
        from = depth - std::min(depth, kNearLevels);
        if (from > 0 && from < m_firstOpen)
            from = m_firstOpen;
    }
    if (!whole && from == depth)
        return { true, {} };
    UniqueHandle top;
    if (whole) {
        const MoveResult found = topInPlace(top);
        if (!found || depth == 0)
            return found;
    }
    // Each level is looked up in the one above and checked; none is kept beyond the check.
    return reopen(from, depth, depth + 1, top.get());
}

MoveResult SystemWalk::topInPlace(UniqueHandle &handle)
{
    EntryIdentity entry;
    if (!entryIdentity(m_topEntryName, entry))
        return notMoved(GetLastError());
    if (!sameEntry(entry, m_topEntry))
        return { false, {} };
    handle.reset(openByPath(m_topName));
    if (!handle)
        return notMoved(GetLastError());
    return { isDirectory(handle.get(), m_top.volume, m_top.fileId), {} };
}

RemoveResult SystemWalk::lostPlace(const MoveResult &check)
{
    close();
    if (check.error)
        return { Removal::Refused, check.error };
    return { Removal::DirectoryChanged, {} };
}

RemoveResult SystemWalk::removeFile(std::string_view name, const EntryIdentity &expected)
{
    if (m_levels.empty())
        return { Removal::DirectoryChanged, {} };
    if (checkWhenDue(false)) {
        const MoveResult check = inPlace(true);
        if (!check)
            return lostPlace(check);
    }
    DWORD error = 0;
    UniqueHandle file(openRelative(current(), win32::wideFromUtf8(name),
        DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kFileOptions, error));
    if (!file)
        return failure(error);
    // The very entry about to be deleted is checked: a file rewritten or replaced since the
    // listing (a log rotated meanwhile) is not the file the user saw and confirmed, and a
    // directory, link or junction put in its place is no file of the listing. It stays.
    EntryIdentity found;
    if (!win32::identityOfHandle(file.get(), found)) {
        error = GetLastError();
        file.reset();
        return failure(error);
    }
    // A file with other names, or one whose change time alone differs (another of its names
    // removed already), is looked at and removed under the record of removed names, so that
    // walks in other folders never see its removal half done. Removing a name changes the
    // change time under the others; on NTFS the file ID alone tells a file from one that took
    // its place (see RemovedLinks::isListedById). Under Wine the ID is the Unix inode number,
    // which a new file may take once every name is gone: a file that lost its last name to
    // another hand meanwhile and was replaced by one with the same ID and write time would
    // pass there, as on Linux only the status-change time the removal left could tell.
    FILE_STANDARD_INFO standard {};
    const bool linked
        = GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard)
        && standard.NumberOfLinks > 1;
    std::unique_lock<std::mutex> held;
    bool listed = found == expected;
    if (linked || !listed) {
        held = RemovedLinks::lock();
        listed = win32::identityOfHandle(file.get(), found)
            && RemovedLinks::isListedById(found, expected);
    }
    if (!listed || found.type == static_cast<std::uint32_t>(win32::EntryType::Directory)) {
        file.reset();
        if (held)
            held.unlock();
        // Under Wine an entry of a directory moved away reads differently: the directory's
        // move is what changed, and is told as such.
        if (const MoveResult check = inPlace(true); !check)
            return lostPlace(check);
        return { Removal::Changed, {} };
    }
    // The POSIX delete takes the name away at once; the classic one when the handle closes, just
    // below. Neither clears the read-only attribute: a read-only file is refused and stays.
    bool deleted = false;
    if (!g_noPosixDelete.load(std::memory_order_relaxed)) {
        FILE_DISPOSITION_INFO_EX disposition {};
        disposition.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS;
        deleted = SetFileInformationByHandle(
            file.get(), kFileDispositionInfoEx, &disposition, sizeof disposition);
        if (!deleted) {
            const DWORD refusal = GetLastError();
            if (refusal == ERROR_INVALID_PARAMETER || refusal == ERROR_NOT_SUPPORTED
                || refusal == ERROR_INVALID_FUNCTION)
                g_noPosixDelete.store(true, std::memory_order_relaxed);
            else
                error = refusal;
        }
    }
    if (!deleted && error == 0) {
        FILE_DISPOSITION_INFO disposition {};
        disposition.DeleteFile = TRUE;
        deleted = SetFileInformationByHandle(
            file.get(), FileDispositionInfo, &disposition, sizeof disposition);
        if (!deleted)
            error = GetLastError();
    }
    // The classic delete happens here, as the handle closes.
    file.reset();
    if (deleted && held)
        RemovedLinks::removed(found, linked ? standard.NumberOfLinks - 1 : 0);
    if (deleted)
        return { Removal::Removed, {} };
    return failure(error);
}

RemoveResult SystemWalk::failure(DWORD error)
{
    // The directory itself may have moved: Wine then refuses to open or delete anything in it,
    // and a file no longer found there may well still exist elsewhere. That is told first.
    m_checks.checked(monotonicMilliseconds());
    const MoveResult check = inPlace(true);
    if (!check)
        return lostPlace(check);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return { Removal::Gone, {} };
    // Another program holds the file open and does not share its deletion.
    if (error == ERROR_SHARING_VIOLATION)
        return { Removal::Refused, { ErrorKind::InUse, static_cast<int>(error) } };
    return { Removal::Refused, systemError(static_cast<int>(error)) };
}

std::unique_ptr<TreeWalk::Impl> TreeWalk::Impl::forSystem(std::size_t walks)
{
    return std::make_unique<SystemWalk>(walks);
}

std::size_t walksWithinDescriptorLimit(std::size_t wanted)
{
    // Windows has no limit of open handles that a process could be given.
    return std::max<std::size_t>(1, wanted);
}

} // namespace platform
