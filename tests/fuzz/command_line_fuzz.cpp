// Feeds arbitrary bytes to the command line as a whole: split into arguments, scanned for what
// they ask, and applied as switches. No input may crash it; an input that is refused for an
// unknown argument never asks for the unattended run by accident of its letters, and only whole
// words ask for it at all.
#include "core/errors.h"
#include "platform/text.h"
#include "startup/command_line.h"
#include "startup/integer_syntax.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool isRunWord(std::string upper)
{
    if (!upper.empty() && upper.front() == '/')
        upper.erase(0, 1);
    return upper == "GO" || upper == "SOFORT";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> arguments = startup::splitCommandLine(line);
    for (const std::string &argument : arguments) {
        if (argument.empty())
            std::abort(); // the splitting never yields an empty argument
    }
    const startup::Requests requests = startup::scanRequests(arguments);
    bool wholeWord = false;
    for (const std::string &argument : arguments)
        wholeWord = wholeWord || isRunWord(platform::upperAscii(argument));
    if (requests.unattended != wholeWord)
        std::abort();

    startup::SwitchResults results;
    try {
        startup::applySwitches(arguments, results);
    } catch (const core::AppError &) {
        return 0;
    }
    if (results.unattended != requests.unattended || results.listOnly != requests.listOnly)
        std::abort();
    return 0;
}
