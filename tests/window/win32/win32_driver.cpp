#include "window/win32/win32_driver.h"

#include "platform/locale_formats.h"
#include "platform/win32/wide_text.h"
#include "startup/command_line.h"

#include <algorithm>
#include <commctrl.h>
#include <gtest/gtest.h>

namespace win32_testing {

namespace {

using platform::win32::utf8FromWide;
using platform::win32::wideFromUtf8;
using window::win32::Control;

std::string textOf(HWND window)
{
    wchar_t text[1024] {};
    GetWindowTextW(window, text, 1024);
    return utf8FromWide(text);
}

Control named(std::string_view name)
{
    static const std::vector<std::pair<std::string_view, Control>> names
        = { { "SpeedButton1", Control::SpeedButton1 }, { "SpeedButton2", Control::SpeedButton2 },
              { "loeschen", Control::loeschen }, { "deltage", Control::deltage },
              { "delDateien", Control::delDateien }, { "subdir", Control::subdir },
              { "Tage", Control::Tage }, { "Dateien", Control::Dateien },
              { "Edit1", Control::Edit1 }, { "Edit2", Control::Edit2 } };
    for (const auto &[text, id] : names)
        if (text == name)
            return id;
    ADD_FAILURE() << "no control " << name;
    return Control::liste;
}

// Counts the listings the grid is given: each new listing sets the count of its rows.
LRESULT CALLBACK countListings(
    HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR listings)
{
    if (message == LVM_SETITEMCOUNT)
        ++*reinterpret_cast<int *>(listings);
    return DefSubclassProc(list, message, wParam, lParam);
}

} // namespace

std::optional<std::string> FakeDialogs::chooseFolder(HWND, const std::string &title)
{
    shown.push_back(form_scripts::dialogLine("folder", title));
    if (folders.empty())
        return std::nullopt;
    std::optional<std::string> folder = folders.front();
    folders.pop_front();
    return folder;
}

bool FakeDialogs::confirm(HWND, const std::string &question)
{
    shown.push_back(form_scripts::dialogLine("confirm", question));
    const bool answer = !answers.empty() && answers.front();
    if (!answers.empty())
        answers.pop_front();
    return answer;
}

void FakeDialogs::notice(HWND, const std::string &text)
{
    shown.push_back(form_scripts::dialogLine("notice", text));
}

void FakeDialogs::error(HWND, const std::string &text)
{
    shown.push_back(form_scripts::dialogLine("error", text));
}

void dropQuitRequests()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) { }
}

Driver::~Driver()
{
    m_window.reset();
    dropQuitRequests();
}

void Driver::start(const std::vector<std::string> &arguments, const std::string &settingsPath)
{
    m_window.reset();
    dropQuitRequests();
    m_dialogs = FakeDialogs();
    m_listings = 0;
    m_window = std::make_unique<window::win32::MainWindow>(m_dialogs, platform::germanFormats());
    SetWindowSubclass(
        control(Control::liste), countListings, 1, reinterpret_cast<DWORD_PTR>(&m_listings));
    m_window->form().FormCreate(startup::parseCommandLine(arguments), settingsPath);
}

void Driver::press(HWND target, WPARAM key)
{
    MSG message { target, WM_KEYDOWN, key, 1, static_cast<DWORD>(GetMessageTime()), {} };
    if (!m_window->preTranslate(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Driver::act(const form_scripts::Event &event)
{
    const auto &[verb, name, value, rest, line] = event;
    const HWND main = m_window->handle();
    if (verb == "show") {
        m_window->show(SW_SHOWNOACTIVATE);
        dropQuitRequests();
    } else if (verb == "choose") {
        const HWND box = control(Control::dir);
        SendMessageW(box, CB_SETCURSEL, std::stoul(name), 0);
        SendMessageW(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
            reinterpret_cast<LPARAM>(box));
    } else if (verb == "click") {
        SendMessageW(control(named(name)), BM_CLICK, 0, 0);
    } else if (verb == "step") {
        const HWND arrows = control(named(name));
        NMUPDOWN step {};
        step.hdr = { arrows, static_cast<UINT_PTR>(GetDlgCtrlID(arrows)), UDN_DELTAPOS };
        step.iPos = static_cast<int>(SendMessageW(arrows, UDM_GETPOS32, 0, 0));
        step.iDelta = value == "up" ? 1 : -1;
        // The arrows never move by themselves: the value is the form's.
        EXPECT_NE(
            SendMessageW(main, WM_NOTIFY, step.hdr.idFrom, reinterpret_cast<LPARAM>(&step)), 0);
    } else if (verb == "key") {
        if (name == "F5")
            press(GetFocus() ? GetFocus() : main, VK_F5);
        else
            press(control(named(name)),
                value == "up"         ? VK_UP
                    : value == "down" ? VK_DOWN
                                      : VK_RETURN);
    } else if (verb == "type") {
        // The edit tells its window of the change, as it does for typing.
        SendMessageW(control(named(name)), WM_SETTEXT, 0,
            reinterpret_cast<LPARAM>(wideFromUtf8(value).c_str()));
    } else if (verb == "answer") {
        m_dialogs.answers.push_back(name == "yes");
    } else if (verb == "folder") {
        if (name == "cancel")
            m_dialogs.folders.push_back(std::nullopt);
        else if (name == "-")
            m_dialogs.folders.push_back(std::string());
        else
            m_dialogs.folders.push_back(rest);
    } else {
        ADD_FAILURE() << "no event " << line;
    }
    dropQuitRequests();
}

form_scripts::Observed Driver::observe()
{
    form_scripts::Observed seen;
    const HWND list = control(Control::liste);
    const int rows = ListView_GetItemCount(list);
    for (int row = 0; row < rows; ++row) {
        wchar_t cell[1024] {};
        ListView_GetItemText(list, row, 0, cell, 1024);
        seen.listed.push_back(utf8FromWide(cell));
    }
    const HWND box = control(Control::dir);
    const auto entries = static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0));
    for (int entry = 0; entry < entries; ++entry) {
        std::wstring text(
            static_cast<std::size_t>(SendMessageW(box, CB_GETLBTEXTLEN, entry, 0)), L'\0');
        SendMessageW(box, CB_GETLBTEXT, entry, reinterpret_cast<LPARAM>(text.data()));
        seen.entries.push_back(utf8FromWide(text));
    }
    seen.selected = static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0));
    seen.days = textOf(control(Control::Edit1));
    seen.files = textOf(control(Control::Edit2));
    seen.date = textOf(control(Control::Datum));
    seen.ageMode = SendMessageW(control(Control::deltage), BM_GETCHECK, 0, 0) == BST_CHECKED;
    seen.subdirectories = SendMessageW(control(Control::subdir), BM_GETCHECK, 0, 0) == BST_CHECKED;
    seen.deleteEnabled = IsWindowEnabled(control(Control::loeschen)) != FALSE;
    for (std::size_t panel = 0; panel < seen.status.size(); ++panel) {
        wchar_t text[1024] {};
        SendMessageW(control(Control::status), SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
        // A leading tab only centres the text.
        std::string shown = utf8FromWide(text);
        shown.erase(0, shown.find_first_not_of('\t'));
        seen.status[panel] = shown;
    }
    seen.dialogs = m_dialogs.shown;
    seen.listings = m_listings;
    return seen;
}

} // namespace win32_testing
