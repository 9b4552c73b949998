#include "platform/append_file.h"

// What an append makes of a write that failed part of the way, the same on every system: each
// system's file writes and cuts back.
namespace platform {

SystemError LockedAppendFile::append(std::string_view bytes)
{
    std::size_t done = 0;
    const SystemError error = write(bytes, done);
    if (error && done > 0)
        cutBack(done);
    return error;
}

SystemError LockedAppendFile::appendLines(std::string_view lines, std::size_t &whole)
{
    std::size_t done = 0;
    const SystemError error = write(lines, done);
    whole = lines.size();
    if (!error)
        return {};
    const std::size_t lastEnd = done == 0 ? std::string_view::npos : lines.rfind('\n', done - 1);
    whole = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
    if (done > whole)
        cutBack(done - whole);
    return error;
}

SystemError LockedAppendFile::write(std::string_view bytes, std::size_t &done)
{
    done = 0;
    while (done < bytes.size()) {
        std::size_t written = 0;
        const SystemError error = writeSome(bytes.substr(done), written);
        done += written;
        if (error)
            return error;
    }
    return {};
}

} // namespace platform
