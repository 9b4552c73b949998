#include "window/application.h"

#include "startup/command_line.h"
#include "window/tfmain.h"

#include <QApplication>

namespace window {

int runWindow(Dialogs &dialogs, const std::vector<std::string> &arguments,
    const std::string &settingsPath, const platform::LocaleFormats &formats)
{
    TFmain window(dialogs, formats);
    const std::optional<startup::StartupResult> startup
        = window.FormCreate(arguments, settingsPath);
    bool completed = false;
    if (startup && startup->unattendedRequested) {
        completed = window.runUnattended();
        // The request to end waits in the queue: the window is still shown once, and its show
        // handler lists what the run left.
        if (completed)
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { QCoreApplication::quit(); },
                Qt::QueuedConnection);
    }
    window.show();
    const int loop = QApplication::exec();
    const startup::Requests requests = startup::scanRequests(arguments);
    // An unattended run refused for an argument that matches no switch did nothing at all.
    if (requests.unattended && requests.unknownArgument)
        return 2;
    const bool unattendedFailed = requests.unattended && !completed;
    return loop != 0 || unattendedFailed ? 1 : 0;
}

} // namespace window
