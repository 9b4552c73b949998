#pragma once

#include "platform/locale_formats.h"

#include <cstdio>
#include <string>
#include <vector>

namespace startup {

// The program without a window: start-up, then either the unattended run (with "GO" or "SOFORT",
// unless "/LISTE" is given) or the listing printed to `out`. Errors and notices
// go to `err` as one line, "Ablagekehrer: " and the message. Returns the process's exit code:
// 0, or 1 after any error.
int runHeadless(const std::vector<std::string> &arguments, const std::string &settingsPath,
    const platform::LocaleFormats &formats, std::FILE *out, std::FILE *err);

} // namespace startup
