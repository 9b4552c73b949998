#include "platform/win32/file_identity.h"

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

bool identityOf(HANDLE handle, EntryIdentity &identity)
{
    // The volume's 32-bit serial number and the 64-bit file ID are what a directory listing
    // reports too (the 128-bit IDs of FileIdInfo are not); the change time only the basic
    // information has.
    BY_HANDLE_FILE_INFORMATION file {};
    FILE_BASIC_INFO basic {};
    if (!GetFileInformationByHandle(handle, &file)
        || !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return false;
    identity = entryIdentity(file.dwVolumeSerialNumber,
        (static_cast<std::uint64_t>(file.nFileIndexHigh) << 32) | file.nFileIndexLow,
        basic.LastWriteTime.QuadPart, basic.ChangeTime.QuadPart, basic.FileAttributes);
    return true;
}

} // namespace platform::win32
