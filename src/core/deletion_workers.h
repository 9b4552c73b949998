#pragma once

#include "core/listing_table.h"
#include "core/outcome.h"
#include "core/progress_pace.h"
#include "core/run_log.h"
#include "platform/stop_signals.h"
#include "platform/system_error.h"

#include <cstddef>
#include <string>
#include <vector>

namespace core {

// How the attempts of a run ended, besides the report.
struct AttemptsEnd
{
    bool interrupted = false; // a request to end the program stopped them
    platform::SystemError logError; // the log failed; no attempt started after
    // After a log failure: the full path of every file deleted whose line the log lacks, bytes
    // below 32 written as "?".
    std::vector<std::string> deletedUnlogged;
};

// Attempts every row of `table` and counts each in `report`, in table order, adding its line to
// `log` (none when the run keeps no log) and writing the lines of the rows done in table order.
// `workers` threads delete side by side, each with a walk of its own, a few consecutive rows of
// one directory at a time; none starts an attempt more than a few rows per worker beyond the last
// line written, so a run killed at any moment leaves no more files deleted without their line than
// that. Once `stopSignals` tells of a request to end the program, or the log fails, no attempt
// starts; those in flight end and their lines are written while the log can be. `progress` is
// told on the calling thread; with one worker, or when no thread can be started, the calling
// thread deletes itself. A worker's failure (no memory left) is thrown once every row attempted
// has its line.
AttemptsEnd attemptRows(const ListingTable &table, RunLog *log, DeletionReport &report,
    const platform::StopSignals &stopSignals, std::size_t workers,
    const ProgressPace::Report &progress);

} // namespace core
