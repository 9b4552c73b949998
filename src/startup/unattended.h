#pragma once

#include "core/deletion_run.h"
#include "core/job_state.h"

namespace startup {

// The unattended run after start-up: lists `SelectedDirectory` as start-up set it, with the counts
// unclamped, and deletes every listed file without asking. With `folderRequired` (every run
// without the window) a selected folder that could not be searched is an error, and nothing is
// deleted. Errors of the listing or the deletion run are thrown as core::AppError. Returns what
// became of the listed files.
core::DeletionReport runUnattended(core::JobState &state, bool folderRequired);

} // namespace startup
