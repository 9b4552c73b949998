#include "platform/system_error.h"

#include <windows.h>

namespace platform {

SystemError systemError(int code)
{
    switch (code) {
    case 0:
        return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return { ErrorKind::NotFound, code };
    case ERROR_DIRECTORY:
        return { ErrorKind::NotADirectory, code };
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return { ErrorKind::BadName, code };
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return { ErrorKind::AccessDenied, code };
    case ERROR_TOO_MANY_OPEN_FILES:
        return { ErrorKind::TooManyOpenFiles, code };
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return { ErrorKind::OutOfMemory, code };
    default:
        // A full disk (112) and a sharing violation (32) are shown with their numbers.
        return { ErrorKind::Other, code };
    }
}

SystemError lastSystemError()
{
    return systemError(static_cast<int>(GetLastError()));
}

void clearLastSystemError()
{
    SetLastError(0);
}

SystemError outOfMemoryError()
{
    return systemError(ERROR_NOT_ENOUGH_MEMORY);
}

} // namespace platform
