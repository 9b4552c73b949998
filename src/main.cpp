#include "platform/locale_formats.h"
#include "platform/program_path.h"
#include "startup/command_line.h"
#include "startup/headless.h"
#include "startup/settings_file.h"

#ifdef ABLAGEKEHRER_GUI
#include "window/application.h"
#include "window/dialogs.h"
#include "window/texts.h"

#include <QApplication>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef ABLAGEKEHRER_GUI
namespace {

// Under cron or a systemd timer there is no display, and the program must not need one.
bool hasDisplay()
{
    for (const char *variable : { "DISPLAY", "WAYLAND_DISPLAY" }) {
        const char *value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace
#endif

int main(int argc, char **argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const platform::LocaleFormats formats = platform::loadUserLocaleFormats();
    const std::string program = platform::ownExecutablePath();
    const std::string settingsPath
        = program.empty() ? std::string() : startup::settingsFilePathFor(program);
#ifdef ABLAGEKEHRER_GUI
    if (hasDisplay() && !startup::scanRequests(arguments).listOnly) {
        QApplication application(argc, argv);
        // The name, not the display name: Qt would append a display name to every caption.
        QApplication::setApplicationName(QString::fromUtf8(window::texts::kApplicationTitle));
        window::setUpApplication(application);
        window::QtDialogs dialogs;
        return window::runWindow(dialogs, arguments, settingsPath, formats);
    }
#endif
    return startup::runHeadless(arguments, settingsPath, formats, stdout, stderr);
}
