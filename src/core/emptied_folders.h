#pragma once

#include "core/listing_table.h"
#include "core/outcome.h"
#include "core/run_log.h"
#include "platform/stop_signals.h"

#include <cstdint>
#include <vector>

namespace core {

// The subfolders a deletion run over `table` leaves empty when every listed file goes: each held,
// at the listing, listed files or such subfolders and nothing else. The listed directories
// themselves, and folders that were already empty, are never among them. Each comes before its
// parent, so the deepest go first.
std::vector<std::uint32_t> emptiedFolders(const ListingTable &table);

// Removes, after the files of a run over `table`, the folders of emptiedFolders that the run did
// empty: every listed file in them deleted (as `report` has it), every subfolder of theirs removed
// before them. One walk goes through them, deepest first; a folder replaced, moved or refilled
// meanwhile stays, and so do those above it. Each folder attempted gets its line in `log` (none
// when the run keeps no log), as a file does, its path ending in the path separator, and counts in
// `report`. Returns false when `stopSignals` told of a request to end the program before the last
// one; a log failure is thrown as core::AppError naming the folder removed without its line.
bool removeEmptiedFolders(const ListingTable &table, DeletionReport &report, RunLog *log,
    const platform::StopSignals &stopSignals);

} // namespace core
