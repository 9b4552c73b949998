// window_user yes|no ROWS PROGRAM [ARGUMENTS...]: plays a user of the program's window from a
// process of its own. Starts PROGRAM with the arguments, waits until its window lists ROWS rows,
// clicks "Löschen", answers the question with the button named, waits for the listing that
// follows a yes, closes the window, and exits with the program's exit code. Prints the buttons of
// the question as "buttons: &Ja|&Nein". Exits 3 when something does not come within 20 seconds.
#include "window/win32/main_window.h"

#include <commctrl.h>
#include <cstdio>
#include <string>
#include <windows.h>

using window::win32::Control;

namespace {

constexpr DWORD kPatience = 20000;

// Asks `found` every tenth of a second until it gives something, at most for kPatience.
template <typename Find> auto await(Find &&found) -> decltype(found())
{
    for (DWORD waited = 0; waited < kPatience; waited += 100) {
        if (auto result = found())
            return result;
        Sleep(100);
    }
    return {};
}

[[noreturn]] void giveUp(const char *what, HANDLE program)
{
    std::fprintf(stderr, "window_user: %s did not come\n", what);
    TerminateProcess(program, 3);
    std::exit(3);
}

// The top-level window of `process` whose caption is `caption` and class `className` (any
// class when null).
HWND windowOf(DWORD process, const wchar_t *caption, const wchar_t *className)
{
    struct Search
    {
        DWORD process;
        const wchar_t *caption;
        const wchar_t *className;
        HWND found = nullptr;
    } search { process, caption, className };
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto &wanted = *reinterpret_cast<Search *>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t text[128] {}, kind[64] {};
            GetWindowTextW(window, text, 128);
            GetClassNameW(window, kind, 64);
            if (owner == wanted.process && std::wstring(text) == wanted.caption
                && (!wanted.className || std::wstring(kind) == wanted.className)) {
                wanted.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string utf8(const std::wstring &text)
{
    std::string bytes(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(),
                          static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
        static_cast<int>(bytes.size()), nullptr, nullptr);
    return bytes;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: window_user yes|no ROWS PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const bool yes = std::wstring(argv[1]) == L"yes";
    const int rows = std::stoi(argv[2]);
    std::wstring line;
    for (int argument = 3; argument < argc; ++argument)
        line += L'"' + std::wstring(argv[argument]) + L"\" ";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started {};
    if (!CreateProcessW(
            nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return 2;
    const HANDLE program = started.hProcess;

    const HWND main
        = await([&] { return windowOf(started.dwProcessId, L"Ablage-Kehrer", nullptr); });
    if (!main)
        giveUp("the window", program);
    // The window has its caption from its creation on, before it has made its controls: the grid
    // is looked for each time until it is there.
    const auto listed = [main] {
        const HWND list = GetDlgItem(main, static_cast<int>(Control::liste));
        return list ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
    };
    if (!await([&] { return listed() == rows; }))
        giveUp("the listing", program);

    // The click runs the question inside it: posted, so that this program goes on meanwhile.
    PostMessageW(GetDlgItem(main, static_cast<int>(Control::loeschen)), BM_CLICK, 0, 0);
    const HWND box
        = await([&] { return windowOf(started.dwProcessId, L"Bestätigung", L"#32770"); });
    if (!box)
        giveUp("the question", program);
    std::string buttons;
    for (const int button : { IDYES, IDNO }) {
        wchar_t text[64] {};
        GetWindowTextW(GetDlgItem(box, button), text, 64);
        buttons += (buttons.empty() ? "" : "|") + utf8(text);
    }
    std::printf("buttons: %s\n", buttons.c_str());
    std::fflush(stdout);
    PostMessageW(GetDlgItem(box, yes ? IDYES : IDNO), BM_CLICK, 0, 0);
    if (!await([&] { return !IsWindow(box); }))
        giveUp("the end of the question", program);
    // After a yes the refresh lists the one placeholder row.
    if (yes && !await([&] { return listed() == 1; }))
        giveUp("the listing after the deletion", program);

    PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(program, kPatience) != WAIT_OBJECT_0)
        giveUp("the program's end", program);
    DWORD code = 3;
    GetExitCodeProcess(program, &code);
    return static_cast<int>(code);
}
