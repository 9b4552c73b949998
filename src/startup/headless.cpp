#include "startup/headless.h"

#include "core/errors.h"
#include "core/messages.h"
#include "core/selection.h"
#include "platform/standard_output.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "startup/command_line.h"
#include "startup/form_create.h"
#include "startup/listing_output.h"
#include "startup/selected_folder.h"
#include "startup/unattended.h"

#include <algorithm>
#include <new>

namespace startup {

namespace {

constexpr int kFailed = 1;
constexpr int kRefused = 2;

// Where the error lines go: standard error, and in an unattended run the system's log of events
// too, where nobody reads standard error.
struct ErrorOutput
{
    std::FILE *stream;
    const EventSink *events = nullptr;
};

// One line on `err`: "Ablagekehrer: ", "PATH: " where the error concerns a file or folder, and the
// message with its final stop.
void reportLine(const ErrorOutput &err, const std::string &path, const std::string &message,
    platform::EventKind kind = platform::EventKind::Error)
{
    std::string line(core::messages::kErrorPrefix);
    if (!path.empty())
        line += path + ": ";
    line += core::withFinalStop(message);
    platform::maskControlBytes(line);
    if (err.events && *err.events)
        (*err.events)(kind, line);
    line.push_back('\n');
    platform::writeOutput(err.stream, line);
}

void reportError(const ErrorOutput &err, const core::AppError &error)
{
    reportLine(err, error.path(), error.what());
    for (const std::string &note : error.notes())
        reportLine(err, {}, note);
}

int report(const ErrorOutput &err, const core::AppError &error, int exitCode = kFailed)
{
    reportError(err, error);
    return exitCode;
}

int report(const ErrorOutput &err, const std::string &message)
{
    reportLine(err, {}, message);
    return kFailed;
}

// A line for each listed file that stayed: the scheduler's mail names every one.
int reportStayed(
    const ErrorOutput &err, const core::JobState &state, const core::DeletionReport &run)
{
    const core::ListingTable &table = state.Table;
    for (const core::StayedFile &stayed : run.stayed) {
        reportLine(err, table.path(stayed.row),
            std::string(core::messages::kNotDeleted)
                + core::messages::notDeletedReason(stayed.outcome, stayed.error),
            platform::EventKind::Warning);
    }
    return run.stayed.empty() ? 0 : kFailed;
}

} // namespace

void reportError(std::FILE *err, const core::AppError &error)
{
    reportError(ErrorOutput { err }, error);
}

namespace {

// One folder's run: start-up, then the unattended run or the listing printed to `out`, with an
// empty line before it when `separated`. Errors are reported on `err`; returns the exit code.
int runFolder(const CommandLine &commandLine, const std::string &settingsPath,
    const platform::LocaleFormats &formats, std::FILE *out, const ErrorOutput &err,
    bool separated = false)
{
    try {
        core::JobState state(formats);
        const StartupResult startup
            = FormCreate(state, commandLine, settingsPath, UnknownArguments::Refuse);
        if (startup.countWithSubdirectoriesNotice)
            return report(err, std::string(core::messages::kCountWithSubdirectories));
        requireSelectedFolder(state, startup);
        if (startup.unattendedRequested && !startup.listOnly) {
            // Under cron every printed line becomes a mail: a run that went well says nothing.
            return reportStayed(err, state, runUnattended(state, true));
        }
        core::Refresh(state);
        requireSearchedFolder(state);
        if (separated && !startup.tabSeparated && !platform::writeOutput(out, "\n"))
            return report(err, core::messages::fileError(platform::lastSystemError()));
        if (!(startup.tabSeparated ? writeTabSeparated(state, out) : writeListing(state, out)))
            return report(err, core::messages::fileError(platform::lastSystemError()));
        return 0;
    } catch (const RefusedArgument &error) {
        return report(err, error, kRefused);
    } catch (const core::AppError &error) {
        return report(err, error);
    } catch (const std::bad_alloc &) {
        return report(err, core::messages::fileError(platform::outOfMemoryError()));
    } catch (const std::exception &error) {
        return report(err, error.what());
    }
}

// Every folder of the settings file in turn, each by its own rule and with its own log; a folder
// that fails is reported and the others still run.
int runAllFolders(const CommandLine &commandLine, const std::string &settingsPath,
    const platform::LocaleFormats &formats, std::FILE *out, const ErrorOutput &err)
{
    std::size_t folders = 0;
    try {
        if (const auto &argument = commandLine.requests.unknownArgument)
            throw RefusedArgument(core::messages::unknownArgument(*argument));
        if (const auto &argument = commandLine.requests.perFolderSwitch)
            throw RefusedArgument(core::messages::notWithAllFolders(*argument));
        core::JobState state(formats);
        const StartupResult startup
            = FormCreate(state, commandLine, settingsPath, UnknownArguments::Refuse);
        requireSelectedFolder(state, startup);
        folders = state.Directories.size();
    } catch (const RefusedArgument &error) {
        return report(err, error, kRefused);
    } catch (const core::AppError &error) {
        return report(err, error);
    }
    int exitCode = 0;
    bool printed = false;
    for (std::size_t index = 0; index < folders; ++index) {
        CommandLine folder = commandLine;
        folder.switches.directoryIndex = static_cast<std::int32_t>(index);
        folder.switches.directoryNumber = static_cast<std::int32_t>(index + 1);
        const int folderExit = runFolder(folder, settingsPath, formats, out, err, printed);
        printed = printed || folderExit == 0;
        exitCode = std::max(exitCode, folderExit);
    }
    return exitCode;
}

} // namespace

int runHeadless(const CommandLine &commandLine, const std::string &settingsPath,
    const platform::LocaleFormats &formats, std::FILE *out, std::FILE *err, const EventSink &events)
{
    const Requests &requests = commandLine.requests;
    const ErrorOutput output { err, requests.unattended && !requests.listOnly ? &events : nullptr };
    if (requests.allFolders)
        return runAllFolders(commandLine, settingsPath, formats, out, output);
    return runFolder(commandLine, settingsPath, formats, out, output);
}

} // namespace startup
