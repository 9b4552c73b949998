#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace startup {

// The settings file's path for the program at `programPath`: the last extension of its last
// component replaced by ".ini", or ".ini" appended when it has none.
std::string settingsFilePathFor(const std::string &programPath);

// What the settings file supplies. A missing file, section or key gives the defaults.
struct Settings
{
    // Section "Pfade", keys "1", "2", …: each ending in "/". The list ends at the first key that is
    // missing, empty or exactly "*".
    std::vector<std::string> directories;
    // Section "Optionen", key "Tage": 35 when missing or not an integer; 0 and negative values
    // are used as they are.
    std::int32_t dayCount = 35;
    // Section "Optionen", key "Protokoll": empty means no log.
    std::string logFileName;
};

Settings readSettings(const std::string &settingsPath);

} // namespace startup
