#include "window/win32/dialogs.h"
#include "window/win32/main_window.h"
#include "window/win32/window_parts.h"

#include <commctrl.h>

// What the form tells the window: the controls' values, the listing, the run under way and the
// dialogs. A control set here tells the form nothing back.
namespace window::win32 {

using namespace parts;

namespace {

// The user's acts on the window while a run goes on: they are dropped. A released mouse button
// still arrives, so that a control that holds the mouse (an arrow held down) lets it go.
bool isHeldBack(const MSG &message)
{
    switch (message.message) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP:
    case WM_NCMBUTTONUP:
    case WM_NCXBUTTONUP:
        return false;
    default:
        break;
    }
    const UINT kind = message.message;
    return (kind >= WM_KEYFIRST && kind <= WM_KEYLAST)
        || (kind >= WM_MOUSEFIRST && kind <= WM_MOUSELAST)
        || (kind >= WM_NCMOUSEMOVE && kind <= WM_NCXBUTTONDBLCLK);
}

// How long, and for how many messages, a run lets the window answer each time it tells its
// progress.
constexpr ULONGLONG kLongestPause = 50;
constexpr int kMostMessages = 200;

} // namespace

void MainWindow::showDirectories(const std::vector<std::string> &entries, int selected)
{
    const HWND box = control(Control::dir);
    m_directories.clear();
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string &entry : entries) {
        m_directories.push_back(wideFromUtf8(entry));
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m_directories.back().c_str()));
    }
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    m_selected = selected;
    showDirectoryTip();
}

void MainWindow::showMode(core::SelectionMode mode)
{
    m_mode = mode;
    const bool age = mode == core::SelectionMode::Age;
    SendMessageW(control(Control::deltage), BM_SETCHECK, age ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(control(Control::delDateien), BM_SETCHECK, age ? BST_UNCHECKED : BST_CHECKED, 0);
}

void MainWindow::showCount(Count count, const std::string &text)
{
    m_settingText = true;
    SetWindowTextW(control(count == Count::Days ? Control::Edit1 : Control::Edit2),
        wideFromUtf8(text).c_str());
    m_settingText = false;
}

void MainWindow::showSubdirectories(bool ticked)
{
    SendMessageW(control(Control::subdir), BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::showLimitDate(const std::string &text)
{
    SetWindowTextW(control(Control::Datum), wideFromUtf8(text).c_str());
}

void MainWindow::enableDelete(bool enabled)
{
    const HWND button = control(Control::loeschen);
    // The keyboard does not stay on a button that can no longer be pressed.
    if (!enabled && GetFocus() == button)
        SetFocus(GetNextDlgTabItem(m_window, button, FALSE));
    EnableWindow(button, enabled);
}

void MainWindow::showStatus(Panel panel, const std::string &text)
{
    // A tab before the text centres it in its panel.
    const bool centred = panel == Panel::Files || panel == Panel::Total;
    const std::wstring shown = (centred ? L"\t" : L"") + wideFromUtf8(text);
    SendMessageW(control(Control::status), SB_SETTEXTW, static_cast<WPARAM>(panel),
        reinterpret_cast<LPARAM>(shown.c_str()));
}

void MainWindow::listingChanging()
{
    m_listing->changing();
}

void MainWindow::listingChanged()
{
    m_listing->changed();
}

void MainWindow::busy(bool on)
{
    m_busy = on;
    SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::showProgress(const std::string &text)
{
    showStatus(Panel::Progress, text);
    UpdateWindow(m_window);
    // The window draws itself and answers the system while the run goes on; what the user does
    // to it meanwhile is dropped. Only what waits now is taken, and for a moment at most: a
    // window that asks to be drawn again as soon as it is drawn would hold the run for ever.
    const ULONGLONG until = GetTickCount64() + kLongestPause;
    MSG message;
    for (int taken = 0; taken < kMostMessages && GetTickCount64() < until
         && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
         ++taken) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (isHeldBack(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::optional<std::string> MainWindow::chooseFolder(const std::string &instruction)
{
    return m_dialogs.chooseFolder(m_window, instruction);
}

bool MainWindow::confirm(const std::string &question)
{
    return m_dialogs.confirm(m_window, question);
}

void MainWindow::notice(const std::string &text)
{
    m_dialogs.notice(m_window, text);
}

void MainWindow::error(const std::string &text)
{
    m_dialogs.error(m_window, text);
}

void MainWindow::quit(int exitCode)
{
    // The loop ends once the messages already posted have run.
    PostQuitMessage(exitCode);
}

} // namespace window::win32
