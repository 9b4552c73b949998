#include "window/application.h"

#include "startup/command_line.h"
#include "window/images.h"
#include "window/tfmain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace window {

void setUpApplication(QApplication &application)
{
    // The program speaks German whatever the user's locale, so its standard dialogs do too.
    auto *translator = new QTranslator(&application);
    if (translator->load(
            QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    QApplication::setWindowIcon(images::application());
    // Lets a Wayland desktop find the desktop entry, and with it the icon, of the window.
    QGuiApplication::setDesktopFileName(QStringLiteral(ABLAGEKEHRER_APP_ID));
}

int runWindow(Dialogs &dialogs, const startup::CommandLine &commandLine,
    const std::string &settingsPath, const platform::LocaleFormats &formats)
{
    TFmain window(dialogs, formats);
    const std::optional<startup::StartupResult> startup
        = window.FormCreate(commandLine, settingsPath);
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
    const startup::Requests &requests = commandLine.requests;
    // An unattended run refused for an argument that matches no switch did nothing at all.
    if (requests.unattended && requests.unknownArgument)
        return 2;
    const bool unattendedFailed = requests.unattended && !completed;
    return loop != 0 || unattendedFailed ? 1 : 0;
}

} // namespace window
