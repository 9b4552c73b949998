#include "platform/environment.h"
#include "platform/locale_formats.h"
#include "platform/program_arguments.h"
#include "platform/program_path.h"
#include "platform/standard_output.h"
#include "platform/system_log.h"
#include "startup/command_line.h"
#include "startup/headless.h"
#include "startup/settings_file.h"
#include "startup/usage.h"

#ifdef ABLAGEKEHRER_GUI
#include "window/run_window.h"
#endif

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    // Before anything is printed: on Windows, the console of the companion that started us.
    platform::joinStartingConsole();
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
            ? startup::usageText(startup::settingsSearchPath(program),
                commandLine.switches.settingsFile.empty() ? startup::findSettingsFile(program)
                                                          : commandLine.switches.settingsFile)
            : startup::versionText();
        return platform::writeOutput(stdout, text) ? 0 : 1;
    }
    const platform::LocaleFormats formats = platform::loadUserLocaleFormats();
    const std::string settingsPath = startup::findSettingsFile(program);
#ifdef ABLAGEKEHRER_GUI
    // A run over every folder has no window: it is made for the scheduler.
    if (platform::hasDisplay() && !requests.listOnly && !requests.allFolders) {
        if (const auto exitCode
            = window::runWithWindow(argc, argv, commandLine, settingsPath, formats))
            return *exitCode;
    }
#endif
    return startup::runHeadless(
        commandLine, settingsPath, formats, stdout, stderr, platform::reportEvent);
}
