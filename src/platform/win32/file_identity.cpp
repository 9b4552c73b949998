#include "platform/win32/file_identity.h"

#include <winternl.h>

namespace platform::win32 {

namespace {

// 100-ns intervals from 1601-01-01 to 1970-01-01, and per second.
constexpr std::int64_t kUnixEpoch = 116'444'736'000'000'000;
constexpr std::int64_t kTicksPerSecond = 10'000'000;

// A file time as seconds and nanoseconds since 1970, the way the identity holds every system's
// times; the remainder stays non-negative also for times before 1970.
void splitTime(std::int64_t fileTime, std::int64_t &seconds, std::uint32_t &nanoseconds)
{
    const std::int64_t ticks = fileTime - kUnixEpoch;
    seconds = ticks / kTicksPerSecond;
    std::int64_t rest = ticks % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    nanoseconds = static_cast<std::uint32_t>(rest * 100);
}

} // namespace

std::uint32_t entryType(DWORD attributes)
{
    return attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
}

EntryIdentity entryIdentity(std::uint32_t volumeSerial, std::uint64_t fileId,
    std::int64_t lastWriteTime, std::int64_t changeTime, DWORD attributes)
{
    EntryIdentity identity;
    identity.device = volumeSerial;
    identity.inode = fileId;
    splitTime(lastWriteTime, identity.mtimeSeconds, identity.mtimeNanoseconds);
    splitTime(changeTime, identity.ctimeSeconds, identity.ctimeNanoseconds);
    identity.type = entryType(attributes);
    return identity;
}

bool volumeSerialOf(HANDLE handle, std::uint32_t &serial)
{
    BY_HANDLE_FILE_INFORMATION file {};
    if (!GetFileInformationByHandle(handle, &file))
        return false;
    serial = file.dwVolumeSerialNumber;
    return true;
}

bool identityOf(HANDLE handle, std::uint32_t volumeSerial, EntryIdentity &identity)
{
    // The 64-bit file ID is the one a directory listing reports too (the 128-bit IDs of
    // FileIdInfo are not); times and attributes come in the basic information.
    IO_STATUS_BLOCK status {};
    FILE_INTERNAL_INFORMATION internal {};
    const NTSTATUS result = NtQueryInformationFile(
        handle, &status, &internal, sizeof internal, FileInternalInformation);
    if (result < 0) {
        SetLastError(RtlNtStatusToDosError(result));
        return false;
    }
    FILE_BASIC_INFO basic {};
    if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return false;
    identity
        = entryIdentity(volumeSerial, static_cast<std::uint64_t>(internal.IndexNumber.QuadPart),
            basic.LastWriteTime.QuadPart, basic.ChangeTime.QuadPart, basic.FileAttributes);
    return true;
}

bool identityOf(HANDLE handle, EntryIdentity &identity)
{
    std::uint32_t serial = 0;
    return volumeSerialOf(handle, serial) && identityOf(handle, serial, identity);
}

} // namespace platform::win32
