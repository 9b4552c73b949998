#include "platform/program_arguments.h"

#include "platform/win32/command_line_text.h"
#include "platform/win32/wide_text.h"

#include <windows.h>

namespace platform {

ProgramArguments programArguments(int, char **)
{
    // argv is the C runtime's split in the ANSI code page: it loses every character the code
    // page lacks and reads quotes otherwise. The wide command line keeps both.
    const wchar_t *line = GetCommandLineW();
    ProgramArguments arguments;
    arguments.unsplit = win32::afterProgramPath(win32::utf8FromWide(line ? line : L""));
    return arguments;
}

} // namespace platform
