#pragma once

#include "core/job_state.h"
#include "platform/dir_search.h"

#include <string>

namespace core {

// Rebuilds the listing from `state`: resets the table and `SearchError` and, unless `Loading` is
// set, lists `SelectedDirectory` in the selected mode. Throws core::AppError when the listing
// cannot be made (see ListByAge and ListByCount).
void Refresh(JobState &state);

// Lists every file of `directory` (and, with `IncludeSubdirectories`, of every subdirectory,
// depth first) modified before the first of the last `DayCount` calendar days, today counted as
// the first. Returns the row the next file would go to. A search that fails lists nothing (see
// takeSearchOutcome).
std::int32_t ListByAge(JobState &state, std::string directory);

// Lists every file of `directory` except the `KeepCount` newest, oldest first in the order of
// their sort keys (MakeSortKey); a file whose time is unknown counts as the newest. Subdirectories,
// and links to directories, are neither counted nor searched, whatever `IncludeSubdirectories`
// says. Leaves `TotalKB`, `NextRow` and `LimitDateText` alone. Throws core::AppError "Zeile kann
// nicht eingefügt werden" when the sort buffer cannot take a file. A search that fails lists
// nothing (see takeSearchOutcome).
void ListByCount(JobState &state, std::string directory);

// The steps that open and close both selections.
// Opening: the delete button stays off until a listing stands; the directory gets its final "/"
// (an empty path stays empty, and so lists nothing).
std::string openListing(JobState &state, std::string directory);
// Closing: "%d Dateien" and the total text; then the placeholder row when nothing is listed, else
// the delete button on.
void closeListing(JobState &state, std::string statusTotal);

// Takes the end of the search of `directory` (as openListing returned it): `SearchError` becomes
// the error of the directory itself (0 when it was searched, and when it is empty, which selects
// nothing), and whatever the search put into the table is dropped when it ended with an error,
// since it is not all there is. Returns false then.
bool takeSearchOutcome(
    JobState &state, const std::string &directory, const platform::SearchOutcome &outcome);
// A search that ran out of file descriptors has not seen files that are there, and silence would
// pass the shorter listing off as the whole: throws core::AppError "Zu viele geöffnete Dateien"
// naming the directory concerned. Call it after closeListing, so the empty listing stands.
void raiseSearchFailure(const platform::SearchOutcome &outcome);

} // namespace core
