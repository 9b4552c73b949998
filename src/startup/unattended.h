#pragma once

#include "core/job_state.h"

namespace startup {

// The unattended run after start-up: lists `SelectedDirectory` as start-up set it, with the counts
// unclamped, and deletes every listed file without asking. Errors of the listing or the deletion
// run are thrown as core::AppError.
void runUnattended(core::JobState &state);

} // namespace startup
