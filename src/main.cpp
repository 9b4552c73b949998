#include "platform/locale_formats.h"
#include "platform/program_path.h"
#include "startup/headless.h"
#include "startup/settings_file.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const platform::LocaleFormats formats = platform::loadUserLocaleFormats();
    const std::string program = platform::ownExecutablePath();
    const std::string settingsPath
        = program.empty() ? std::string() : startup::settingsFilePathFor(program);
    return startup::runHeadless(arguments, settingsPath, formats, stdout, stderr);
}
