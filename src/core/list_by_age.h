#pragma once

#include "core/job_state.h"
#include "platform/dir_search.h"

#include <string>

namespace core {

// Gathers into `state.Table` every file of `directory` (ending in "/"; and, with
// `IncludeSubdirectories`, of every subdirectory, depth first) modified before the first of the
// last `DayCount` calendar days, today counted as the first, adds their sizes to `TotalKB`, and
// shows that first day in `LimitDateText`. A file whose time has no local date is never old.
// Returns how the search ended; Refresh, its only caller, opens and closes the listing around it.
platform::SearchOutcome ListByAge(JobState &state, const std::string &directory);

// The first day whose files stay when the last `dayCount` days are kept, today counted as the
// first, in the user's short date: what `LimitDateText` shows after a listing by that count.
std::string limitDateText(
    std::int16_t dayCount, const platform::Clock &clock, const platform::LocaleFormats &formats);

} // namespace core
