#include "startup/command_line.h"

#include "core/errors.h"
#include "core/messages.h"
#include "platform/text.h"
#include "startup/integer_syntax.h"

#include <limits>

namespace startup {

namespace {

// Blanks, tabs and every other control character separate arguments and are trimmed from numbers.
bool isSeparator(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

constexpr std::string_view kDaysSwitch = "/TAGE:";
constexpr std::string_view kDirectoryIndexSwitch = "/ID:";
constexpr std::string_view kLogSwitch = "/PROTOKOLL:";
constexpr std::string_view kKeepSwitch = "/ANZAHL:";
constexpr std::string_view kSubdirectoriesSwitch = "/SUB";
constexpr std::string_view kListOnlySwitch = "/LISTE";
// "/LISTE:" names the listing's form; "TSV" is the one there is.
constexpr std::string_view kListFormatSwitch = "/LISTE:";
constexpr std::string_view kTsvFormat = "TSV";
constexpr std::string_view kDirectorySwitch = "/VERZEICHNIS:";
constexpr std::string_view kSettingsSwitch = "/INI:";
constexpr std::string_view kPatternsSwitch = "/MUSTER:";
constexpr std::string_view kExceptionsSwitch = "/AUSNAHMEN:";
constexpr std::string_view kKeepNewestSwitch = "/BEHALTEN:";
constexpr std::string_view kAllFoldersSwitch = "/ALLE";
constexpr std::string_view kEmptiedFoldersSwitch = "/LEEREORDNER";

// The switches that choose one folder or its rule: a run over every folder takes each folder's
// own rule and refuses them.
bool isPerFolderSwitch(std::string_view upper)
{
    for (const std::string_view prefix :
        { kDaysSwitch, kDirectoryIndexSwitch, kKeepSwitch, kSubdirectoriesSwitch, kDirectorySwitch,
            kPatternsSwitch, kExceptionsSwitch, kKeepNewestSwitch }) {
        if (upper.starts_with(prefix))
            return true;
    }
    return upper == kEmptiedFoldersSwitch;
}

// Only the whole word starts a deletion that nobody confirms: a log path such as
// "/var/log/cargo.log", a folder "/srv/django-logs" or "ergo" merely holds the letters.
bool asksForUnattendedRun(std::string_view upper)
{
    if (upper.starts_with('/'))
        upper.remove_prefix(1);
    return upper == "GO" || upper == "SOFORT";
}

bool asksForHelp(std::string_view upper)
{
    return upper == "--HELP" || upper == "-H" || upper == "/?";
}

bool asksForVersion(std::string_view upper)
{
    return upper == "--VERSION";
}

// Whether the argument is one of the switches, whatever its value.
bool isSwitch(std::string_view upper)
{
    for (const std::string_view prefix : { kDaysSwitch, kDirectoryIndexSwitch, kLogSwitch,
             kKeepSwitch, kSubdirectoriesSwitch, kListOnlySwitch, kDirectorySwitch, kSettingsSwitch,
             kPatternsSwitch, kExceptionsSwitch, kKeepNewestSwitch }) {
        if (upper.starts_with(prefix))
            return true;
    }
    return upper == kAllFoldersSwitch || upper == kEmptiedFoldersSwitch
        || asksForUnattendedRun(upper) || asksForHelp(upper) || asksForVersion(upper);
}

// The value of a switch that names a file or folder: the letters as given, since on Linux
// "/var/log/App.log" and "/VAR/LOG/APP.LOG" are different files. An empty value names nothing.
std::string pathValue(const std::string &argument, std::string_view prefix)
{
    std::string value = argument.substr(prefix.size());
    if (value.empty())
        throw core::AppError(core::messages::namesNothing(prefix));
    return value;
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"')
            quoted = !quoted;
        else if (quoted || !isSeparator(c))
            current += c;
        else if (!current.empty()) {
            arguments.push_back(current);
            current.clear();
        }
    }
    // An argument made only of quotes is empty and yields nothing, like a pair standing alone.
    if (!current.empty())
        arguments.push_back(current);
    return arguments;
}

std::int32_t convertSwitchInteger(std::string_view value)
{
    const std::string_view trimmed = platform::trimmed(value, isSeparator);
    if (const auto number = parseInteger(trimmed))
        return *number;
    throw core::AppError(core::messages::notAnInteger(trimmed));
}

void applySwitches(const std::vector<std::string> &arguments, SwitchResults &results)
{
    for (const std::string &argument : arguments) {
        const std::string upper = platform::upperAscii(argument);
        const std::string_view value(upper);
        if (upper.starts_with(kDaysSwitch))
            results.dayCount = convertSwitchInteger(value.substr(kDaysSwitch.size()));
        if (upper.starts_with(kDirectoryIndexSwitch)) {
            const std::int32_t number
                = convertSwitchInteger(value.substr(kDirectoryIndexSwitch.size()));
            results.directoryNumber = number;
            // "/ID:-2147483648" has no index one below it; the lowest index is as far outside the
            // list as the missing one would be.
            results.directoryIndex
                = number == std::numeric_limits<std::int32_t>::min() ? number : number - 1;
        }
        if (asksForUnattendedRun(upper))
            results.unattended = true;
        if (upper.starts_with(kLogSwitch))
            results.logFileName = argument.substr(kLogSwitch.size());
        if (upper.starts_with(kKeepSwitch))
            results.keepCount = convertSwitchInteger(value.substr(kKeepSwitch.size()));
        if (upper.starts_with(kSubdirectoriesSwitch))
            results.includeSubdirectories = true;
        if (upper.starts_with(kListOnlySwitch))
            results.listOnly = true;
        if (upper.starts_with(kListFormatSwitch)) {
            if (value.substr(kListFormatSwitch.size()) != kTsvFormat)
                throw core::AppError(core::messages::unknownListFormat(upper));
            results.tabSeparated = true;
        }
        if (upper.starts_with(kDirectorySwitch))
            results.directory = pathValue(argument, kDirectorySwitch);
        if (upper.starts_with(kSettingsSwitch))
            results.settingsFile = pathValue(argument, kSettingsSwitch);
        // Patterns keep their letters as given: only ASCII letters match either case.
        if (upper.starts_with(kPatternsSwitch))
            results.patterns = core::NamePatterns::parse(
                std::string_view(argument).substr(kPatternsSwitch.size()), kPatternsSwitch);
        if (upper.starts_with(kExceptionsSwitch))
            results.exceptions = core::NamePatterns::parse(
                std::string_view(argument).substr(kExceptionsSwitch.size()), kExceptionsSwitch);
        if (upper.starts_with(kKeepNewestSwitch)) {
            const std::int32_t keep = convertSwitchInteger(value.substr(kKeepNewestSwitch.size()));
            if (keep < 0)
                throw core::AppError(core::messages::negativeKeepNewest(upper));
            results.keepNewest = keep;
        }
        if (upper == kEmptiedFoldersSwitch)
            results.removeEmptiedFolders = true;
    }
}

CommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    CommandLine commandLine;
    commandLine.requests = scanRequests(arguments);
    try {
        applySwitches(arguments, commandLine.switches);
    } catch (const core::AppError &error) {
        commandLine.error = error;
    }
    return commandLine;
}

Requests scanRequests(const std::vector<std::string> &arguments)
{
    Requests requests;
    for (const std::string &argument : arguments) {
        const std::string upper = platform::upperAscii(argument);
        requests.unattended = requests.unattended || asksForUnattendedRun(upper);
        requests.listOnly = requests.listOnly || upper.starts_with(kListOnlySwitch);
        requests.help = requests.help || asksForHelp(upper);
        requests.version = requests.version || asksForVersion(upper);
        requests.allFolders = requests.allFolders || upper == kAllFoldersSwitch;
        if (!requests.perFolderSwitch && isPerFolderSwitch(upper))
            requests.perFolderSwitch = argument;
        if (!requests.unknownArgument && !isSwitch(upper))
            requests.unknownArgument = argument;
    }
    return requests;
}

} // namespace startup
