#pragma once

#include "platform/locale_formats.h"

#include <string>
#include <vector>

namespace window {

class Dialogs;

// The program with its window, inside a running QApplication: start-up in the window, the
// unattended run when it was asked for (the window then shows once and the program ends), else
// the window until the user closes it. Returns the exit code: 0; 1 when an unattended run was
// asked for and did not complete, so that a scheduler can tell; 2 when it was refused for an
// argument that matches no switch.
int runWindow(Dialogs &dialogs, const std::vector<std::string> &arguments,
    const std::string &settingsPath, const platform::LocaleFormats &formats);

} // namespace window
