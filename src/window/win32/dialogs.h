#pragma once

#include <optional>
#include <string>
#include <windows.h>

namespace window::win32 {

// The modal dialogs of the window, in one place so that tests can answer them. Texts are UTF-8;
// `owner` is the window the dialog belongs to, or null while the window is not shown yet.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // The folder chooser under `title`: the chosen folder's path, or nothing when the user
    // cancels or the chooser cannot be opened.
    virtual std::optional<std::string> chooseFolder(HWND owner, const std::string &title) = 0;
    // The question with "Ja" and "Nein": true only for "Ja".
    virtual bool confirm(HWND owner, const std::string &question) = 0;
    // A box with one "OK": the notice, and the error box with the stop icon.
    virtual void notice(HWND owner, const std::string &text) = 0;
    virtual void error(HWND owner, const std::string &text) = 0;
};

// The system's dialogs: the shell's folder dialog and message boxes, whose buttons speak the
// system's language. COM must be initialised on the calling thread for the folder dialog.
class SystemDialogs final : public Dialogs
{
public:
    std::optional<std::string> chooseFolder(HWND owner, const std::string &title) override;
    bool confirm(HWND owner, const std::string &question) override;
    void notice(HWND owner, const std::string &text) override;
    void error(HWND owner, const std::string &text) override;
};

} // namespace window::win32
