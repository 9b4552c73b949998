#include "platform/environment.h"

#include "platform/path_separator.h"

#include <cstdlib>
#include <sys/stat.h>

namespace platform {

std::optional<std::string> environmentValue(const char *name)
{
    const char *value = std::getenv(name);
    if (!value)
        return std::nullopt;
    return std::string(value);
}

bool pathExists(const std::string &path)
{
    if (!isUsablePath(path))
        return false;
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool hasDisplay()
{
    for (const char *variable : { "DISPLAY", "WAYLAND_DISPLAY" }) {
        const auto value = environmentValue(variable);
        if (value && !value->empty())
            return true;
    }
    return false;
}

std::string displayPlatforms()
{
    std::string platforms;
    if (environmentValue("WAYLAND_DISPLAY").value_or("") != "")
        platforms += "wayland;";
    if (environmentValue("DISPLAY").value_or("") != "")
        platforms += "xcb;";
    return platforms;
}

std::vector<std::string> sharedSettingsPlaces(const std::string &fileName)
{
    std::vector<std::string> places;
    // Only an absolute XDG_CONFIG_HOME counts; otherwise the user's configuration is in ~/.config.
    const auto configHome = environmentValue("XDG_CONFIG_HOME");
    const auto home = environmentValue("HOME");
    if (configHome && configHome->starts_with('/'))
        places.push_back(*configHome + "/ablagekehrer/" + fileName);
    else if (home && !home->empty())
        places.push_back(*home + "/.config/ablagekehrer/" + fileName);
    places.push_back("/etc/" + fileName);
    return places;
}

} // namespace platform
