#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The arguments the program was started with, as the system hands them over, in UTF-8; the
// program's own path is never among them. Linux hands over the arguments the shell has split.
// Windows hands over one text, which the program splits by its own rule (quotes group, and there
// is no escape), not by the C runtime's.
struct ProgramArguments
{
    // The arguments, when the system has split them.
    std::vector<std::string> split;
    // The command line after the program's path, when the program has to split it itself.
    std::optional<std::string> unsplit;
};

// The arguments of this process; `argc` and `argv` are main's, used where the system splits.
ProgramArguments programArguments(int argc, char **argv);

} // namespace platform
