#include "window/run_window.h"

#include "window/win32/dialogs.h"
#include "window/win32/main_window.h"

#include <commctrl.h>
#include <memory>
#include <objbase.h>
#include <stdexcept>

namespace window {

namespace {

// COM on this thread for the shell's folder dialog, for the life of the window.
class ComApartment
{
public:
    ComApartment()
        : m_initialised(
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
    {
    }
    ~ComApartment()
    {
        if (m_initialised)
            CoUninitialize();
    }
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;

private:
    bool m_initialised;
};

// The window's message loop until the quit request; its code, or 1 when the loop failed.
int runMessageLoop(win32::MainWindow &window)
{
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(message.wParam);
        if (got == -1)
            return 1;
        if (!window.preTranslate(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

} // namespace

std::optional<int> runWithWindow(int &, char **, const startup::CommandLine &commandLine,
    const std::string &settingsPath, const platform::LocaleFormats &formats)
{
    // The manifest asks for the per-monitor scale already; this holds where it is not read.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    INITCOMMONCONTROLSEX controls {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES
        | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&controls);
    const ComApartment com;
    win32::SystemDialogs dialogs;
    std::unique_ptr<win32::MainWindow> window;
    try {
        window = std::make_unique<win32::MainWindow>(dialogs, formats);
    } catch (const std::runtime_error &) {
        // No window on this session after all: the caller goes on without one.
        return std::nullopt;
    }
    return window->form().run(commandLine, settingsPath, [&window] {
        window->show(SW_SHOWDEFAULT);
        return runMessageLoop(*window);
    });
}

} // namespace window
