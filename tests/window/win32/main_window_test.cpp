#include "core/listing_table.h"
#include "platform/locale_formats.h"
#include "platform/win32/wide_text.h"
#include "support/temp_tree.h"
#include "window/win32/win32_driver.h"

#include <chrono>
#include <commctrl.h>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

using win32_testing::Driver;
using window::win32::Control;

namespace {

// A tree with three old files and its settings file, which names it.
struct OldFiles
{
    testing_support::TempTree tree;
    std::string settings;

    OldFiles()
    {
        for (const char *name : { "a.log", "b.log", "c.log" }) {
            tree.writeFile(name, "x");
            tree.setModified(name, testing_support::localEpochDaysFromToday(-100));
        }
        tree.writeFile("ablagekehrer.ini", "[Pfade]\n1=" + tree.path() + "\n");
        settings = tree / "ablagekehrer.ini";
    }
};

RECT placeIn(HWND parent, HWND child)
{
    RECT place {};
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&place), 2);
    return place;
}

std::wstring tipOf(HWND tooltips, HWND owner, HWND tool)
{
    wchar_t text[1024] {};
    TTTOOLINFOW info {};
    info.cbSize = sizeof info;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = text;
    SendMessageW(tooltips, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
    return text;
}

} // namespace

// The grid holds no text: a million rows are there as soon as their count is set.
TEST(Win32Window, AMillionRowsShowAtOnce)
{
    core::ListingTable table(platform::germanFormats());
    const std::uint32_t folder
        = table.addDirectory(core::ListingTable::kNoParent, "Z:\\viele\\", {});
    platform::FileEntry entry;
    for (int row = 0; row < 1'000'000; ++row) {
        entry.name = "f" + std::to_string(row) + ".log";
        table.addFile(folder, entry);
    }
    // A window that only hosts the grid and hands it the grid's questions.
    static window::win32::ListingView *hosted = nullptr;
    WNDCLASSW host {};
    host.lpszClassName = L"ListingHost";
    host.hInstance = GetModuleHandleW(nullptr);
    host.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_NOTIFY && hosted
            && hosted->answer(*reinterpret_cast<const NMHDR *>(lParam)))
            return 0;
        return DefWindowProcW(window, message, wParam, lParam);
    };
    RegisterClassW(&host);
    const HWND parent = CreateWindowW(L"ListingHost", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 400,
        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    window::win32::ListingView view(parent, 1, table);
    hosted = &view;
    const auto before = std::chrono::steady_clock::now();
    view.changed();
    const int rows = ListView_GetItemCount(view.handle());
    ListView_EnsureVisible(view.handle(), rows - 1, FALSE);
    wchar_t last[64] {};
    ListView_GetItemText(view.handle(), rows - 1, 0, last, 64);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - before;
    EXPECT_EQ(rows, 1'000'000);
    EXPECT_STREQ(last, L"f999999.log");
    std::printf("A million rows set, scrolled to and read in %.6f s\n", took.count());
    hosted = nullptr;
    DestroyWindow(parent);
}

// At 96 dots per inch and at 125 %, the client area is 819 x 450 scaled, every control stands
// inside it with room for its caption, the grid fills what the panel and the status bar leave.
TEST(Win32Window, LayoutFitsAtEachScale)
{
    Driver driver;
    driver.start({}, "");
    const HWND main = driver.window().handle();
    for (const int dpi : { 96, 120 }) {
        SCOPED_TRACE(dpi);
        // The size the system suggests for the new scale, with the frame this system draws
        // (Wine's stays at 96 dots per inch).
        RECT outer {}, inner {};
        GetWindowRect(main, &outer);
        GetClientRect(main, &inner);
        RECT frame { 0, 0, MulDiv(819, dpi, 96) + (outer.right - outer.left) - inner.right,
            MulDiv(450, dpi, 96) + (outer.bottom - outer.top) - inner.bottom };
        SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&frame));
        RECT client {};
        GetClientRect(main, &client);
        EXPECT_EQ(client.right, MulDiv(819, dpi, 96));
        EXPECT_EQ(client.bottom, MulDiv(450, dpi, 96));
        const HDC dc = GetDC(main);
        for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const RECT place = placeIn(main, child);
            EXPECT_TRUE(place.left >= 0 && place.top >= 0 && place.right <= client.right
                && place.bottom <= client.bottom)
                << GetDlgCtrlID(child);
            wchar_t caption[64] {};
            GetWindowTextW(child, caption, 64);
            std::wstring text(caption);
            std::erase(text, L'&');
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(child, WM_GETFONT, 0, 0)));
            SIZE size {};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            EXPECT_LE(size.cx, place.right - place.left) << GetDlgCtrlID(child);
            EXPECT_LE(size.cy, place.bottom - place.top) << GetDlgCtrlID(child);
        }
        ReleaseDC(main, dc);
        const RECT grid = placeIn(main, driver.window().control(Control::liste));
        const RECT status = placeIn(main, driver.window().control(Control::status));
        EXPECT_EQ(grid.top, MulDiv(86, dpi, 96));
        EXPECT_EQ(grid.bottom, status.top);
        EXPECT_EQ(status.bottom, client.bottom);
    }
}

// Tab visits the fields, the folder box with its button, "Löschen" while it can be pressed, the
// refresh button, the checked radio button, "Unterverzeichnis" and the grid, and leaves the grid.
TEST(Win32Window, TabOrder)
{
    OldFiles old;
    Driver driver;
    driver.start({}, old.settings);
    driver.play("show");
    SetFocus(driver.window().control(Control::Edit1));
    std::vector<int> visited;
    for (int press = 0; press < 10; ++press) {
        visited.push_back(GetDlgCtrlID(GetFocus()));
        driver.press(GetFocus(), VK_TAB);
    }
    const auto id = [](Control control) { return static_cast<int>(control); };
    EXPECT_EQ(visited,
        std::vector<int>({ id(Control::Edit1), id(Control::dir), id(Control::SpeedButton1),
            id(Control::loeschen), id(Control::Edit2), id(Control::SpeedButton2),
            id(Control::deltage), id(Control::subdir), id(Control::liste), id(Control::Edit1) }));
}

// A long folder path keeps its beginning and its last folder in the box, and its tooltip shows
// it whole.
TEST(Win32Window, LongPathIsElidedInTheMiddle)
{
    testing_support::TempTree tree;
    const std::string folder = tree.path() + std::string(60, 'x') + "\\spool\\";
    Driver driver;
    driver.start({}, "");
    driver.play("folder " + folder);
    driver.play("click SpeedButton1");
    const HWND box = driver.window().control(Control::dir);
    const std::wstring path = platform::win32::wideFromUtf8(folder);
    EXPECT_EQ(tipOf(driver.window().tooltips(), driver.window().handle(), box), path);

    const HDC dc = GetDC(box);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(box, WM_GETFONT, 0, 0)));
    COMBOBOXINFO info {};
    info.cbSize = sizeof info;
    GetComboBoxInfo(box, &info);
    const int width = info.rcItem.right - info.rcItem.left;
    const std::wstring shown = window::win32::elidedPath(dc, path, width);
    SIZE size {};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    EXPECT_LE(size.cx, width);
    EXPECT_EQ(shown.substr(0, 3), path.substr(0, 3)) << shown;
    EXPECT_TRUE(shown.ends_with(L"\u2026\\spool\\")) << shown;
    EXPECT_EQ(window::win32::elidedPath(dc, L"C:\\a\\", width), L"C:\\a\\");
    ReleaseDC(box, dc);
}

// The event viewer shows an event of the program's source through the program's message table:
// its message 1 must give the reported line as it stands.
TEST(Win32Resources, TheEventLogsMessageIsTheLineItself)
{
    const wchar_t *line = L"Ablagekehrer: C:\\Daten\\\u00e4lter.txt: nicht gel\u00f6scht.";
    DWORD_PTR arguments[] = { reinterpret_cast<DWORD_PTR>(line) };
    wchar_t shown[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        GetModuleHandleW(nullptr), 1, 0, shown, 256, reinterpret_cast<va_list *>(arguments));
    EXPECT_EQ(std::wstring(shown, length), std::wstring(line) + L"\r\n");
}
