#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace window {

// The modal dialogs of the window, in one place so that tests can answer them.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // The folder chooser under `instruction`: the chosen folder's path, or nothing when the user
    // cancels or the chooser cannot be opened.
    virtual std::optional<QString> chooseFolder(QWidget *parent, const QString &instruction) = 0;
    // The confirmation box: true only when "&Ja" was pressed.
    virtual bool confirm(QWidget *parent, const QString &question) = 0;
    // The notice box with its one "OK".
    virtual void notice(QWidget *parent, const QString &text) = 0;
    // The error box; `message` is shown as given, its final stop already added.
    virtual void error(QWidget *parent, const QString &message) = 0;
};

// The dialogs on Qt: a folder-only file dialog and message boxes with the program's captions,
// icons and buttons. A parent that is not visible yet (start-up) is not used, so the boxes
// open centred on the screen.
class QtDialogs final : public Dialogs
{
public:
    std::optional<QString> chooseFolder(QWidget *parent, const QString &instruction) override;
    bool confirm(QWidget *parent, const QString &question) override;
    void notice(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &message) override;
};

} // namespace window
