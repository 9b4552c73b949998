#include "core/emptied_folders.h"

#include "core/directory_cursor.h"
#include "core/errors.h"
#include "core/messages.h"
#include "platform/text.h"

namespace core {

std::vector<std::uint32_t> emptiedFolders(const ListingTable &table)
{
    const std::size_t count = table.directoryCount();
    std::vector<bool> holdsFiles(count, false);
    for (std::size_t row = 0; row < table.fileCount(); ++row)
        holdsFiles[table.fileDirectory(row)] = true;
    // A directory is added after its parent: going backwards, every subfolder is decided before
    // its parent.
    std::vector<bool> holdsSubfolders(count, false);
    std::vector<bool> keepsSubfolder(count, false);
    std::vector<std::uint32_t> emptied;
    for (std::size_t index = count; index-- > 0;) {
        const ListingTable::Directory &directory
            = table.directory(static_cast<std::uint32_t>(index));
        if (directory.parent == ListingTable::kNoParent)
            continue;
        const bool empties = !directory.holdsOthers && !keepsSubfolder[index]
            && (holdsFiles[index] || holdsSubfolders[index]);
        holdsSubfolders[directory.parent] = true;
        if (!empties) {
            keepsSubfolder[directory.parent] = true;
            continue;
        }
        emptied.push_back(static_cast<std::uint32_t>(index));
    }
    return emptied;
}

bool removeEmptiedFolders(const ListingTable &table, DeletionReport &report, RunLog *log,
    const platform::StopSignals &stopSignals)
{
    const std::vector<std::uint32_t> folders = emptiedFolders(table);
    if (folders.empty())
        return true;
    // What stays of the run: the directories of the files that stayed, and above them every
    // folder up to the listed one.
    std::vector<bool> stays(table.directoryCount(), false);
    for (const StayedFile &file : report.stayed)
        stays[table.fileDirectory(file.row)] = true;
    DirectoryCursor cursor(table, 1);
    for (const std::uint32_t index : folders) {
        const std::uint32_t parent = table.directory(index).parent;
        if (stays[index]) {
            stays[parent] = true;
            continue;
        }
        if (stopSignals.requested())
            return false;
        const platform::RemoveResult result = cursor.removeFolder(index);
        const Outcome outcome = outcomeOf(result.removal);
        if (outcome == Outcome::Deleted) {
            ++report.foldersRemoved;
        } else {
            ++report.foldersStayed;
            stays[parent] = true;
        }
        if (!log)
            continue;
        const std::string path = table.directoryPath(index);
        log->addFolderLine(path, outcome, result.error);
        std::size_t failedRow = 0;
        if (const platform::SystemError error = log->writePending(failedRow)) {
            std::vector<std::string> notes;
            if (outcome == Outcome::Deleted) {
                notes.push_back(messages::deletedNotLogged(path));
                platform::maskControlBytes(notes.back());
            }
            throw AppError(messages::fileError(error), log->path(), std::move(notes));
        }
    }
    return true;
}

} // namespace core
