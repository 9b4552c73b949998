#pragma once

#include "core/job_state.h"

#include <optional>
#include <string>
#include <vector>

// What the form (window/tfmain.h) and a view of it say to each other. The form keeps the job and
// every rule of the window; a view draws the controls of one toolkit, tells the form what the user
// did, and shows what the form gives it. Texts are UTF-8, paths the platform's bytes.
namespace window {

// The two number fields with their arrows: `Edit1` with `Tage`, `Edit2` with `Dateien`.
enum class Count { Days, Files };
enum class Step { Up, Down };

// The four panels of the status bar, left to right.
enum class Panel { Notice, Files, Total, Progress };

// The side of the window that a toolkit draws. Nothing the form calls here calls the form back:
// a control set from the form fires no event of the view.
class View
{
public:
    virtual ~View() = default;

    // The entries of `dir` in their order, the one at `selected` chosen (-1: none).
    virtual void showDirectories(const std::vector<std::string> &entries, int selected) = 0;
    // The checked radio button.
    virtual void showMode(core::SelectionMode mode) = 0;
    // The text of a number field.
    virtual void showCount(Count count, const std::string &text) = 0;
    virtual void showSubdirectories(bool ticked) = 0;
    // The date beside the days, `Datum`.
    virtual void showLimitDate(const std::string &text) = 0;
    virtual void enableDelete(bool enabled) = 0;
    virtual void showStatus(Panel panel, const std::string &text) = 0;

    // Bracket every change of the listing table the view shows: from `listingChanging` on the
    // view reads nothing of the table, and at `listingChanged` it shows the table anew, also after
    // a change that ended with an error.
    virtual void listingChanging() = 0;
    virtual void listingChanged() = 0;

    // A listing or a deletion run under way: the wait cursor, the user's input to the window held
    // back (closing it included) until `busy(false)`.
    virtual void busy(bool on) = 0;
    // Progress of the run under way, in the progress panel; the view draws itself here, and lets
    // no input through.
    virtual void showProgress(const std::string &text) = 0;

    // The four dialogs, modal. The folder chooser under `instruction` returns the chosen folder's
    // path, or nothing for a cancel or a chooser that could not be opened.
    virtual std::optional<std::string> chooseFolder(const std::string &instruction) = 0;
    // The question with "Ja" and "Nein": true only for "Ja"; closing the box is a "Nein".
    virtual bool confirm(const std::string &question) = 0;
    // A box with one "OK": the notice, and the error box with its icon.
    virtual void notice(const std::string &text) = 0;
    virtual void error(const std::string &text) = 0;

    // Ends the window's event loop with `exitCode` once the events already queued have run (the
    // window's own first showing among them).
    virtual void quit(int exitCode) = 0;
};

} // namespace window
