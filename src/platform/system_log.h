#pragma once

#include <string_view>

namespace platform {

enum class EventKind {
    Error,
    Warning,
};

// Writes `line` (UTF-8) to the system's record of events, for an unattended run that nobody
// watches. On Windows that is the Application event log, under the source "Ablagekehrer" that the
// installer registers with the program as its message file; on Linux nothing is written here,
// since journald and cron's mail take standard error. A failure is not reported: the line went to
// standard error as well.
void reportEvent(EventKind kind, std::string_view line);

} // namespace platform
