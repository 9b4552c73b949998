#include "core/messages.h"
#include "platform/system_error.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

// Each system error reaches the user as one German message, whichever part of the program met
// it: the named everyday causes, and any other by the system's own number.
TEST(FileError, GivesEachSystemErrorItsMessage)
{
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
    for (const auto &[code, message] : cases)
        EXPECT_EQ(core::messages::fileError(platform::systemError(code)), message) << code;
    EXPECT_EQ(core::messages::fileError(platform::outOfMemoryError()), "E/A-Fehler 12");
    EXPECT_EQ(core::messages::fileError({ platform::ErrorKind::NotARegularFile, 0 }),
        "Keine gewöhnliche Datei");
}

} // namespace
