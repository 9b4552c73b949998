#include "platform/win32/wide_text.h"
#include "support/run_on_host.h"

#include <windows.h>

namespace testing_support {

bool runOnHost(
    const char *program, const std::vector<std::wstring> &paths, const std::function<bool()> &done)
{
    using ToUnix = char *(CDECL *)(LPCWSTR);
    using ToDos = WCHAR *(CDECL *)(LPCSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void *>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    const auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void *>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (toUnix == nullptr || toDos == nullptr)
        return false;
    const WCHAR *dosProgram = toDos(program);
    if (dosProgram == nullptr)
        return false;
    std::wstring command = L"host";
    for (const std::wstring &path : paths) {
        const char *unixPath = path.starts_with(L"-") ? nullptr : toUnix(path.c_str());
        command += L" \"" + (unixPath != nullptr ? platform::win32::wideFromUtf8(unixPath) : path)
            + L"\"";
    }
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process {};
    if (!CreateProcessW(dosProgram, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
            &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int tries = 0; tries < 200; ++tries) {
        if (done())
            return true;
        Sleep(10);
    }
    return false;
}

} // namespace testing_support
