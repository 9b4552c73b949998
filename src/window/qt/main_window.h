#pragma once

#include "window/tfmain.h"
#include "window/view.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableView;
class QToolButton;

namespace window {

class Dialogs;
class FolderBox;
class ListingModel;
class UpDown;

// The main window on Qt Widgets: a view of the form, which it owns. It lays the controls out,
// turns their signals into the form's events, shows what the form gives it, holds the user's
// input back while a run goes on, and asks `dialogs` whatever the form asks.
class MainWindow final : public QWidget, public View
{
    Q_OBJECT

public:
    MainWindow(Dialogs &dialogs, const platform::LocaleFormats &formats, QWidget *parent = nullptr);
    ~MainWindow() override;

    TFmain &form() { return m_form; }
    // The text of a panel of the status bar.
    QString statusText(Panel panel) const;

    // The controls, by the names they are known by (object names, tests).
    QWidget *Panel1; // the band of controls above the grid
    QLabel *Label1; // "Verzeichnis", the label of `dir`
    FolderBox *dir; // the folders to choose from
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
    QStatusBar *status; // four panels: a notice, the file count, the total, the progress

    // The view.
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

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layOut();
    void connectEvents();
    // Opens the window at its size on the screen it belongs to, centred, and wholly on it.
    void place();

    TFmain m_form;
    Dialogs &m_dialogs;
    ListingModel *m_model;
    std::array<QLabel *, 4> m_panels {};
    bool m_busy = false;
};

} // namespace window
