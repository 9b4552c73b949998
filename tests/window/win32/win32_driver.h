#pragma once

#include "window/form_scripts.h"
#include "window/win32/dialogs.h"
#include "window/win32/main_window.h"

#include <deque>
#include <memory>

namespace win32_testing {

// Answers the window's dialogs as a script tells and notes each in the form the scripts read.
class FakeDialogs final : public window::win32::Dialogs
{
public:
    std::deque<std::optional<std::string>> folders;
    std::deque<bool> answers;
    std::vector<std::string> shown;

    std::optional<std::string> chooseFolder(HWND owner, const std::string &title) override;
    bool confirm(HWND owner, const std::string &question) override;
    void notice(HWND owner, const std::string &text) override;
    void error(HWND owner, const std::string &text) override;
};

// The Win32 window played as a user plays it: clicks, keys and typing reach it as the messages
// the system sends for them, and what it shows is read back from its controls.
class Driver final : public form_scripts::Driver
{
public:
    ~Driver() override;

    void start(const std::vector<std::string> &arguments, const std::string &settingsPath) override;
    void act(const form_scripts::Event &event) override;
    form_scripts::Observed observe() override;

    window::win32::MainWindow &window() { return *m_window; }
    // A key as the message loop takes it: through the window's keyboard handling first.
    void press(HWND target, WPARAM key);

private:
    HWND control(window::win32::Control id) const { return m_window->control(id); }

    FakeDialogs m_dialogs;
    std::unique_ptr<window::win32::MainWindow> m_window;
    int m_listings = 0;
};

// Takes away a quit request the window posted to this thread, which has no loop of its own.
void dropQuitRequests();

} // namespace win32_testing
