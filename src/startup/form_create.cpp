#include "startup/form_create.h"

#include "core/messages.h"
#include "platform/path_separator.h"
#include "startup/command_line.h"
#include "startup/integer_syntax.h"
#include "startup/settings_file.h"

namespace startup {

namespace {

// A folder's rule with what the command line's switches override for this run: "/ANZAHL:" and
// "/TAGE:" the mode and its count, "/SUB" the subfolders, the rule's own switches its patterns,
// exceptions, floor and emptied folders, "/PROTOKOLL:" its log.
core::FolderRule overridden(core::FolderRule rule, const SwitchResults &switches)
{
    if (switches.dayCount >= 1) {
        rule.dayCount = switches.dayCount;
        rule.keepCount.reset();
    }
    // Count mode wins over the days, which the day field still shows.
    if (switches.keepCount >= 1)
        rule.keepCount = switches.keepCount;
    if (switches.includeSubdirectories)
        rule.includeSubdirectories = true;
    if (switches.patterns)
        rule.patterns = *switches.patterns;
    if (switches.exceptions)
        rule.exceptions = *switches.exceptions;
    if (switches.keepNewest)
        rule.keepNewest = *switches.keepNewest;
    if (switches.removeEmptiedFolders)
        rule.removeEmptiedFolders = true;
    if (!switches.logFileName.empty())
        rule.logFileName = switches.logFileName;
    return rule;
}

} // namespace

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
    // Each folder's rule as the switches override it for this run, also for a folder chosen
    // later in the window; a folder without a rule of its own, or one added in the window, logs
    // to the command line's log, else to that of "Optionen".
    state.Rules.clear();
    for (const core::FolderRule &rule : settings.rules)
        state.Rules.push_back(overridden(rule, switches));
    state.GeneralLogFileName
        = switches.logFileName.empty() ? settings.logFileName : switches.logFileName;
    result.directoryNumber = switches.directoryNumber;
    // The rule of the folder of this run: a folder named on the command line has only the
    // switches.
    core::FolderRule rule = overridden({}, switches);
    if (!switches.directory.empty()) {
        // The folder of this run, added and selected like one added with the folder button.
        const std::string directory = platform::withTrailingSeparator(switches.directory);
        state.Directories.push_back(directory);
        state.SelectedDirectory = directory;
        result.directoryGiven = true;
    } else {
        const std::int32_t index = switches.directoryIndex == -1 ? 0 : switches.directoryIndex;
        const bool listed
            = index >= 0 && static_cast<std::size_t>(index) < state.Directories.size();
        state.SelectedDirectory
            = listed ? state.Directories[static_cast<std::size_t>(index)] : std::string();
        if (listed)
            rule = state.Rules[static_cast<std::size_t>(index)];
    }

    state.DayCount = clampCount(rule.dayCount.value_or(settings.dayCount));
    state.Mode = rule.keepCount ? core::SelectionMode::Count : core::SelectionMode::Age;
    if (rule.keepCount)
        state.KeepCount = clampCount(*rule.keepCount);
    state.IncludeSubdirectories = rule.includeSubdirectories.value_or(false);
    state.Patterns = rule.patterns;
    state.Exceptions = rule.exceptions;
    state.KeepNewest = rule.keepNewest;
    state.RemoveEmptiedFolders = rule.removeEmptiedFolders;
    state.LogFileName = rule.logFileName.value_or(state.GeneralLogFileName);

    result.listOnly = switches.listOnly;
    result.tabSeparated = switches.tabSeparated;
    if (state.Mode == core::SelectionMode::Count && state.IncludeSubdirectories) {
        result.countWithSubdirectoriesNotice = true;
        return result;
    }
    result.unattendedRequested = switches.unattended;
    return result;
}

} // namespace startup
