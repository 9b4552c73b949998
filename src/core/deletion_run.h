#pragma once

#include "core/job_state.h"
#include "core/outcome.h"

#include <cstddef>

namespace core {

// How many threads a deletion run uses when the caller does not say.
std::size_t defaultDeletionWorkers();

// Deletes every listed file of `state.Table`, in table order, and, when `LogFileName` is set,
// appends the run to the log: an empty line, "Start der Dateilöschung von %d Dateien", and one
// line per attempted deletion with the date and time of the attempt and the full path. A file
// that cannot be deleted, or is no longer the file that was listed, stays, and the run goes on.
// Nothing is deleted for the empty listing, and nothing when the log cannot be opened or its
// first lines cannot be written. A log failure ends the run with core::AppError naming every file
// deleted without its line, the log closed; a request to end the program (SIGTERM, Ctrl+C) ends
// it with core::RunInterrupted once the attempts in flight are logged. Nothing is deleted in the
// root of the system. The table is left as it was. `workers` threads delete side by side, a few
// rows of one directory at a time, and write the lines of the rows done in table order, never
// more than a few rows each ahead of the last line written; the calling thread tells
// `state.Progress`. With one worker the calling thread deletes itself. The files left and the
// log's lines do not depend on the number of workers. When the state asks for it
// (removesEmptiedFolders), the subfolders the run emptied are removed after the files, each with
// its line (emptied_folders.h).
DeletionReport DeleteListed(const JobState &state, std::size_t workers = defaultDeletionWorkers());

} // namespace core
