#pragma once

#include "platform/system_error.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A file opened for appending and held under an exclusive lock, so that two runs never write it
// at once. Every append is handed to the system at once: a failure shows at the write where it
// happens, and a killed run leaves everything written before. Each call returns the system's
// error, none for success; a lock held by another run is ErrorKind::InUse. Text is given in UTF-8
// and written in the file's encoding: on Linux as it is, on Windows in the encoding the log
// already has, a new one in the system's ANSI code page (see win32/log_encoding.h).
class LockedAppendFile
{
public:
    // Paths longer than this are refused before anything is opened.
    static constexpr std::size_t kMaxPathLength = 4095;

    LockedAppendFile();
    ~LockedAppendFile();
    LockedAppendFile(const LockedAppendFile &) = delete;
    LockedAppendFile &operator=(const LockedAppendFile &) = delete;

    // Opens `path` for appending, creating it (mode 0666 less the umask) when it is missing.
    SystemError open(const std::string &path);
    // Writes all of `bytes` at the end of the file. When only a part of them could be written
    // (the disk full, the file size limit reached), the file is cut back to its size before,
    // so that it never ends in a torn line.
    SystemError append(std::string_view bytes);
    // Writes `lines`, each ending in "\n", at the end of the file in one go. When only a part of
    // them could be written, the file is cut back to the end of the last whole line written, and
    // `whole` tells how many bytes of `lines` that is; after a success, all of them.
    SystemError appendLines(std::string_view lines, std::size_t &whole);
    // Releases the lock and closes; nothing is synced to the disk beyond what the system does.
    SystemError close();

private:
    // `text` in the file's encoding, made in `m_encoded` when that differs from UTF-8.
    std::string_view encoded(std::string_view text);
    // Writes `bytes`; `done` tells how many were written, also when the write failed.
    SystemError write(std::string_view bytes, std::size_t &done);
    // Hands `bytes` (not empty) to the system once; `written` tells how many it took, at least one
    // unless it failed.
    SystemError writeSome(std::string_view bytes, std::size_t &written);
    // Removes the last `written` bytes, the part of an append that failed.
    void cutBack(std::size_t written);

    // The open file as the system holds it, defined by each system's implementation; none while
    // closed.
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    std::string m_encoded;
};

} // namespace platform
