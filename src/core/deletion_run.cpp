#include "core/deletion_run.h"

#include "core/deletion_workers.h"
#include "core/emptied_folders.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/run_log.h"
#include "platform/stop_signals.h"
#include "platform/system_root.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace core {

namespace {

// Refuses a run below the root of the system before anything is deleted or logged: an empty
// variable in «/VERZEICHNIS:$ARCHIV/» must not empty the whole machine.
void refuseSystemRoot(const ListingTable &table)
{
    for (std::uint32_t index = 0; index < table.directoryCount(); ++index) {
        const ListingTable::Directory &directory = table.directory(index);
        if (directory.parent == ListingTable::kNoParent
            && platform::isSystemRoot(directory.identity))
            throw AppError(std::string(messages::kSystemRootRefused), directory.name);
    }
}

} // namespace

std::size_t defaultDeletionWorkers()
{
    // Deletions in different directories do not wait for each other in the kernel; more workers
    // than cores only take turns, and a few are enough to keep a small machine's cores busy.
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4);
}

DeletionReport DeleteListed(const JobState &state, std::size_t workers)
{
    DeletionReport report;
    const ListingTable &table = state.Table;
    // The empty listing is known by its flag: a file that happens to bear the placeholder's
    // name is deleted like any other.
    if (table.isEmptyListing() || table.fileCount() == 0)
        return report;
    refuseSystemRoot(table);

    const bool logging = !state.LogFileName.empty();
    RunLog log(state.Formats, state.Clock);
    if (logging) {
        log.open(state.LogFileName);
        log.line("");
        log.line(messages::deletionStart(table.fileCount()));
    }
    // From here on a request to end the program stops the run after the attempts in flight.
    const platform::StopSignals stopSignals;
    const AttemptsEnd end = attemptRows(
        table, logging ? &log : nullptr, report, stopSignals, workers, state.Progress);
    if (end.logError) {
        std::vector<std::string> notes;
        for (const std::string &path : end.deletedUnlogged)
            notes.push_back(messages::deletedNotLogged(path));
        throw AppError(messages::fileError(end.logError), log.path(), std::move(notes));
    }
    const bool finished = !end.interrupted
        && (!state.removesEmptiedFolders()
            || removeEmptiedFolders(table, report, logging ? &log : nullptr, stopSignals));
    if (logging)
        log.close();
    if (!finished)
        throw RunInterrupted(std::string(messages::kRunInterrupted));
    return report;
}

} // namespace core
