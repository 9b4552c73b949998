#pragma once

#include "core/errors.h"
#include "platform/locale_formats.h"
#include "platform/system_log.h"
#include "startup/command_line.h"

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace startup {

// The program without a window: start-up, then either the unattended run (with "GO" or "SOFORT",
// unless "/LISTE" is given) or the listing printed to `out`. `settingsPath` is the settings file
// the search found (empty when none). Errors and notices go to `err` as one line each,
// "Ablagekehrer: ", the path the error concerns and ": " where there is one, and the message; each
// listed file that stayed gets such a line too. Returns the process's exit code: 0; 1 after any
// error or when a listed file stayed; 2 for an argument that matches no switch, refused before
// anything was listed, deleted or logged.
// An unattended run ("GO" or "SOFORT" without "/LISTE") also hands each of its error lines, without
// its line end, to `events`: the program gives platform::reportEvent, so that a run of the Task
// Scheduler leaves its reasons in the event log; a file that stayed is a warning there.
using EventSink = std::function<void(platform::EventKind, std::string_view)>;
int runHeadless(const CommandLine &commandLine, const std::string &settingsPath,
    const platform::LocaleFormats &formats, std::FILE *out, std::FILE *err,
    const EventSink &events = {});

// The lines of `error` on `err`, as the program without a window writes them: its message with the
// path it concerns, then each of its notes.
void reportError(std::FILE *err, const core::AppError &error);

} // namespace startup
