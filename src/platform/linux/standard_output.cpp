#include "platform/standard_output.h"

#include "platform/system_error.h"

namespace platform {

void joinStartingConsole() { }

bool writeOutput(std::FILE *stream, std::string_view text)
{
    clearLastSystemError();
    return std::fwrite(text.data(), 1, text.size(), stream) == text.size()
        && std::fflush(stream) == 0;
}

} // namespace platform
