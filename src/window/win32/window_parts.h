#pragma once

#include "platform/win32/wide_text.h"
#include "window/win32/main_window.h"

#include <string>
#include <windows.h>

// What the files of the Win32 main window share: the window's measures at 96 dots per inch and
// the small helpers every part of it uses.
namespace window::win32::parts {

using platform::win32::utf8FromWide;
using platform::win32::wideFromUtf8;

constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr int kClientWidth = 819;
constexpr int kClientHeight = 450;
constexpr int kPanelHeight = 86;
// The window can be made no smaller than the controls above the grid need.
constexpr int kMinimumWidth = 490;
constexpr int kMinimumHeight = 200;

inline std::wstring textOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

inline int controlId(Control id)
{
    return static_cast<int>(id);
}

} // namespace window::win32::parts
