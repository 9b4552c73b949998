#pragma once

#include "core/job_state.h"

#include <cstdio>

namespace startup {

// Prints the listing as text, one line per grid row (the header, the files or the placeholder),
// its five cells separated by TAB, then the two status texts separated by TAB (listing_texts.h).
// Lines end in LF; bytes below 32 inside a cell are written as "?", so no name can break a line.
// Returns false, with the system's last error (platform::lastSystemError) set, when the output
// cannot be written.
bool writeListing(const core::JobState &state, std::FILE *out);

// Prints the listing for scripts: one line per listed file, in the table's order, with its full
// path, its size in bytes and its modification time as ISO 8601 local time with the zone's offset
// at that time ("2026-11-03T14:05:09+01:00"), separated by TAB; no header, no status line, and
// nothing when no file is listed. In a path, a backslash that belongs to a name, a TAB, CR, LF
// and every other byte below 32 are written as "\\", "\t", "\r", "\n" and "\xHH", so that
// each line is one file. Returns false as writeListing does.
bool writeTabSeparated(const core::JobState &state, std::FILE *out);

} // namespace startup
