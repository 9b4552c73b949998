#pragma once

#include <string>
#include <string_view>

namespace platform {

// A file opened for appending and held under an exclusive lock, so that two runs never write it
// at once. Every append is handed to the system at once: a failure shows at the write where it
// happens, and a killed run leaves everything written before. Errors are returned as the system's
// error numbers, 0 for success.
class LockedAppendFile
{
public:
    // Another run holds the lock.
    static constexpr int kLockedByAnother = 32;
    // Paths longer than this are refused before anything is opened.
    static constexpr std::size_t kMaxPathLength = 4095;

    LockedAppendFile() = default;
    ~LockedAppendFile();
    LockedAppendFile(const LockedAppendFile &) = delete;
    LockedAppendFile &operator=(const LockedAppendFile &) = delete;

    // Opens `path` for appending, creating it (mode 0666 less the umask) when it is missing.
    int open(const std::string &path);
    // Writes all of `bytes` at the end of the file.
    int append(std::string_view bytes);
    // Releases the lock and closes; nothing is synced to the disk beyond what the system does.
    int close();

private:
    int m_fd = -1;
};

} // namespace platform
