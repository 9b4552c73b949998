#include "platform/system_root.h"

#include "platform/win32/file_identity.h"
#include "platform/win32/unique_handle.h"

#include <windows.h>

namespace platform {

bool isSystemRoot(const EntryIdentity &directory)
{
    // The root of the drive of the Windows folder, compared by volume and file ID, so that every
    // spelling of it ("C:\", "c:/", "C:\Windows\..", a junction to it) is known as the root.
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length < 3 || length > MAX_PATH || windows[1] != L':')
        return false;
    const wchar_t root[] = { windows[0], L':', L'\\', L'\0' };
    const win32::UniqueHandle handle(CreateFileW(root, FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return false;
    EntryIdentity found;
    const bool known = win32::identityOfHandle(handle.get(), found);
    return known && found.volume == directory.volume && found.fileId == directory.fileId;
}

} // namespace platform
