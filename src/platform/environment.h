#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The value of the environment variable `name`, or nothing when it is not set.
std::optional<std::string> environmentValue(const char *name);

// Whether something exists at `path` (a link counts when its target does). False for an empty
// path and for one holding a NUL byte.
bool pathExists(const std::string &path);

// Whether the session names a display the window could be shown on (DISPLAY or
// WAYLAND_DISPLAY). Under cron or a systemd timer there is none.
bool hasDisplay();

// The window system's ways to the session's displays, as the names of Qt's platform plugins, in
// the order to try them, each followed by ";" ("wayland;xcb;"); empty without a display.
std::string displayPlatforms();

// Where else than beside the program the settings file named `fileName` is looked for, in that
// order: the system's places for a user's and for every user's settings (Linux: the user's
// configuration folder, then /etc; Windows: %APPDATA%\Ablagekehrer, then
// %ProgramData%\Ablagekehrer). An installed program's folder is no place for them.
std::vector<std::string> sharedSettingsPlaces(const std::string &fileName);

} // namespace platform
