#include "platform/system_error.h"

#include <cerrno>

namespace platform {

SystemError systemError(int code)
{
    switch (code) {
    case 0:
        return {};
    case ENOENT:
        return { ErrorKind::NotFound, code };
    case ENOTDIR:
        return { ErrorKind::NotADirectory, code };
    case ENAMETOOLONG:
    case ELOOP:
        return { ErrorKind::BadName, code };
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return { ErrorKind::AccessDenied, code };
    case EMFILE:
    case ENFILE:
        return { ErrorKind::TooManyOpenFiles, code };
    case ENOSPC:
    case EDQUOT:
        return { ErrorKind::DiskFull, code };
    case ENOMEM:
        return { ErrorKind::OutOfMemory, code };
    default:
        // Busy files (EBUSY, ETXTBSY) are no lock of another run here: only the log's lock,
        // which its own code reports, is.
        return { ErrorKind::Other, code };
    }
}

SystemError lastSystemError()
{
    return systemError(errno);
}

void clearLastSystemError()
{
    errno = 0;
}

SystemError outOfMemoryError()
{
    return systemError(ENOMEM);
}

} // namespace platform
