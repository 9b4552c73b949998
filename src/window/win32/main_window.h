#pragma once

#include "window/tfmain.h"
#include "window/view.h"
#include "window/win32/listing_view.h"

#include <memory>
#include <string>
#include <vector>
#include <windows.h>

namespace window::win32 {

class Dialogs;

// The controls of the window, by their child-window identifiers.
enum class Control : int {
    Label1 = 100,
    dir,
    SpeedButton1,
    subdir,
    loeschen,
    deltage,
    Edit1,
    Tage,
    Datum,
    delDateien,
    Edit2,
    Dateien,
    SpeedButton2,
    liste,
    status,
};

// The path `path` as it fits `width` pixels in `dc`'s font: whole when it fits, else with its
// middle left out ("C:\Ablage\…\spool\"), so that its beginning and its last folder still show.
std::wstring elidedPath(HDC dc, const std::wstring &path, int width);

// The main window on Win32: the native view of the form, which it owns. It draws the controls,
// tells the form what the user does, and shows what the form gives it; a control set by the form
// reports nothing back. Sizes are those of the window at 96 dots per inch, scaled with the DPI of
// the monitor the window is on.
class MainWindow final : public View
{
public:
    // Creates the window, hidden; throws std::runtime_error when it cannot be created.
    MainWindow(Dialogs &dialogs, const platform::LocaleFormats &formats);
    ~MainWindow() override;
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    TFmain &form() { return m_form; }
    HWND handle() const { return m_window; }
    HWND control(Control id) const;
    HWND tooltips() const { return m_tooltips; }

    // The program's own showing: the window at its size, centred on the work area of its monitor
    // and within it, shown with `command` (a ShowWindow command); then the form's first showing.
    void show(int command);
    // What the message loop does with `message` before it dispatches it: F5 lists again, and Tab,
    // the arrows between the radio buttons and the mnemonics move through the controls. True
    // when the message was handled.
    bool preTranslate(MSG &message);

    void showDirectories(const std::vector<std::string> &entries, int selected) override;
    void showMode(core::SelectionMode mode) override;
    void showCount(Count count, const std::string &text) override;
    void showSubdirectories(bool ticked) override;
    void showLimitDate(const std::string &text) override;
    void enableDelete(bool enabled) override;
    void showStatus(Panel panel, const std::string &text) override;
    void listingChanging() override;
    void listingChanged() override;
    void busy(bool on) override;
    void showProgress(const std::string &text) override;
    std::optional<std::string> chooseFolder(const std::string &instruction) override;
    bool confirm(const std::string &question) override;
    void notice(const std::string &text) override;
    void error(const std::string &text) override;
    void quit(int exitCode) override;

private:
    static LRESULT CALLBACK windowProcedure(
        HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK numberFieldProcedure(
        HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    static LRESULT CALLBACK directoryBoxProcedure(
        HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT command(int id, int code);
    LRESULT notify(const NMHDR &header);

    void createControls();
    HWND createControl(Control id, const wchar_t *className, const std::wstring &text, DWORD style);
    void addTooltip(Control id, const std::string &text);
    void scaleTo(int dpi);
    void layOut();
    void drawDirectory(const DRAWITEMSTRUCT &item);
    void showDirectoryTip();
    void directoryPicked();
    int scaled(int pixels) const { return MulDiv(pixels, m_dpi, 96); }

    Dialogs &m_dialogs;
    // The form, which shows its values in the controls once they are built.
    TFmain m_form;
    HWND m_window = nullptr;
    HWND m_tooltips = nullptr;
    std::unique_ptr<ListingView> m_listing;
    int m_dpi = 96;
    HFONT m_font = nullptr;
    std::vector<HICON> m_icons;
    std::vector<std::wstring> m_directories;
    int m_selected = -1;
    std::wstring m_directoryTip;
    core::SelectionMode m_mode = core::SelectionMode::Age;
    // A text the form sets in a number field: the field's change is not the user's typing.
    bool m_settingText = false;
    // The entry taken as the folder box's list closed, which the change that follows repeats.
    bool m_pickedOnClose = false;
    bool m_busy = false;
    // The window goes with this object: its end is not the user's closing it.
    bool m_destroying = false;
    HWND m_focus = nullptr;
};

} // namespace window::win32
