#pragma once

#include "core/job_state.h"

#include <string>

namespace core {

// Rebuilds the listing from `state`: resets the table and, unless `Loading` is set, lists
// `SelectedDirectory` in the selected mode.
void Refresh(JobState &state);

// Lists every file of `directory` (and, with `IncludeSubdirectories`, of every subdirectory,
// depth first) modified before the first of the last `DayCount` calendar days, today counted as
// the first. Returns the row the next file would go to.
std::int32_t ListByAge(JobState &state, std::string directory);

// Lists every file of `directory` except the `KeepCount` newest, oldest first in the order of
// their sort keys (MakeSortKey). Subdirectories, and links to directories, are neither counted nor
// searched, whatever `IncludeSubdirectories` says. Leaves `TotalKB`, `NextRow` and
// `LimitDateText` alone. Throws core::AppError "Zeile kann nicht eingefügt werden" when the sort
// buffer cannot take a file.
void ListByCount(JobState &state, std::string directory);

// The steps that open and close both selections.
// Opening: the delete button stays off until a listing stands; the directory gets its final "/"
// (an empty path stays empty, and so lists nothing).
std::string openListing(JobState &state, std::string directory);
// Closing: "%d Dateien" and the total text; then the placeholder row when nothing is listed, else
// the delete button on.
void closeListing(JobState &state, std::string statusTotal);

} // namespace core
