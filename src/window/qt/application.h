#pragma once

#include "platform/locale_formats.h"
#include "startup/command_line.h"

#include <string>

class QApplication;

namespace window {

class Dialogs;

// Readies a new application for the window: Qt's own dialogs and buttons speak German, as the
// rest of the program does (when Debian's Qt translations are installed; else they stay
// English), and every window shows the program's icon.
void setUpApplication(QApplication &application);

// The program with its window inside a running QApplication, its dialogs answered by `dialogs`;
// the exit code as TFmain::run gives it.
int runWindow(Dialogs &dialogs, const startup::CommandLine &commandLine,
    const std::string &settingsPath, const platform::LocaleFormats &formats);

} // namespace window
