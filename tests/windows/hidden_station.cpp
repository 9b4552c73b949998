// hidden_station PROGRAM [ARGUMENTS...]: runs the rest of its command line in a window station of
// its own that nobody sees, as the Task Scheduler runs a task "whether the user is logged on or
// not", with this program's standard handles; exits with that program's exit code, or 2 when it
// cannot be started.
#include <cstdio>
#include <string>
#include <windows.h>

int wmain()
{
    // The command line after this program's own name, as it was given.
    std::wstring line = GetCommandLineW();
    std::size_t end = line[0] == L'"' ? line.find(L'"', 1) + 1 : line.find(L' ');
    end = line.find_first_not_of(L' ', end == std::wstring::npos ? line.size() : end);
    line.erase(0, end == std::wstring::npos ? line.size() : end);

    const HWINSTA station = CreateWindowStationW(L"ablage-hidden", 0, WINSTA_ALL_ACCESS, nullptr);
    if (!station || !SetProcessWindowStation(station)
        || !CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr)) {
        std::fprintf(stderr, "no window station: %lu\n", GetLastError());
        return 2;
    }
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    wchar_t desktop[] = L"ablage-hidden\\Default";
    startup.lpDesktop = desktop;
    startup.dwFlags = STARTF_USESTDHANDLES;
    for (const DWORD which : { STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE })
        SetHandleInformation(GetStdHandle(which), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
            &started)) {
        std::fprintf(stderr, "cannot start: %lu\n", GetLastError());
        return 2;
    }
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD code = 2;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return static_cast<int>(code);
}
