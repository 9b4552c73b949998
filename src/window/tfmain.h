#pragma once

#include "core/job_state.h"
#include "startup/command_line.h"
#include "startup/form_create.h"
#include "window/count_field.h"
#include "window/view.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace window {

// The main window without its toolkit: it owns the JobState and the values of the controls, turns
// each event a view reports into a refresh or, after the question, a deletion run, and tells the
// view what to show. Every listing and every deletion is the core's work; every rule of the window
// (when to list again, the steps of the number fields, the question, the error box) is here once,
// for the Qt view and the Win32 view alike. The handlers bear the names they are known by.
class TFmain
{
public:
    TFmain(View &view, const platform::LocaleFormats &formats);

    // Shows the values the window is built with in a view that has just been built.
    void showControls();

    // The program with its window: start-up, the unattended run when it was asked for (the window
    // then shows once and `showAndLoop`'s loop ends), else the window until the user closes it.
    // `showAndLoop` shows the view and runs its event loop, returning the loop's code. Returns the
    // exit code: 0; 1 when an unattended run was asked for and did not complete, or the loop ended
    // with an error (a request to end during a deletion run); 2 when the unattended run was
    // refused for an argument that matches no switch.
    int run(const startup::CommandLine &commandLine, const std::string &settingsPath,
        const std::function<int()> &showAndLoop);

    // Start-up: fills the JobState from the command line and the settings file and shows it in the
    // controls; nothing is listed yet. An error ends start-up, is shown in the error box, and
    // leaves the controls with what start-up had set; nothing is returned then. The notice for
    // count mode with subdirectories is shown here, and the unattended run is then not asked for.
    std::optional<startup::StartupResult> FormCreate(
        const startup::CommandLine &commandLine, const std::string &settingsPath);
    // The unattended run, before the window is first shown: lists with the counts exactly as
    // start-up set them and deletes every listed file. Returns false after an error, or when
    // listed files stayed, either shown in the error box; the window is then the user's. When it
    // completed, the window's first showing ends the event loop.
    bool runUnattended();

    // What the view tells: the user's actions. While a run goes on none of them does anything.
    void shown(); // the program's own showing of the window, not a restore by the user
    void directoryChosen(int entry); // an entry of `dir` chosen by the user
    void refreshClicked(); // `SpeedButton2`, or F5
    void modeClicked(core::SelectionMode mode); // a radio button clicked
    void subdirectoriesTicked(bool ticked);
    void addFolderClicked(); // `SpeedButton1`
    void deleteClicked(); // `loeschen`
    void stepped(Count count, Step step); // an arrow clicked or held, Up or Down in the field
    void typed(Count count, std::string text); // the field's text after the user's edit
    void enterPressed(Count count); // lists with the number in that field, in its mode

    // The handlers. They may throw core::AppError; the events reach them through a guard that
    // shows the error box.
    void FormShow();
    void dirChange(); // the refresh
    void SpeedButton1Click();
    void loeschenClick();
    void DateienChanging(); // before a step of `Tage` or `Dateien`
    void TageClick(); // after a step of `Tage` that changed its value
    void DateienClick(); // after a step of `Dateien` that changed its value

    const core::JobState &state() const { return m_state; }
    // The path of the selected entry of `dir`; empty when none is selected.
    std::string selectedDirectory() const;
    bool isBusy() const { return m_busy > 0; }

private:
    class Busy;
    class ListingChange;

    void check(core::SelectionMode mode);
    void takeControls();
    // Takes the chosen folder's rule: its mode, count and subfolders into the controls, and what
    // narrows its selection and its log into the state.
    void takeRule();
    void showResults();
    std::string question() const;
    void showLimitDate();
    void showStartupState();
    void showProgress(std::size_t done, std::size_t total);
    // The error box: the message with its final stop, and beneath it the path the error concerns
    // and the notes, each on a line of its own.
    void showError(const std::string &message, const std::string &path = {},
        const std::vector<std::string> &notes = {});
    // Runs a handler as an event calls it: an error it raises ends it and is shown in the error
    // box, and the window goes on with the state the handler left. False after an error, and
    // without running it while a run goes on.
    bool guarded(const std::function<void()> &handler);
    CountField &field(Count count) { return count == Count::Days ? m_days : m_files; }

    View &m_view;
    core::JobState m_state;
    // The controls' values: what the user sees and changes, taken into the JobState at a refresh.
    int m_selected = 0;
    core::SelectionMode m_mode = core::SelectionMode::Age;
    CountField m_days;
    CountField m_files;
    bool m_subdirectories = false;
    // From start-up to the first showing: nothing is listed.
    bool m_loading = false;
    // The unattended run completed: the first showing ends the event loop.
    bool m_endAfterShowing = false;
    // Depth of the runs under way.
    int m_busy = 0;
};

} // namespace window
