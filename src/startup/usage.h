#pragma once

#include <string>
#include <vector>

namespace startup {

// The text of "--help": every switch on a line of its own, the rules a folder may have, where the
// settings file is looked for (`settingsSearchPath`, in order) and which one is in use
// (`settingsInUse`, empty when none is), and the exit codes.
std::string usageText(
    const std::vector<std::string> &settingsSearchPath, const std::string &settingsInUse);

// The text of "--version": "Ablagekehrer " and the version.
std::string versionText();

} // namespace startup
