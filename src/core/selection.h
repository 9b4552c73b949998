#pragma once

#include "core/job_state.h"

namespace core {

// Empties the listing: the table without rows, `SearchError` and `TotalKB` to their start. The
// status texts, the limit date and the delete button keep what they showed. The window does this
// alone while start-up fills its controls.
void clearListing(Listing &listing);

// Rebuilds the listing from `state`: clears it (clearListing) and lists `SelectedDirectory` in
// the selected mode. Opens the listing (the delete button off,
// the directory with its final "/"; an empty path lists nothing), has ListByAge or ListByCount
// gather the files, and closes it: `SearchError` for a selected directory that could not be
// searched, the status texts, then the placeholder row when nothing is listed, else the delete
// button on. A search that failed lists nothing, since what it found is not all there is; one
// that ran out of file descriptors throws core::AppError "Zu viele geöffnete Dateien" naming the
// directory concerned, once the empty listing stands. Errors of the gathering are thrown as
// core::AppError.
void Refresh(JobState &state);

} // namespace core
