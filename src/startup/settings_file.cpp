#include "startup/settings_file.h"

#include "core/errors.h"
#include "core/messages.h"
#include "platform/environment.h"
#include "platform/file_trust.h"
#include "platform/path_separator.h"
#include "platform/profile_file.h"
#include "startup/integer_syntax.h"

namespace startup {

std::string settingsFilePathFor(const std::string &programPath)
{
    const std::size_t slash = programPath.rfind(platform::kPathSeparator);
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A dot counts as the start of an extension only after some other character of the name, so
    // "/x/.hidden" has none and becomes "/x/.hidden.ini".
    const std::size_t firstNonDot = programPath.find_first_not_of('.', nameStart);
    const std::size_t dot = programPath.rfind('.');
    if (dot != std::string::npos && firstNonDot != std::string::npos && dot > firstNonDot)
        return programPath.substr(0, dot) + ".ini";
    return programPath + ".ini";
}

std::vector<std::string> settingsSearchPath(const std::string &programPath)
{
    std::vector<std::string> places;
    if (!programPath.empty())
        places.push_back(settingsFilePathFor(programPath));
    for (std::string &place : platform::sharedSettingsPlaces("ablagekehrer.ini"))
        places.push_back(std::move(place));
    return places;
}

std::string findSettingsFile(const std::string &programPath)
{
    for (const std::string &place : settingsSearchPath(programPath)) {
        if (platform::pathExists(place))
            return place;
    }
    return {};
}

namespace {

// The rule of section `section`; its faults are thrown naming the section and the file.
core::FolderRule readFolderRule(
    const platform::ProfileFile &profile, const std::string &section, const std::string &file)
{
    core::FolderRule rule;
    const auto fail = [&](const std::string &message) {
        throw core::AppError("[" + section + "] " + message, file);
    };
    const auto number = [&](std::string_view key) -> std::optional<std::int32_t> {
        const auto text = profile.value(section, key);
        if (!text)
            return std::nullopt;
        const auto value = parseInteger(*text);
        if (!value)
            fail(std::string(key) + ": " + core::messages::notAnInteger(*text));
        return value;
    };
    rule.dayCount = number("Tage");
    rule.keepCount = number("Anzahl");
    if (const auto subdirectories = number("Unterverzeichnisse")) {
        if (*subdirectories != 0 && *subdirectories != 1)
            fail("Unterverzeichnisse: nur 0 oder 1");
        rule.includeSubdirectories = *subdirectories == 1;
    }
    if (rule.keepCount && *rule.keepCount < 1)
        fail("Anzahl: mindestens 1");
    if (rule.dayCount && rule.keepCount)
        fail(std::string(core::messages::kDaysAndCount));
    if (rule.keepCount && rule.includeSubdirectories.value_or(false))
        fail(std::string(core::messages::kCountAndSubdirectories));
    if (const auto emptied = number("LeereOrdner")) {
        if (*emptied != 0 && *emptied != 1)
            fail("LeereOrdner: nur 0 oder 1");
        rule.removeEmptiedFolders = *emptied == 1;
    }
    if (const auto keep = number("Behalten")) {
        if (*keep < 0)
            fail("Behalten: nicht negativ");
        rule.keepNewest = *keep;
    }
    const std::string where = "[" + section + "] ";
    try {
        rule.patterns = core::NamePatterns::parse(
            profile.value(section, "Muster").value_or(""), where + "Muster");
        rule.exceptions = core::NamePatterns::parse(
            profile.value(section, "Ausnahmen").value_or(""), where + "Ausnahmen");
    } catch (const core::AppError &error) {
        throw core::AppError(error.what(), file);
    }
    rule.logFileName = profile.value(section, "Protokoll");
    return rule;
}

} // namespace

Settings readSettings(const std::string &settingsPath, bool required)
{
    Settings settings;
    if (settingsPath.empty())
        return settings;
    platform::SystemError error;
    const auto loaded = platform::ProfileFile::load(settingsPath, error);
    if (!loaded) {
        if (error.kind == platform::ErrorKind::NotFound && !required)
            return settings;
        throw core::AppError(core::messages::fileError(error), settingsPath);
    }
    // The file chooses what is deleted: run by root on Linux, it is read only when no other user
    // can have written it or put another in its place; on Windows, only when no other user made it.
    const platform::TrustCheck trust = platform::superuserTrust(settingsPath);
    switch (trust.distrust) {
    case platform::Distrust::None:
        break;
    case platform::Distrust::OtherOwner:
        throw core::AppError(std::string(core::messages::kSettingsOtherOwner), settingsPath);
    case platform::Distrust::OthersMayWrite:
        throw core::AppError(std::string(core::messages::kSettingsOthersMayWrite), settingsPath);
    case platform::Distrust::FolderOthersMayWrite:
        throw core::AppError(
            core::messages::settingsFolderOthersMayWrite(trust.folder), settingsPath);
    case platform::Distrust::OtherAccount:
        throw core::AppError(std::string(core::messages::kSettingsOtherAccount), settingsPath);
    }
    const platform::ProfileFile &profile = *loaded;
    settings.found = true;

    for (int n = 1;; ++n) {
        auto directory = profile.value("Pfade", std::to_string(n));
        if (!directory || directory->empty() || *directory == "*")
            break;
        settings.directories.push_back(platform::withTrailingSeparator(std::move(*directory)));
        settings.rules.push_back(
            readFolderRule(profile, "Pfad " + std::to_string(n), settingsPath));
    }

    if (const auto days = profile.value("Optionen", "Tage")) {
        if (const auto number = parseInteger(*days))
            settings.dayCount = *number;
    }

    settings.logFileName = profile.value("Optionen", "Protokoll").value_or("");
    return settings;
}

} // namespace startup
