#pragma once

#include "core/folder_rule.h"

#include <cstdint>
#include <string>
#include <vector>

namespace startup {

// The settings file's path for the program at `programPath`: the last extension of its last
// component replaced by ".ini", or ".ini" appended when it has none.
std::string settingsFilePathFor(const std::string &programPath);

// Where the settings file is looked for, in this order: beside the program (see
// settingsFilePathFor), then the user's `$XDG_CONFIG_HOME/ablagekehrer/ablagekehrer.ini`
// (`~/.config/…` when that is not set), then the system's `/etc/ablagekehrer.ini`; on Windows
// `%APPDATA%\Ablagekehrer\ablagekehrer.ini`, then `%ProgramData%\Ablagekehrer\ablagekehrer.ini`.
// An installed program keeps no settings beside itself in /usr/bin or in Program Files.
std::vector<std::string> settingsSearchPath(const std::string &programPath);

// The first of the places searched that holds something; empty when none does.
std::string findSettingsFile(const std::string &programPath);

// What the settings file supplies. A missing file, section or key gives the defaults.
struct Settings
{
    // Section "Pfade", keys "1", "2", …: each ending in "/". The list ends at the first key that is
    // missing, empty or exactly "*".
    std::vector<std::string> directories;
    // Each folder's rule, in the order of `directories`: its section "Pfad n" (n its key in
    // "Pfade"); a folder without a section has an empty rule.
    std::vector<core::FolderRule> rules;
    // Section "Optionen", key "Tage": 35 when missing or not an integer; 0 and negative values
    // are used as they are.
    std::int32_t dayCount = 35;
    // Section "Optionen", key "Protokoll": empty means no log.
    std::string logFileName;
    // Whether a settings file was read at all.
    bool found = false;
};

// Reads the settings file at `settingsPath`. A folder's rule that cannot be used as it stands
// (a count or day number that is no integer, "Tage" together with "Anzahl", "Anzahl" with
// subfolders, a value of "Unterverzeichnisse" other than 0 or 1, a pattern that is empty or a
// path) throws core::AppError naming the section and the file.
// An empty path gives the defaults, and so does a file
// that is missing unless it is `required` (named by "/INI:"). Any other failure (no regular file,
// no permission) throws core::AppError naming the file: settings that were meant to be read are
// never silently replaced by the defaults. Run by root, neither is a file that another user may
// have written or put in its place (see platform::superuserTrust): the error says why.
Settings readSettings(const std::string &settingsPath, bool required = false);

} // namespace startup
