#pragma once

#include "platform/dir_search.h"

#include <cstdint>
#include <windows.h>

namespace platform::win32 {

// The types an identity tells apart. A reparse point (a symbolic link, a junction, any other) is
// a link: put in a file's place, it is no longer that file.
enum class EntryType : std::uint32_t {
    File = 1,
    Link = 2,
    Directory = 3,
};

// The type of an entry of the given FILE_ATTRIBUTE_* bits.
EntryType entryTypeOf(DWORD attributes);

// A FILETIME (100-nanosecond ticks since 1601) as seconds and nanoseconds since the Unix epoch;
// the seconds are rounded down, so the nanoseconds are never negative.
struct EpochTime
{
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
};
EpochTime epochTimeOf(std::int64_t fileTime);

// An entry's identity: the volume's serial number as the volume, the 64-bit file ID as its ID,
// the last-write time as the modification time, the change time, and the type. The search builds
// it from a directory entry, the deletion from the handle that deletes the file; both must give
// the same for the same unchanged file. The volume serial number is the 64-bit one of FILE_ID_INFO,
// which a directory entry does not carry: the search takes it from the directory's handle.
EntryIdentity identityOf(std::uint64_t volumeSerial, std::int64_t fileId,
    std::int64_t lastWriteTime, std::int64_t changeTime, DWORD attributes);

// The identity of an open handle, from FILE_ID_INFO and FILE_BASIC_INFO. False, with the error in
// GetLastError, when the system cannot tell them.
bool identityOfHandle(HANDLE handle, EntryIdentity &identity);

// The 64-bit file ID of a FILE_ID_INFO: the low half of its 128 bits, which on NTFS and FAT is the
// whole ID and equals the ID a directory entry gives.
std::int64_t fileIdOf(const FILE_ID_INFO &info);

} // namespace platform::win32
