#include "core/messages.h"
#include "platform/system_error.h"

#include <cerrno>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Each system error reaches the user as one German message, whichever part of the program met
// it: the named everyday causes, and any other by the system's own number.
TEST(FileError, GivesEachSystemErrorItsMessage)
{
#ifdef _WIN32
    // Windows' own numbers: a missing file or folder, a bad or too long name, a file where a
    // folder was expected, too many open files, a refused access or a write-protected medium,
    // and those without a message of their own (another's lock, memory, a full disk, the rest).
    const std::pair<int, const char *> cases[] = {
        { ERROR_FILE_NOT_FOUND, "Ungültiger Dateiname" },
        { ERROR_PATH_NOT_FOUND, "Ungültiger Dateiname" },
        { ERROR_INVALID_NAME, "Ungültiger Dateiname" },
        { ERROR_BAD_PATHNAME, "Ungültiger Dateiname" },
        { ERROR_FILENAME_EXCED_RANGE, "Ungültiger Dateiname" },
        { ERROR_DIRECTORY, "Ungültiger Dateiname" },
        { ERROR_TOO_MANY_OPEN_FILES, "Zu viele geöffnete Dateien" },
        { ERROR_ACCESS_DENIED, "Dateizugriff verweigert" },
        { ERROR_WRITE_PROTECT, "Dateizugriff verweigert" },
        { ERROR_SHARING_VIOLATION, "E/A-Fehler 32" },
        { ERROR_LOCK_VIOLATION, "E/A-Fehler 33" },
        { ERROR_OUTOFMEMORY, "E/A-Fehler 14" },
        { ERROR_DISK_FULL, "E/A-Fehler 112" },
        { ERROR_HANDLE_DISK_FULL, "E/A-Fehler 39" },
        { ERROR_INVALID_PARAMETER, "E/A-Fehler 87" },
        { 0, "E/A-Fehler 0" },
    };
#else
    const std::pair<int, const char *> cases[] = {
        { ENOENT, "Ungültiger Dateiname" },
        { ENOTDIR, "Ungültiger Dateiname" },
        { ENAMETOOLONG, "Ungültiger Dateiname" },
        { ELOOP, "Ungültiger Dateiname" },
        { EACCES, "Dateizugriff verweigert" },
        { EPERM, "Dateizugriff verweigert" },
        { EISDIR, "Dateizugriff verweigert" },
        { EROFS, "Dateizugriff verweigert" },
        { EMFILE, "Zu viele geöffnete Dateien" },
        { ENFILE, "Zu viele geöffnete Dateien" },
        { ENOSPC, "Zu wenig Speicherplatz" },
        { EDQUOT, "Zu wenig Speicherplatz" },
        // The number is the system's, not that of a named message: EIO is 5 on Linux, the
        // number Windows gives a refused access.
        { EIO, "E/A-Fehler 5" },
        { ENOMEM, "E/A-Fehler 12" },
        { EBUSY, "E/A-Fehler 16" },
        { 0, "E/A-Fehler 0" },
    };
#endif
    for (const auto &[code, message] : cases)
        EXPECT_EQ(core::messages::fileError(platform::systemError(code)), message) << code;
#ifdef _WIN32
    EXPECT_EQ(core::messages::fileError(platform::outOfMemoryError()), "E/A-Fehler 8");
#else
    EXPECT_EQ(core::messages::fileError(platform::outOfMemoryError()), "E/A-Fehler 12");
#endif
    EXPECT_EQ(core::messages::fileError({ platform::ErrorKind::NotARegularFile, 0 }),
        "Keine gewöhnliche Datei");
#ifdef _WIN32
    // The log's write that wrote less than it was given: its own code, 101, with the message
    // of a full disk.
    EXPECT_EQ(core::messages::fileError({ platform::ErrorKind::DiskFull, 101 }),
        "Zu wenig Speicherplatz");
#endif
}

} // namespace
