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

} // namespace startup
