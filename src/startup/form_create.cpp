#include "startup/form_create.h"

#include "core/messages.h"
#include "platform/path_separator.h"
#include "startup/command_line.h"
#include "startup/integer_syntax.h"
#include "startup/settings_file.h"

namespace startup {

StartupResult FormCreate(core::JobState &state, const CommandLine &commandLine,
    const std::string &settingsPath, UnknownArguments unknown)
{
    if (unknown == UnknownArguments::Refuse) {
        if (const auto &argument = commandLine.requests.unknownArgument)
            throw RefusedArgument(core::messages::unknownArgument(*argument));
    }
    state.IncludeSubdirectories = false;
    state.LogFileName.clear();

    const SwitchResults &switches = commandLine.switches;
    state.IncludeSubdirectories = switches.includeSubdirectories;
    // After an error in a switch, of the switches only "/SUB" has taken effect: the others were
    // still being collected.
    if (commandLine.error)
        throw *commandLine.error;
    state.LogFileName = switches.logFileName;

    StartupResult result;
    const bool named = !switches.settingsFile.empty();
    const std::string &settingsFile = named ? switches.settingsFile : settingsPath;
    const Settings settings = readSettings(settingsFile, named);
    if (settings.found)
        result.settingsFile = settingsFile;
    state.Directories = settings.directories;
    result.directoryNumber = switches.directoryNumber;
    if (!switches.directory.empty()) {
        // The folder of this run, added and selected like one added with the folder button.
        std::string directory = switches.directory;
        if (directory.back() != platform::kPathSeparator)
            directory.push_back(platform::kPathSeparator);
        state.Directories.push_back(directory);
        state.SelectedDirectory = directory;
        result.directoryGiven = true;
    } else {
        const std::int32_t index = switches.directoryIndex == -1 ? 0 : switches.directoryIndex;
        state.SelectedDirectory
            = index >= 0 && static_cast<std::size_t>(index) < state.Directories.size()
            ? state.Directories[static_cast<std::size_t>(index)]
            : std::string();
    }

    state.Mode = core::SelectionMode::Age;
    state.DayCount = clampCount(switches.dayCount >= 1 ? switches.dayCount : settings.dayCount);
    if (switches.keepCount >= 1) {
        state.Mode = core::SelectionMode::Count;
        state.KeepCount = clampCount(switches.keepCount);
    }
    if (state.LogFileName.empty())
        state.LogFileName = settings.logFileName;

    result.listOnly = switches.listOnly;
    if (state.Mode == core::SelectionMode::Count && state.IncludeSubdirectories) {
        result.countWithSubdirectoriesNotice = true;
        return result;
    }
    result.unattendedRequested = switches.unattended;
    return result;
}

} // namespace startup
