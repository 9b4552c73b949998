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

// Lists every file of `directory` except the `KeepCount` newest, oldest first.
void ListByCount(JobState &state, std::string directory);

} // namespace core
