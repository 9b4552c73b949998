#include "window/texts.h"
#include "window/win32/main_window.h"
#include "window/win32/resource_ids.h"
#include "window/win32/window_parts.h"

#include <algorithm>
#include <array>
#include <commctrl.h>
#include <stdexcept>

// The window's controls: how they are made, where they stand at the monitor's scale, and how the
// folder box draws its entries.
namespace window::win32 {

using namespace parts;

namespace {

// Where each control stands at 96 dots per inch, in the client area.
struct Place
{
    Control id;
    int left, top, width, height;
};
constexpr std::array kPlaces = {
    Place { Control::Label1, 5, 8, 54, 13 },
    Place { Control::dir, 70, 5, 186, 21 },
    Place { Control::SpeedButton1, 260, 5, 23, 22 },
    Place { Control::subdir, 290, 10, 97, 17 },
    Place { Control::loeschen, 405, 5, 75, 25 },
    Place { Control::deltage, 5, 33, 86, 17 },
    Place { Control::Edit1, 100, 30, 26, 21 },
    Place { Control::Tage, 126, 30, 15, 21 },
    // The date takes the room beside it that its longest form needs.
    Place { Control::Datum, 150, 35, 250, 13 },
    Place { Control::delDateien, 5, 58, 95, 17 },
    Place { Control::Edit2, 100, 55, 26, 21 },
    Place { Control::Dateien, 126, 55, 15, 21 },
    Place { Control::SpeedButton2, 155, 55, 23, 22 },
};

// The controls whose caption may need more room than their place gives in the system's font:
// they grow to the right, into room left free.
constexpr std::array kCaptioned
    = { Control::Label1, Control::subdir, Control::deltage, Control::delDateien };

constexpr std::array kStatusEdges = { 120, 270, 420 };

// The caption with `letter` as its access key, the first occurrence of it underlined.
std::wstring withAccessKey(const char *caption, wchar_t letter)
{
    std::wstring text = wideFromUtf8(caption);
    const std::size_t at = text.find(letter);
    if (at != std::wstring::npos)
        text.insert(at, 1, L'&');
    return text;
}

HICON loadIcon(int id, int size)
{
    return static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

} // namespace

std::wstring elidedPath(HDC dc, const std::wstring &path, int width)
{
    const auto fits = [dc, width](const std::wstring &text) {
        SIZE size {};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx <= width;
    };
    if (fits(path))
        return path;
    // The last folder stays whole, with the separator that ends the path; the beginning keeps
    // as much as fits before the ellipsis.
    const std::size_t body = !path.empty() && (path.back() == L'\\' || path.back() == L'/')
        ? path.size() - 1
        : path.size();
    const std::size_t lastSeparator
        = body == 0 ? std::wstring::npos : path.find_last_of(L"\\/", body - 1);
    const std::wstring tail
        = L"\u2026" + (lastSeparator == std::wstring::npos ? path : path.substr(lastSeparator));
    if (!fits(tail)) {
        // Not even the last folder fits: as much of its end as fits.
        std::size_t keep = tail.size() - 1;
        while (keep > 0 && !fits(L"\u2026" + path.substr(path.size() - keep)))
            --keep;
        return L"\u2026" + path.substr(path.size() - keep);
    }
    std::size_t low = 0;
    std::size_t high = lastSeparator == std::wstring::npos ? 0 : lastSeparator;
    while (low < high) {
        const std::size_t middle = (low + high + 1) / 2;
        if (fits(path.substr(0, middle) + tail))
            low = middle;
        else
            high = middle - 1;
    }
    return path.substr(0, low) + tail;
}

HWND MainWindow::createControl(
    Control id, const wchar_t *className, const std::wstring &text, DWORD style)
{
    const HWND created = CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style,
        0, 0, 0, 0, m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(id))),
        GetModuleHandleW(nullptr), nullptr);
    if (!created)
        throw std::runtime_error("a control cannot be created");
    return created;
}

void MainWindow::createControls()
{
    // The order of creation is the keyboard's order: the number of days, the folder box with
    // its button, "Löschen", the number of files with the refresh button, the checked radio
    // button, "Unterverzeichnis" and the grid. A label stands before the control its access key
    // leads to.
    constexpr DWORD stop = WS_TABSTOP | WS_GROUP;
    constexpr DWORD numberField = ES_LEFT | ES_AUTOHSCROLL | ES_NUMBER;
    constexpr DWORD arrows = UDS_NOTHOUSANDS | UDS_HOTTRACK;
    const HWND days = createControl(Control::Edit1, WC_EDITW, L"", stop | numberField | WS_BORDER);
    createControl(Control::Tage, UPDOWN_CLASSW, L"", arrows);
    createControl(
        Control::Label1, WC_STATICW, withAccessKey(texts::kDirectoryLabel, L'V'), SS_LEFT);
    createControl(Control::dir, WC_COMBOBOXW, L"",
        stop | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
    createControl(Control::SpeedButton1, WC_BUTTONW, L"", stop | BS_PUSHBUTTON | BS_ICON);
    createControl(
        Control::loeschen, WC_BUTTONW, withAccessKey(texts::kDelete, L'L'), stop | BS_PUSHBUTTON);
    const HWND files = createControl(Control::Edit2, WC_EDITW, L"", stop | numberField | WS_BORDER);
    createControl(Control::Dateien, UPDOWN_CLASSW, L"", arrows);
    createControl(Control::SpeedButton2, WC_BUTTONW, L"", stop | BS_PUSHBUTTON | BS_ICON);
    // One group: only the checked one is a tab stop, the arrow keys move between them.
    createControl(Control::deltage, WC_BUTTONW, withAccessKey(texts::kByAge, L'T'),
        stop | BS_AUTORADIOBUTTON);
    createControl(
        Control::delDateien, WC_BUTTONW, withAccessKey(texts::kByCount, L'D'), BS_AUTORADIOBUTTON);
    createControl(Control::subdir, WC_BUTTONW, withAccessKey(texts::kSubdirectories, L'U'),
        stop | BS_AUTOCHECKBOX);
    m_listing
        = std::make_unique<ListingView>(m_window, controlId(Control::liste), m_form.state().Table);
    SetWindowLongPtrW(m_listing->handle(), GWL_STYLE,
        GetWindowLongPtrW(m_listing->handle(), GWL_STYLE) | WS_GROUP);
    createControl(Control::Datum, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX);
    createControl(Control::status, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP);

    // The arrows step the form's value, never one of their own: they stand in the middle of a
    // range they never leave, since the form refuses each of their changes.
    for (Control arrow : { Control::Tage, Control::Dateien }) {
        SendMessageW(control(arrow), UDM_SETBUDDY,
            reinterpret_cast<WPARAM>(
                control(arrow == Control::Tage ? Control::Edit1 : Control::Edit2)),
            0);
        SendMessageW(control(arrow), UDM_SETRANGE32, 0, 2);
        SendMessageW(control(arrow), UDM_SETPOS32, 0, 1);
    }
    for (HWND field : { days, files })
        SetWindowSubclass(field, numberFieldProcedure, static_cast<UINT_PTR>(GetDlgCtrlID(field)),
            reinterpret_cast<DWORD_PTR>(this));

    m_tooltips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
        CW_USEDEFAULT, m_window, nullptr, GetModuleHandleW(nullptr), nullptr);
    addTooltip(Control::loeschen, texts::kDeleteTip);
    addTooltip(Control::Edit1, texts::kDaysTip);
    addTooltip(Control::Tage, texts::kDaysTip);
    addTooltip(Control::Edit2, texts::kFilesTip);
    addTooltip(Control::Dateien, texts::kFilesTip);
    addTooltip(Control::dir, "");

    SendMessageW(control(Control::deltage), BM_SETCHECK, BST_CHECKED, 0);
    EnableWindow(control(Control::loeschen), FALSE);
}

void MainWindow::addTooltip(Control id, const std::string &text)
{
    std::wstring wide = wideFromUtf8(text);
    TTTOOLINFOW tool {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(control(id));
    tool.lpszText = wide.data();
    SendMessageW(m_tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::scaleTo(int dpi)
{
    m_dpi = dpi;
    NONCLIENTMETRICSW metrics {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(
        SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi));
    // The system's dialog font at 8 points, the size the controls' places are made for.
    LOGFONTW face = metrics.lfMessageFont;
    face.lfHeight = -MulDiv(8, dpi, 72);
    const HFONT font = CreateFontIndirectW(&face);
    for (HWND child = GetWindow(m_window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(m_tooltips, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (m_font)
        DeleteObject(m_font);
    m_font = font;

    // The images at the size they are drawn for this DPI: the resources hold each at the usual
    // scales, and the nearest is scaled.
    std::vector<HICON> icons = {
        loadIcon(ABLAGE_ICON_ADD_FOLDER, scaled(18)),
        loadIcon(ABLAGE_ICON_REFRESH, scaled(16)),
        loadIcon(ABLAGE_ICON_DELETE, scaled(18)),
    };
    SendMessageW(control(Control::SpeedButton1), BM_SETIMAGE, IMAGE_ICON,
        reinterpret_cast<LPARAM>(icons[0]));
    SendMessageW(control(Control::SpeedButton2), BM_SETIMAGE, IMAGE_ICON,
        reinterpret_cast<LPARAM>(icons[1]));
    SendMessageW(
        control(Control::loeschen), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icons[2]));
    for (HICON icon : m_icons)
        DestroyIcon(icon);
    m_icons = std::move(icons);

    // The folder box is as high as its place: its field, and the entries of its list.
    const HWND box = control(Control::dir);
    SendMessageW(box, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scaled(15));
    SendMessageW(box, CB_SETITEMHEIGHT, 0, scaled(15));
    m_listing->scale(dpi);
    SendMessageW(m_tooltips, TTM_SETMAXTIPWIDTH, 0, scaled(600));
    layOut();
}

void MainWindow::layOut()
{
    RECT client {};
    GetClientRect(m_window, &client);
    const HDC dc = GetDC(m_window);
    const HGDIOBJ previous = SelectObject(dc, m_font);
    for (const Place &place : kPlaces) {
        int width = scaled(place.width);
        if (std::find(kCaptioned.begin(), kCaptioned.end(), place.id) != kCaptioned.end()) {
            const HWND captioned = control(place.id);
            std::wstring caption = textOf(captioned);
            caption.erase(std::remove(caption.begin(), caption.end(), L'&'), caption.end());
            SIZE size {};
            GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
            // A check box or radio button draws its box and a gap before its caption.
            const int box = place.id == Control::Label1
                ? 0
                : GetSystemMetricsForDpi(SM_CXMENUCHECK, static_cast<UINT>(m_dpi)) + scaled(6);
            width = std::max(width, static_cast<int>(size.cx) + box);
        }
        // The folder box's height is that of its dropped list; its field takes its item height.
        const int height = place.id == Control::dir ? scaled(200) : scaled(place.height);
        SetWindowPos(control(place.id), nullptr, scaled(place.left), scaled(place.top), width,
            height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SelectObject(dc, previous);
    ReleaseDC(m_window, dc);

    const HWND status = control(Control::status);
    SendMessageW(status, WM_SIZE, 0, 0);
    std::array<int, kStatusEdges.size() + 1> edges {};
    for (std::size_t part = 0; part < kStatusEdges.size(); ++part)
        edges[part] = scaled(kStatusEdges[part]);
    edges.back() = -1;
    SendMessageW(status, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    RECT bar {};
    GetWindowRect(status, &bar);
    const int top = scaled(kPanelHeight);
    const int height = std::max(0, static_cast<int>(client.bottom - (bar.bottom - bar.top)) - top);
    SetWindowPos(
        m_listing->handle(), nullptr, 0, top, client.right, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::show(int command)
{
    // The window opens on the monitor the system placed it on, at that monitor's scale.
    const HMONITOR monitor = MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST);
    if (const UINT dpi = GetDpiForWindow(m_window); dpi && static_cast<int>(dpi) != m_dpi)
        scaleTo(static_cast<int>(dpi));
    MONITORINFO info {};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    const RECT &work = info.rcWork;
    RECT frame { 0, 0, scaled(kClientWidth), scaled(kClientHeight) };
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, static_cast<UINT>(m_dpi));
    // Centred on the work area, and never beyond it: a window larger than the screen is made to
    // fit.
    const int width = std::min(frame.right - frame.left, work.right - work.left);
    const int height = std::min(frame.bottom - frame.top, work.bottom - work.top);
    SetWindowPos(m_window, nullptr, work.left + (work.right - work.left - width) / 2,
        work.top + (work.bottom - work.top - height) / 2, width, height,
        SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(m_window, command);
    UpdateWindow(m_window);
    if (GetActiveWindow() == m_window)
        SetFocus(control(Control::Edit1));
    m_form.shown();
}

void MainWindow::drawDirectory(const DRAWITEMSTRUCT &item)
{
    const HDC dc = item.hDC;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID < m_directories.size()) {
        const HGDIOBJ previous = SelectObject(dc, m_font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc,
            GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT
                    : selected                          ? COLOR_HIGHLIGHTTEXT
                                                        : COLOR_WINDOWTEXT));
        RECT text = item.rcItem;
        text.left += scaled(2);
        text.right -= scaled(2);
        const std::wstring shown
            = elidedPath(dc, m_directories[item.itemID], text.right - text.left);
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SelectObject(dc, previous);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &item.rcItem);
}

void MainWindow::showDirectoryTip()
{
    // The whole path of the chosen entry, however it is shortened in the box.
    std::wstring text
        = m_selected >= 0 && static_cast<std::size_t>(m_selected) < m_directories.size()
        ? m_directories[static_cast<std::size_t>(m_selected)]
        : std::wstring();
    TTTOOLINFOW tool {};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(control(Control::dir));
    tool.lpszText = text.data();
    SendMessageW(m_tooltips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

} // namespace window::win32
