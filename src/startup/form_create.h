#pragma once

#include "core/job_state.h"

#include <string>
#include <vector>

namespace startup {

// What start-up found that its caller must act on.
struct StartupResult
{
    // "GO" or "SOFORT" was given and nothing stands in the way: the caller performs the
    // unattended run.
    bool unattendedRequested = false;
    // "/LISTE": list, print, delete nothing.
    bool listOnly = false;
    // Count mode together with subdirectories: the caller shows the notice, and the unattended
    // run does not take place.
    bool countWithSubdirectoriesNotice = false;
};

// The start-up sequence: fills `state` from the command line and from the settings file at
// `settingsPath`, and leaves `Loading` set. A conversion error in a switch is thrown as
// core::AppError; `state` then keeps what start-up had set so far (of the switches, only "/SUB",
// since the others were still being collected).
StartupResult FormCreate(core::JobState &state, const std::vector<std::string> &arguments,
    const std::string &settingsPath);

} // namespace startup
