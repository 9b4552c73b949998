#pragma once

namespace platform {

// What the rest of the program needs to tell apart about a failed system call, whichever system
// made it.
enum class ErrorKind : unsigned char {
    None,
    NotFound, // no entry of that name
    NotADirectory, // a component of the path, or the path itself, is no directory
    BadName, // a name too long, or a path through too many links
    AccessDenied, // refused by permissions, a read-only file system, or a directory where a file
                  // was expected
    InUse, // held by another: a lock or a sharing violation
    TooManyOpenFiles, // the process or the system has no descriptor left
    DiskFull, // no space left, or the quota used up
    NotARegularFile, // a folder, a pipe or a device where a file was to be read
    OutOfMemory,
    Other,
};

// A failed system call as it leaves `platform`: its kind, and the system's own number (errno on
// Linux, GetLastError on Windows), which the message of a kind without a name of its own shows.
struct SystemError
{
    ErrorKind kind = ErrorKind::None;
    int code = 0;

    explicit operator bool() const { return kind != ErrorKind::None; }
    bool operator==(const SystemError &) const = default;
};

// The error of the system's number `code`, 0 for none; each system defines its own map.
SystemError systemError(int code);

// The error the calling thread's last failed system call left (errno, GetLastError), and a way to
// clear it before calls that may fail without setting it (a stream's flush).
SystemError lastSystemError();
void clearLastSystemError();

// Memory ran out, as the system numbers it.
SystemError outOfMemoryError();

} // namespace platform
