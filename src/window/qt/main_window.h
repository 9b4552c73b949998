#pragma once

#include "core/job_state.h"
#include "startup/form_create.h"

#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableView;
class QToolButton;

namespace window {

class Dialogs;
class ListingModel;
class UpDown;

// The main window. It shows the JobState and the listing in its controls and turns each user
// action into a refresh or, after a confirmation, a deletion run; every listing and every
// deletion is the core's work. The controls and handlers bear the names they are known by, so each
// handler reads as the control and the event it serves.
class TFmain final : public QWidget
{
    Q_OBJECT

public:
    TFmain(Dialogs &dialogs, const platform::LocaleFormats &formats, QWidget *parent = nullptr);
    ~TFmain() override;

    // Start-up: fills the JobState from the command line and the settings file and shows it in the
    // controls, which then fire their events while nothing is listed yet. An error ends start-up,
    // is shown in the error box, and leaves the controls with what start-up had set (the values
    // the window was built with when a switch is no number); nothing is returned then. The notice
    // for count mode with subdirectories is shown here, and the unattended run is then not asked
    // for.
    std::optional<startup::StartupResult> FormCreate(
        const startup::CommandLine &commandLine, const std::string &settingsPath);

    // The unattended run, before the window is first shown: lists with the counts exactly as
    // start-up set them and deletes every listed file. Returns false after an error, or when
    // listed files stayed; either is shown in the error box, and the window is then the user's.
    bool runUnattended();

    const core::JobState &state() const { return m_state; }
    // The text of a panel of the status bar, 0 to 3.
    QString statusText(int panel) const;

    // The handlers, called by the events named beside them. They may throw core::AppError; the
    // events reach them through a guard that shows the error box.
    void FormShow(); // the window being shown
    void dirChange(); // the refresh: a choice in `dir`, `SpeedButton2`, a radio button checked
    void SpeedButton1Click();
    void loeschenClick();
    void DateienChanging(); // before a step of `Tage` or `Dateien`
    void TageClick(); // after a step of `Tage` that changed its value
    void DateienClick(); // after a step of `Dateien` that changed its value

    // The controls, by the names they are known by (object names, tests, handlers).
    QWidget *Panel1; // the band of controls above the grid
    QLabel *Label1; // "Verzeichnis", the label of `dir`
    QComboBox *dir; // the folders to choose from
    QToolButton *SpeedButton1; // adds a folder for this run (the yellow folder)
    QCheckBox *subdir; // "Unterverzeichnis": age mode descends into subfolders
    QPushButton *loeschen; // "Löschen": deletes every listed file after a question
    QRadioButton *deltage; // "Anzahl Tage": age mode
    QLineEdit *Edit1; // the number of days to keep, typed or stepped
    UpDown *Tage; // the arrows of `Edit1`
    QLabel *Datum; // the first day whose files stay
    QRadioButton *delDateien; // "Anzahl Dateien": count mode
    QLineEdit *Edit2; // the number of newest files to keep
    UpDown *Dateien; // the arrows of `Edit2`
    QToolButton *SpeedButton2; // lists again with the numbers shown (the green arrows)
    QTableView *liste; // the grid of listed files
    QStatusBar *status; // four panels: a notice, the file count, the total, nothing

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Busy;

    void layOut();
    void connectEvents();
    void takeControls();
    void showResults();
    void showStartupState();
    // Shows the progress of the listing or deletion run under way in the status bar and lets the
    // window draw itself; the user's input waits until the run has ended.
    void showProgress(std::size_t done, std::size_t total);
    void addDirectoryEntry(const std::string &path);
    // The error box: the message with its final stop, and beneath it the path the error concerns
    // and the notes, each on a line of its own.
    void showError(const std::string &message, const std::string &path = {},
        const std::vector<std::string> &notes = {});
    // Runs a handler as an event calls it: an error it raises ends it and is shown in the error
    // box, and the window goes on with the state the handler left. False after an error.
    template <typename Handler> bool guarded(Handler &&handler);

    Dialogs &m_dialogs;
    core::JobState m_state;
    ListingModel *m_model;
    std::array<QLabel *, 4> m_panels {};
    // From start-up to the first showing: the events that filling the controls fires only clear
    // the listing.
    bool m_loading = false;
    // While a listing or a deletion run goes on: the window draws itself but takes no input, and
    // no handler runs inside another.
    bool m_busy = false;
};

} // namespace window
