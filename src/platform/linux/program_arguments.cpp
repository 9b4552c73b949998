#include "platform/program_arguments.h"

namespace platform {

ProgramArguments programArguments(int argc, char **argv)
{
    // The shell has split the line, and names are bytes: argv is taken as it is.
    ProgramArguments arguments;
    if (argc > 1)
        arguments.split.assign(argv + 1, argv + argc);
    return arguments;
}

} // namespace platform
