#include "platform/profile_file.h"
#include "platform/win32/profile_text.h"

namespace platform {

// The parser is the same on every system; only reading the file and its encodings are Windows'.
std::optional<ProfileFile> ProfileFile::load(const std::string &path, SystemError &error)
{
    const auto text = win32::readProfileText(path, error);
    if (!text)
        return std::nullopt;
    return parse(*text);
}

} // namespace platform
