#include "platform/append_file.h"

#include <algorithm>

// What an append makes of a write that failed part of the way, the same on every system: each
// system's file writes and cuts back.
namespace platform {

SystemError LockedAppendFile::append(std::string_view text)
{
    const std::string_view bytes = encoded(text);
    std::size_t done = 0;
    const SystemError error = write(bytes, done);
    if (error && done > 0)
        cutBack(done);
    return error;
}

SystemError LockedAppendFile::appendLines(std::string_view lines, std::size_t &whole)
{
    const std::string_view bytes = encoded(lines);
    std::size_t done = 0;
    const SystemError error = write(bytes, done);
    whole = lines.size();
    if (!error)
        return {};
    const std::size_t lastEnd = done == 0 ? std::string_view::npos : bytes.rfind('\n', done - 1);
    const std::size_t wholeBytes = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
    if (done > wholeBytes)
        cutBack(done - wholeBytes);
    // The same lines of the text given: an encoding keeps every line end where it is.
    auto lineCount = std::count(bytes.begin(), bytes.begin() + static_cast<long>(wholeBytes), '\n');
    whole = 0;
    while (lineCount-- > 0)
        whole = lines.find('\n', whole) + 1;
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
