#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// The command line `line` without the program's path at its start, as Windows itself finds the
// path: within double quotes when it begins with one, else up to the first blank or tab; the
// blanks and tabs after it are dropped too. Calls no operating system.
std::string afterProgramPath(std::string_view line);

} // namespace platform::win32
