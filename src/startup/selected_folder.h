#pragma once

#include "core/job_state.h"
#include "startup/form_create.h"

namespace startup {

// A run without the window has nobody to look at an empty listing: a folder that is not there, or
// no folder at all, is an error that names what is missing, rather than a silent run that cleans
// nothing. (The window shows the empty listing instead.)

// Throws core::AppError when start-up selected no folder: "/ID:" beyond the list of the settings
// file, an empty list, or no settings file at all.
void requireSelectedFolder(const core::JobState &state, const StartupResult &startup);

// Throws core::AppError naming the selected folder when the last listing could not search it.
void requireSearchedFolder(const core::JobState &state);

} // namespace startup
