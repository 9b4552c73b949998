#include "platform/clock.h"
#include "platform/removed_links.h"
#include "platform/system_error.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/system_walk.h"
#include "platform/win32/wide_text.h"

#include <atomic>
#include <mutex>
#include <windows.h>

namespace platform {

namespace {

using win32::UniqueHandle;

// A file below the listed top is opened as itself: a link or a junction is opened, never
// followed.
constexpr ULONG kFileOptions = FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT;

// The POSIX delete's information class. mingw-w64's headers hide it behind a version test that
// no _WIN32_WINNT passes; its number follows FileIdExtdDirectoryRestartInfo, as in Windows' SDK.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);

// Whether the POSIX delete (the name goes at once, even while others hold the file open) was
// refused as unknown: older systems and Wine know only the classic disposition.
std::atomic<bool> g_noPosixDelete { false };

// Opens the entry `name` of `directory` to delete it, as itself, and reads what it is into
// `found`; null, with `error` set to the system's error, when either fails.
UniqueHandle openToDelete(
    HANDLE directory, std::string_view name, EntryIdentity &found, DWORD &error)
{
    UniqueHandle entry(win32::openRelative(directory, win32::wideFromUtf8(name),
        DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kFileOptions, error));
    if (entry && !win32::identityOfHandle(entry.get(), found)) {
        error = GetLastError();
        entry.reset();
    }
    return entry;
}

// Marks the entry held by `file` deleted, with the POSIX delete where the system knows it (the
// name goes at once, even while others hold the file open), else with the classic one (when the
// handle closes). Neither clears the read-only attribute: a read-only file is refused and stays.
// A directory that is not empty is refused with ERROR_DIR_NOT_EMPTY. Returns false with `error`
// set when refused.
bool markDeleted(HANDLE file, DWORD &error)
{
    if (!g_noPosixDelete.load(std::memory_order_relaxed)) {
        FILE_DISPOSITION_INFO_EX disposition {};
        disposition.Flags = FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS;
        if (SetFileInformationByHandle(
                file, kFileDispositionInfoEx, &disposition, sizeof disposition))
            return true;
        const DWORD refusal = GetLastError();
        if (refusal != ERROR_INVALID_PARAMETER && refusal != ERROR_NOT_SUPPORTED
            && refusal != ERROR_INVALID_FUNCTION) {
            error = refusal;
            return false;
        }
        g_noPosixDelete.store(true, std::memory_order_relaxed);
    }
    FILE_DISPOSITION_INFO disposition {};
    disposition.DeleteFile = TRUE;
    if (SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition))
        return true;
    error = GetLastError();
    return false;
}

} // namespace

RemoveResult SystemWalk::removeFile(std::string_view name, const EntryIdentity &expected)
{
    DWORD error = 0;
    EntryIdentity found;
    UniqueHandle file = openToDelete(current(), name, found, error);
    if (!file)
        return failure(error);
    // The very entry about to be deleted is checked: a file rewritten or replaced since the
    // listing (a log rotated meanwhile) is not the file the user saw and confirmed, and a
    // directory, link or junction put in its place is no file of the listing. It stays.
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
    const bool deleted = markDeleted(file.get(), error);
    // The classic delete happens here, as the handle closes.
    file.reset();
    if (deleted && held)
        RemovedLinks::removed(found, linked ? standard.NumberOfLinks - 1 : 0);
    if (deleted)
        return { Removal::Removed, {} };
    return failure(error);
}

RemoveResult SystemWalk::removeDirectory(std::string_view name, const EntryIdentity &expected)
{
    DWORD error = 0;
    EntryIdentity found;
    UniqueHandle folder = openToDelete(current(), name, found, error);
    if (!folder)
        return failure(error);
    // Removing what the directory held changed its times: its volume and file ID tell it from
    // another put in its place, and a junction or a file there is no directory of the listing.
    if (found.type != static_cast<std::uint32_t>(win32::EntryType::Directory)
        || found.volume != expected.volume || found.fileId != expected.fileId)
        return { Removal::Changed, {} };
    const bool deleted = markDeleted(folder.get(), error);
    folder.reset();
    if (deleted)
        return { Removal::Removed, {} };
    // Something was put into it meanwhile.
    if (error == ERROR_DIR_NOT_EMPTY)
        return { Removal::Changed, {} };
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

} // namespace platform
