#pragma once

#include "platform/locale_formats.h"
#include "startup/command_line.h"

#include <string>
#include <vector>

class QApplication;

namespace window {

class Dialogs;

// Readies a new application for the window: Qt's own dialogs and buttons speak German, as the
// rest of the program does (when Debian's Qt translations are installed; else they stay
// English), and every window shows the program's icon.
void setUpApplication(QApplication &application);

// The program with its window, inside a running QApplication: start-up in the window, the
// unattended run when it was asked for (the window then shows once and the program ends), else
// the window until the user closes it. Returns the exit code: 0; 1 when an unattended run was
// asked for and did not complete, so that a scheduler can tell; 2 when it was refused for an
// argument that matches no switch.
int runWindow(Dialogs &dialogs, const startup::CommandLine &commandLine,
    const std::string &settingsPath, const platform::LocaleFormats &formats);

} // namespace window
