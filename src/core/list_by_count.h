#pragma once

#include "core/job_state.h"
#include "platform/dir_search.h"

#include <string>

namespace core {

// Gathers into `state.Table` every file of `directory` (ending in "/") except the `KeepCount`
// newest, oldest first in the order of their sort keys (MakeSortKey); a file whose time is
// unknown counts as the newest. Subdirectories, and links to directories, are neither counted nor
// searched, whatever `IncludeSubdirectories` says. Leaves `TotalKB` and `LimitDateText` alone,
// and lists nothing when the search failed. Throws core::AppError "Zeile kann nicht eingefügt
// werden" when the sort buffer cannot take a file. Returns how the search ended; Refresh, its
// only caller, opens and closes the listing around it.
platform::SearchOutcome ListByCount(JobState &state, const std::string &directory);

} // namespace core
