#include "window/qt/application.h"

#include "platform/environment.h"
#include "window/qt/dialogs.h"
#include "window/qt/images.h"
#include "window/qt/main_window.h"
#include "window/run_window.h"
#include "window/texts.h"

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
    MainWindow window(dialogs, formats);
    return window.form().run(commandLine, settingsPath, [&window] {
        window.show();
        return QApplication::exec();
    });
}

// The window on the session's display. When that display cannot be opened (a DISPLAY left over in
// a cron job's environment, a display server that is gone), Qt would abort; its platforms are then
// asked in turn, ending with one that needs no display, and the window is not used at all: the
// program goes on without it, as without a display.
std::optional<int> runWithWindow(int &argc, char **argv, const startup::CommandLine &commandLine,
    const std::string &settingsPath, const platform::LocaleFormats &formats)
{
    constexpr char kNoDisplay[] = "offscreen";
    const bool platformChosen = !platform::environmentValue("QT_QPA_PLATFORM").value_or("").empty();
    if (!platformChosen) {
        const std::string platforms = platform::displayPlatforms() + kNoDisplay;
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platforms));
    }
    // Qt's complaints about a display it cannot open would reach cron's mail; whether there is a
    // window is decided here, and a run without one says what it has to say itself.
    const QtMessageHandler silent = [](QtMsgType, const QMessageLogContext &, const QString &) {};
    const QtMessageHandler previous = qInstallMessageHandler(platformChosen ? nullptr : silent);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    if (!platformChosen) {
        qunsetenv("QT_QPA_PLATFORM");
        if (QGuiApplication::platformName() == QLatin1String(kNoDisplay))
            return std::nullopt;
    }
    // The name, not the display name: Qt would append a display name to every caption.
    QApplication::setApplicationName(QString::fromUtf8(texts::kApplicationTitle));
    setUpApplication(application);
    QtDialogs dialogs;
    return runWindow(dialogs, commandLine, settingsPath, formats);
}

} // namespace window
