#include "platform/environment.h"
#include "platform/locale_formats.h"
#include "platform/program_arguments.h"
#include "platform/program_path.h"
#include "startup/command_line.h"
#include "startup/headless.h"
#include "startup/settings_file.h"
#include "startup/usage.h"

#ifdef ABLAGEKEHRER_GUI
#include "window/application.h"
#include "window/dialogs.h"
#include "window/texts.h"

#include <QApplication>
#include <optional>
#endif

#include <cstdio>
#include <string>
#include <vector>

#ifdef ABLAGEKEHRER_GUI
namespace {

// The window on the session's display. When that display cannot be opened (a DISPLAY left over in
// a cron job's environment, a display server that is gone), Qt would abort; its platforms are then
// asked in turn, ending with one that needs no display, and the window is not used at all: the
// program goes on without it, as without a display. Returns nothing in that case.
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
    QApplication::setApplicationName(QString::fromUtf8(window::texts::kApplicationTitle));
    window::setUpApplication(application);
    window::QtDialogs dialogs;
    return window::runWindow(dialogs, commandLine, settingsPath, formats);
}

} // namespace
#endif

int main(int argc, char **argv)
{
    // Read once; everything below is handed what it asks.
    // Linux hands over the arguments split by the shell; Windows one text, split by the
    // program's own rule.
    const platform::ProgramArguments given = platform::programArguments(argc, argv);
    const startup::CommandLine commandLine = startup::parseCommandLine(
        given.unsplit ? startup::splitCommandLine(*given.unsplit) : given.split);
    const startup::Requests &requests = commandLine.requests;
    const std::string program = platform::ownExecutablePath();
    if (requests.help || requests.version) {
        const std::string text = requests.help
            ? startup::usageText(startup::settingsSearchPath(program))
            : startup::versionText();
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const platform::LocaleFormats formats = platform::loadUserLocaleFormats();
    const std::string settingsPath = startup::findSettingsFile(program);
#ifdef ABLAGEKEHRER_GUI
    if (platform::hasDisplay() && !requests.listOnly) {
        if (const auto exitCode = runWithWindow(argc, argv, commandLine, settingsPath, formats))
            return *exitCode;
    }
#endif
    return startup::runHeadless(commandLine, settingsPath, formats, stdout, stderr);
}
