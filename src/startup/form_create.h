#pragma once

#include "core/job_state.h"
#include "startup/command_line.h"

#include <string>
#include <vector>

namespace startup {

// What start-up found that its caller must act on.
struct StartupResult
{
    // "GO" or "SOFORT" was given and nothing stands in the way: the caller performs the
    // unattended run.
    bool unattendedRequested = false;
    // "/LISTE": list, print, delete nothing; "/LISTE:TSV" prints the listing for scripts.
    bool listOnly = false;
    bool tabSeparated = false;
    // Count mode together with subdirectories: the caller shows the notice, and the unattended
    // run does not take place.
    bool countWithSubdirectoriesNotice = false;
    // The settings file that was read; empty when there was none.
    std::string settingsFile;
    // "/ID:" as given (0 when not given), and whether "/VERZEICHNIS:" chose the folder: what an
    // error about a missing folder names.
    std::int32_t directoryNumber = 0;
    bool directoryGiven = false;
};

// What becomes of an argument that matches no switch.
enum class UnknownArguments {
    Ignore, // the window opened for interactive use
    Refuse, // every other run: startup::RefusedArgument before anything else is done
};

// The start-up sequence: fills `state` from the command line (parsed once, by the caller) and
// from the settings file at `settingsPath` (the one findSettingsFile found; "/INI:" names
// another). "/VERZEICHNIS:" adds its folder to `Directories` and selects it. An error (a switch
// value that is no number, a settings file that cannot be read) is thrown as core::AppError;
// `state` then keeps what start-up had set so far (of the switches, only "/SUB", since the others
// were still being collected).
StartupResult FormCreate(core::JobState &state, const CommandLine &commandLine,
    const std::string &settingsPath, UnknownArguments unknown = UnknownArguments::Ignore);

} // namespace startup
