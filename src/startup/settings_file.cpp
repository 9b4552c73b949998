#include "startup/settings_file.h"

#include "platform/profile_file.h"
#include "startup/command_line.h"

namespace startup {

std::string settingsFilePathFor(const std::string &programPath)
{
    const std::size_t slash = programPath.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A dot counts as the start of an extension only after some other character of the name, so
    // "/x/.hidden" has none and becomes "/x/.hidden.ini".
    const std::size_t firstNonDot = programPath.find_first_not_of('.', nameStart);
    const std::size_t dot = programPath.rfind('.');
    if (dot != std::string::npos && firstNonDot != std::string::npos && dot > firstNonDot)
        return programPath.substr(0, dot) + ".ini";
    return programPath + ".ini";
}

Settings readSettings(const std::string &settingsPath)
{
    const platform::ProfileFile profile = platform::ProfileFile::load(settingsPath);
    Settings settings;

    for (int n = 1;; ++n) {
        auto directory = profile.value("Pfade", std::to_string(n));
        if (!directory || directory->empty() || *directory == "*")
            break;
        if (directory->back() != '/')
            *directory += '/';
        settings.directories.push_back(std::move(*directory));
    }

    if (auto days = profile.value("Optionen", "Tage")) {
        if (days->starts_with("0x") || days->starts_with("0X"))
            days->replace(0, 2, "$");
        if (const auto number = parseInteger(*days))
            settings.dayCount = *number;
    }

    settings.logFileName = profile.value("Optionen", "Protokoll").value_or("");
    return settings;
}

} // namespace startup
