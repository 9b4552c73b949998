#pragma once

#include <optional>
#include <string>

namespace platform {

// The value of the environment variable `name`, or nothing when it is not set.
std::optional<std::string> environmentValue(const char *name);

// Whether something exists at `path` (a link counts when its target does). False for an empty
// path and for one holding a NUL byte.
bool pathExists(const std::string &path);

// Whether the session names a display the window could be shown on (DISPLAY or
// WAYLAND_DISPLAY). Under cron or a systemd timer there is none.
bool hasDisplay();

} // namespace platform
