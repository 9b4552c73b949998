// The calling thread's last error, which no failure a user sees reaches on its own: a write
// that fails without setting it must not report an earlier one.
#include "platform/system_error.h"

#include <gtest/gtest.h>
#include <windows.h>

using platform::ErrorKind;

TEST(SystemError, ReadsAndClearsTheThreadsLastError)
{
    SetLastError(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(platform::lastSystemError(),
        (platform::SystemError { ErrorKind::InUse, ERROR_SHARING_VIOLATION }));
    platform::clearLastSystemError();
    EXPECT_FALSE(platform::lastSystemError());
    EXPECT_EQ(platform::outOfMemoryError().kind, ErrorKind::OutOfMemory);
}
