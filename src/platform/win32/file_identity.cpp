#include "platform/win32/file_identity.h"

#include <cstring>

namespace platform::win32 {

namespace {

// FILETIME's ticks from 1601-01-01 to 1970-01-01, and per second.
constexpr std::int64_t kEpochTicks = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10000000;

} // namespace

EntryType entryTypeOf(DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return EntryType::Link;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return EntryType::Directory;
    return EntryType::File;
}

EpochTime epochTimeOf(std::int64_t fileTime)
{
    const std::int64_t ticks = fileTime - kEpochTicks;
    std::int64_t seconds = ticks / kTicksPerSecond;
    std::int64_t rest = ticks % kTicksPerSecond;
    if (rest < 0) {
        --seconds;
        rest += kTicksPerSecond;
    }
    return { seconds, static_cast<std::uint32_t>(rest * 100) };
}

EntryIdentity identityOf(std::uint64_t volumeSerial, std::int64_t fileId,
    std::int64_t lastWriteTime, std::int64_t changeTime, DWORD attributes)
{
    const EpochTime modified = epochTimeOf(lastWriteTime);
    const EpochTime changed = epochTimeOf(changeTime);
    EntryIdentity identity;
    identity.volume = volumeSerial;
    identity.fileId = static_cast<std::uint64_t>(fileId);
    identity.modifiedSeconds = modified.seconds;
    identity.modifiedNanoseconds = modified.nanoseconds;
    identity.changedSeconds = changed.seconds;
    identity.changedNanoseconds = changed.nanoseconds;
    identity.type = static_cast<std::uint32_t>(entryTypeOf(attributes));
    return identity;
}

std::int64_t fileIdOf(const FILE_ID_INFO &info)
{
    std::int64_t id = 0;
    std::memcpy(&id, info.FileId.Identifier, sizeof id);
    return id;
}

bool identityOfHandle(HANDLE handle, EntryIdentity &identity)
{
    FILE_ID_INFO id {};
    FILE_BASIC_INFO basic {};
    if (!GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)
        || !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return false;
    identity = identityOf(id.VolumeSerialNumber, fileIdOf(id), basic.LastWriteTime.QuadPart,
        basic.ChangeTime.QuadPart, basic.FileAttributes);
    return true;
}

} // namespace platform::win32
