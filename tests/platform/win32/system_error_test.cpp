#include "platform/system_error.h"

#include <gtest/gtest.h>
#include <windows.h>

using platform::ErrorKind;

TEST(SystemError, MapsWin32ErrorsToTheKindsTheMessagesKnow)
{
    const struct
    {
        DWORD code;
        ErrorKind kind;
    } cases[] = {
        { ERROR_SUCCESS, ErrorKind::None },
        { ERROR_FILE_NOT_FOUND, ErrorKind::NotFound },
        { ERROR_PATH_NOT_FOUND, ErrorKind::NotFound },
        { ERROR_INVALID_NAME, ErrorKind::BadName },
        { ERROR_BAD_PATHNAME, ErrorKind::BadName },
        { ERROR_FILENAME_EXCED_RANGE, ErrorKind::BadName },
        { ERROR_DIRECTORY, ErrorKind::NotADirectory },
        { ERROR_TOO_MANY_OPEN_FILES, ErrorKind::TooManyOpenFiles },
        { ERROR_ACCESS_DENIED, ErrorKind::AccessDenied },
        { ERROR_WRITE_PROTECT, ErrorKind::AccessDenied },
        // Held by another program: the log alone turns this into its lock message.
        { ERROR_SHARING_VIOLATION, ErrorKind::InUse },
        { ERROR_LOCK_VIOLATION, ErrorKind::InUse },
        { ERROR_NOT_ENOUGH_MEMORY, ErrorKind::OutOfMemory },
        { ERROR_OUTOFMEMORY, ErrorKind::OutOfMemory },
        // A full disk keeps its own number («E/A-Fehler 112»), as does anything unnamed.
        { ERROR_DISK_FULL, ErrorKind::Other },
        { ERROR_HANDLE_DISK_FULL, ErrorKind::Other },
        { ERROR_INVALID_PARAMETER, ErrorKind::Other },
    };
    for (const auto &[code, kind] : cases) {
        const platform::SystemError error = platform::systemError(static_cast<int>(code));
        EXPECT_EQ(error.kind, kind) << "code " << code;
        EXPECT_EQ(error.code, kind == ErrorKind::None ? 0 : static_cast<int>(code));
    }
}

TEST(SystemError, ReadsAndClearsTheThreadsLastError)
{
    SetLastError(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(platform::lastSystemError(),
        (platform::SystemError { ErrorKind::InUse, ERROR_SHARING_VIOLATION }));
    platform::clearLastSystemError();
    EXPECT_FALSE(platform::lastSystemError());
    EXPECT_EQ(platform::outOfMemoryError().kind, ErrorKind::OutOfMemory);
}
