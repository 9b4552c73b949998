// ablagekehrer.com, the console's door to ablagekehrer.exe beside it.
//
// The program proper is a window program: Explorer and the Task Scheduler start it without a
// console, so no console window flashes up. A window program started from cmd.exe or PowerShell,
// though, is not waited for, so its exit code never reaches %ERRORLEVEL% or $LASTEXITCODE. Both
// shells find this console program first (".COM" comes before ".EXE" in PATHEXT): it starts the
// window program with the same command line and its own standard handles, waits for it, and
// returns its exit code. The window program joins this console (platform::joinStartingConsole),
// so it prints there and hears Ctrl+C itself.
//
// It is a program of its own, not a part of the libraries the program is built from: it shares no
// code with them, and keeps to the Win32 calls, so that it stays a few kilobytes.

#include <windows.h>

namespace {

// The longest path Windows knows, in UTF-16 units, with its terminating NUL.
constexpr DWORD kPathCapacity = 32768;

wchar_t g_program[kPathCapacity];
HANDLE g_running = nullptr;

// Writes `text` to standard error: as UTF-16 to a console, as UTF-8 to a file or pipe, as the
// program itself does.
void complain(const wchar_t *text)
{
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE)
        return;
    const int length = lstrlenW(text);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(err, &mode)) {
        WriteConsoleW(err, text, static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    static char bytes[4 * kPathCapacity];
    const int size
        = WideCharToMultiByte(CP_UTF8, 0, text, length, bytes, sizeof bytes, nullptr, nullptr);
    if (size > 0)
        WriteFile(err, bytes, static_cast<DWORD>(size), &written, nullptr);
}

// The program beside this one: this one's path with ".exe" in place of its extension.
bool findProgram()
{
    const DWORD length = GetModuleFileNameW(nullptr, g_program, kPathCapacity);
    if (length == 0 || length >= kPathCapacity - 4)
        return false;
    DWORD end = length;
    for (DWORD at = length; at > 0 && g_program[at - 1] != L'\\' && g_program[at - 1] != L'/';
         --at) {
        if (g_program[at - 1] == L'.') {
            end = at - 1;
            break;
        }
    }
    lstrcpyW(g_program + end, L".exe");
    return true;
}

BOOL WINAPI passOn(DWORD event)
{
    // Ctrl+C and Ctrl+Break reach the program as well, since it shares this console: it ends a
    // deletion run after the attempts in flight, with their log lines, and exits; this one waits
    // for that and returns its exit code.
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    // The console closing, a log-off or a shutdown end this process when the handler returns:
    // the program gets the few seconds the system allows to write its last lines first.
    if (g_running)
        WaitForSingleObject(g_running, 5000);
    return FALSE;
}

// The handle as one the program inherits: a console handle or the file or pipe of a redirection.
HANDLE inherited(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE)
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

} // namespace

int wmain()
{
    constexpr int kFailed = 1;
    if (!findProgram()) {
        complain(L"Ablagekehrer: Der eigene Pfad ist nicht zu ermitteln.\r\n");
        return kFailed;
    }
    // CreateProcessW may write into the command line it is given.
    static wchar_t commandLine[kPathCapacity];
    lstrcpynW(commandLine, GetCommandLineW(), static_cast<int>(kPathCapacity));

    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inherited(STD_INPUT_HANDLE);
    startup.hStdOutput = inherited(STD_OUTPUT_HANDLE);
    startup.hStdError = inherited(STD_ERROR_HANDLE);
    SetConsoleCtrlHandler(passOn, TRUE);
    PROCESS_INFORMATION started {};
    if (!CreateProcessW(g_program, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
            &startup, &started)) {
        DWORD error = GetLastError();
        // One line, written at once; the error's number as the program shows a system error
        // without a name of its own.
        static wchar_t message[kPathCapacity + 64];
        lstrcpyW(message, L"Ablagekehrer: ");
        lstrcatW(message, g_program);
        lstrcatW(message, L": Start nicht m\u00f6glich (E/A-Fehler ");
        wchar_t number[16];
        wchar_t *digits = number + 15;
        *digits = L'\0';
        do {
            *--digits = static_cast<wchar_t>(L'0' + error % 10);
            error /= 10;
        } while (error != 0);
        lstrcatW(message, digits);
        lstrcatW(message, L").\r\n");
        complain(message);
        return kFailed;
    }
    CloseHandle(started.hThread);
    g_running = started.hProcess;
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD exitCode = kFailed;
    GetExitCodeProcess(started.hProcess, &exitCode);
    return static_cast<int>(exitCode);
}
