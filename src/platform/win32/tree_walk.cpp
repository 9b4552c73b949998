#include "platform/tree_walk.h"

#include "platform/clock.h"
#include "platform/open_levels.h"
#include "platform/path_separator.h"
#include "platform/system_error.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/system_walk.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <algorithm>
#include <windows.h>
#include <winternl.h>

namespace platform {

namespace {

using win32::openRelative;
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

// A name the walk may hand to the system relative to a directory: exactly one entry of it. A
// separator would reach through a link further down, a colon would name a stream of the file.
bool isSingleName(std::wstring_view name)
{
    return !name.empty() && name != L"." && name != L".." && name.size() <= 32767
        && name.find_first_of(std::wstring_view(L"\\/:\0", 4)) == std::wstring_view::npos;
}

// The levels above a directory entered that are checked on the way down.
constexpr std::size_t kNearLevels = ChainChecks::kNearLevels;

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

namespace win32 {

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

} // namespace win32

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
    const std::wstring entryName = win32::systemPath(entryPath);
    EntryIdentity entry;
    if (!entryIdentity(entryName, entry))
        return notMoved(GetLastError());
    const std::wstring name = win32::systemPath(path);
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
    return push(std::move(handle), error, std::move(wide), expected);
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
    return { true, {} };
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

std::unique_ptr<TreeWalk::Impl> TreeWalk::Impl::forSystem(std::size_t walks)
{
    return std::make_unique<SystemWalk>(walks);
}

} // namespace platform
