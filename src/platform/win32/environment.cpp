#include "platform/environment.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

#include <vector>
#include <windows.h>
// After windows.h, which the shell's header needs.
#include <knownfolders.h>
#include <shlobj.h>

namespace platform {

std::optional<std::string> environmentValue(const char *name)
{
    const std::wstring wideName = win32::wideFromUtf8(name);
    std::wstring value(256, L'\0');
    for (;;) {
        // An empty value gives 0 too; only the error tells it from a missing variable.
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(
            wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0)
            return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                            : std::optional<std::string>("");
        // Too small a buffer gives the size it needs, its terminating NUL counted.
        if (length < value.size()) {
            value.resize(length);
            return win32::utf8FromWide(value);
        }
        value.resize(length);
    }
}

bool pathExists(const std::string &path)
{
    const std::wstring wide = win32::longPath(path);
    if (wide.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    // A link or junction counts only when its target exists: opening it follows it.
    const win32::UniqueHandle target(
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return static_cast<bool>(target);
}

bool hasDisplay()
{
    // Only the interactive window station is visible; a Task Scheduler job run whether or not a
    // user is logged on gets one of its own that nobody sees, where a window would wait for ever.
    const HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags {};
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

// Qt finds the Windows desktop by itself: there is no choice of ways to it to make.
std::string displayPlatforms()
{
    return {};
}

namespace {

// The folder Windows keeps for `folder` (the user's roaming application data, every user's
// program data), asked of the shell rather than guessed from drive letters or the environment;
// empty when the system has none.
std::string knownFolder(REFKNOWNFOLDERID folder)
{
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(folder, KF_FLAG_DONT_VERIFY, nullptr, &path);
    std::string text;
    if (SUCCEEDED(result) && path)
        text = win32::utf8FromWide(path);
    // The shell allocates the path even when it fails.
    CoTaskMemFree(path);
    return text;
}

} // namespace

// A copied program keeps its settings beside it; an installed one, in Program Files where only an
// administrator may write, has them in the user's %APPDATA% or in the machine's %ProgramData%.
std::vector<std::string> sharedSettingsPlaces(const std::string &fileName)
{
    std::vector<std::string> places;
    for (const KNOWNFOLDERID &folder : { FOLDERID_RoamingAppData, FOLDERID_ProgramData }) {
        std::string place = knownFolder(folder);
        if (!place.empty())
            places.push_back(place.append("\\Ablagekehrer\\").append(fileName));
    }
    return places;
}

} // namespace platform
