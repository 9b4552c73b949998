#pragma once

#include <string>
#include <vector>

namespace startup {

// The text of "--help": every switch on a line of its own, where the settings file is looked for
// (`settingsSearchPath`, in order), and the exit codes.
std::string usageText(const std::vector<std::string> &settingsSearchPath);

// The text of "--version": "Ablagekehrer " and the version.
std::string versionText();

} // namespace startup
