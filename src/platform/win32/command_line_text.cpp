#include "platform/win32/command_line_text.h"

namespace platform::win32 {

std::string afterProgramPath(std::string_view line)
{
    std::size_t end = 0;
    if (line.starts_with('"')) {
        // A path in quotes ends at the next quote, however it goes on: no escape, as in the path.
        end = line.find('"', 1);
        end = end == std::string_view::npos ? line.size() : end + 1;
    } else {
        end = line.find_first_of(" \t");
        end = end == std::string_view::npos ? line.size() : end;
    }
    line.remove_prefix(end);
    const std::size_t rest = line.find_first_not_of(" \t");
    return rest == std::string_view::npos ? std::string() : std::string(line.substr(rest));
}

} // namespace platform::win32
