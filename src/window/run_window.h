#pragma once

#include "platform/locale_formats.h"
#include "startup/command_line.h"

#include <optional>
#include <string>

namespace window {

// The program with its window, on the toolkit of the system: start-up in the window, the
// unattended run when it was asked for (the window then shows once and the program ends), else
// the window until the user closes it. Returns the exit code (TFmain::run), or nothing when no
// window can be shown on the session's display after all: the caller then goes on without one.
std::optional<int> runWithWindow(int &argc, char **argv, const startup::CommandLine &commandLine,
    const std::string &settingsPath, const platform::LocaleFormats &formats);

} // namespace window
