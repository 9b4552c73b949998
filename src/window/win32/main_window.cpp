#include "window/win32/main_window.h"

#include "window/texts.h"
#include "window/win32/dialogs.h"
#include "window/win32/resource_ids.h"
#include "window/win32/window_parts.h"

#include <commctrl.h>
#include <stdexcept>

namespace window::win32 {

using namespace parts;

namespace {

constexpr wchar_t kClassName[] = L"Ablagekehrer.TFmain";

Count countOf(Control id)
{
    return id == Control::Edit1 || id == Control::Tage ? Count::Days : Count::Files;
}

} // namespace

MainWindow::MainWindow(Dialogs &dialogs, const platform::LocaleFormats &formats)
    : m_dialogs(dialogs)
    , m_form(*this, formats)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    static const ATOM windowClass = [instance] {
        WNDCLASSEXW description {};
        description.cbSize = sizeof description;
        description.lpfnWndProc = windowProcedure;
        description.hInstance = instance;
        description.hIcon = static_cast<HICON>(LoadImageW(instance,
            MAKEINTRESOURCEW(ABLAGE_ICON_PROGRAM), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        description.hIconSm = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(ABLAGE_ICON_PROGRAM), IMAGE_ICON,
                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = kClassName;
        return RegisterClassExW(&description);
    }();
    if (!windowClass)
        throw std::runtime_error("the window class cannot be registered");
    CreateWindowExW(0, kClassName, wideFromUtf8(texts::kCaption).c_str(), kStyle, CW_USEDEFAULT,
        CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr, instance, this);
    if (!m_window)
        throw std::runtime_error("the window cannot be created");
    if (const UINT dpi = GetDpiForWindow(m_window))
        m_dpi = static_cast<int>(dpi);
    createControls();
    scaleTo(m_dpi);
    m_form.showControls();
}

MainWindow::~MainWindow()
{
    if (m_window) {
        m_destroying = true;
        DestroyWindow(m_window);
    }
    if (m_font)
        DeleteObject(m_font);
    for (HICON icon : m_icons)
        DestroyIcon(icon);
}

HWND MainWindow::control(Control id) const
{
    return GetDlgItem(m_window, controlId(id));
}

bool MainWindow::preTranslate(MSG &message)
{
    if (!message.hwnd || (message.hwnd != m_window && !IsChild(m_window, message.hwnd)))
        return false;
    if (message.message == WM_KEYDOWN && message.wParam == VK_F5) {
        m_form.refreshClicked();
        return true;
    }
    return IsDialogMessageW(m_window, &message) != FALSE;
}

LRESULT CALLBACK MainWindow::windowProcedure(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self
            = static_cast<MainWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<MainWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam)
            return command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY:
        return notify(*reinterpret_cast<const NMHDR *>(lParam));
    case WM_MEASUREITEM: {
        auto &item = *reinterpret_cast<MEASUREITEMSTRUCT *>(lParam);
        if (item.CtlType != ODT_COMBOBOX)
            break;
        item.itemHeight = static_cast<UINT>(scaled(15));
        return TRUE;
    }
    case WM_DRAWITEM: {
        const auto &item = *reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        if (item.CtlType != ODT_COMBOBOX)
            break;
        drawDirectory(item);
        return TRUE;
    }
    case WM_SIZE:
        if (m_listing)
            layOut();
        return 0;
    case WM_DPICHANGED: {
        scaleTo(LOWORD(wParam));
        const RECT &suggested = *reinterpret_cast<const RECT *>(lParam);
        SetWindowPos(m_window, nullptr, suggested.left, suggested.top,
            suggested.right - suggested.left, suggested.bottom - suggested.top,
            SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_GETMINMAXINFO: {
        RECT frame { 0, 0, scaled(kMinimumWidth), scaled(kMinimumHeight) };
        AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, static_cast<UINT>(m_dpi));
        auto &limits = *reinterpret_cast<MINMAXINFO *>(lParam);
        limits.ptMinTrackSize = { frame.right - frame.left, frame.bottom - frame.top };
        return 0;
    }
    case WM_SETCURSOR:
        if (m_busy) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // The control that had the keyboard has it again when the window is active again.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(m_window, focus))
                m_focus = focus;
        } else {
            SetFocus(m_focus && IsWindowEnabled(m_focus) ? m_focus : control(Control::Edit1));
        }
        return 0;
    case WM_CLOSE:
        // A run under way ends before the window does.
        if (!m_busy)
            DestroyWindow(m_window);
        return 0;
    case WM_DESTROY:
        if (!m_destroying)
            PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

LRESULT MainWindow::command(int id, int code)
{
    switch (static_cast<Control>(id)) {
    case Control::dir:
        // Moving through the open list chooses nothing yet; the entry taken when it closes does,
        // and so does a change made with the keys while it is closed.
        if (code == CBN_SELENDOK) {
            directoryPicked();
            m_pickedOnClose = true;
        } else if (code == CBN_SELCHANGE
            && !SendMessageW(control(Control::dir), CB_GETDROPPEDSTATE, 0, 0)) {
            const bool reported = m_pickedOnClose
                && SendMessageW(control(Control::dir), CB_GETCURSEL, 0, 0) == m_selected;
            m_pickedOnClose = false;
            if (!reported)
                directoryPicked();
        } else if (code == CBN_DROPDOWN) {
            m_pickedOnClose = false;
        }
        return 0;
    case Control::SpeedButton1:
        if (code == BN_CLICKED)
            m_form.addFolderClicked();
        return 0;
    case Control::SpeedButton2:
        if (code == BN_CLICKED)
            m_form.refreshClicked();
        return 0;
    case Control::loeschen:
        if (code == BN_CLICKED)
            m_form.deleteClicked();
        return 0;
    case Control::deltage:
    case Control::delDateien:
        if (code == BN_CLICKED) {
            m_form.modeClicked(static_cast<Control>(id) == Control::deltage
                    ? core::SelectionMode::Age
                    : core::SelectionMode::Count);
            // The button checked itself; the form's mode is what shows.
            showMode(m_mode);
        }
        return 0;
    case Control::subdir:
        if (code == BN_CLICKED)
            m_form.subdirectoriesTicked(
                SendMessageW(control(Control::subdir), BM_GETCHECK, 0, 0) == BST_CHECKED);
        return 0;
    case Control::Edit1:
    case Control::Edit2:
        if (code == EN_CHANGE && !m_settingText)
            m_form.typed(countOf(static_cast<Control>(id)),
                utf8FromWide(textOf(control(static_cast<Control>(id)))));
        return 0;
    default:
        return 0;
    }
}

LRESULT MainWindow::notify(const NMHDR &header)
{
    if (m_listing && m_listing->answer(header))
        return 0;
    const auto id = static_cast<Control>(header.idFrom);
    if (header.code == UDN_DELTAPOS && (id == Control::Tage || id == Control::Dateien)) {
        const auto &step = reinterpret_cast<const NMUPDOWN &>(header);
        m_form.stepped(countOf(id), step.iDelta > 0 ? Step::Up : Step::Down);
        // The value is the form's: the arrows keep theirs.
        return TRUE;
    }
    return 0;
}

LRESULT CALLBACK MainWindow::numberFieldProcedure(
    HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self)
{
    auto &window = *reinterpret_cast<MainWindow *>(self);
    const Count count = countOf(static_cast<Control>(id));
    switch (message) {
    case WM_GETDLGCODE:
        // Enter belongs to the field, not to the window's keyboard handling.
        if (lParam) {
            const auto &key = *reinterpret_cast<const MSG *>(lParam);
            if (key.message == WM_KEYDOWN && key.wParam == VK_RETURN)
                return DefSubclassProc(edit, message, wParam, lParam) | DLGC_WANTALLKEYS;
        }
        break;
    case WM_KEYDOWN:
        // The arrow keys step the value, one step for each key repeat too; Enter lists with it.
        if (wParam == VK_UP || wParam == VK_DOWN) {
            window.m_form.stepped(count, wParam == VK_UP ? Step::Up : Step::Down);
            return 0;
        }
        if (wParam == VK_RETURN) {
            window.m_form.enterPressed(count);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\n')
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, numberFieldProcedure, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

void MainWindow::directoryPicked()
{
    const auto entry = static_cast<int>(SendMessageW(control(Control::dir), CB_GETCURSEL, 0, 0));
    if (entry < 0)
        return;
    m_selected = entry;
    showDirectoryTip();
    m_form.directoryChosen(entry);
}

} // namespace window::win32
