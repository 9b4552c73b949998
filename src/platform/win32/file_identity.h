#pragma once

#include "platform/dir_search.h"

#include <cstdint>
#include <windows.h>

namespace platform::win32 {

// The kind of entry as an identity records it: its directory and reparse-point attributes, so
// that a file swapped for a directory, a link or a junction differs from the file listed.
std::uint32_t entryType(DWORD attributes);

// The identity of an entry from the fields that a directory listing and an open handle both
// give: the volume's serial number, the file ID, the last-write and change times (in 100 ns
// since 1601) and the attributes. The search and the deletion both build identities here, so
// that what the one records the other finds again.
EntryIdentity entryIdentity(std::uint32_t volumeSerial, std::uint64_t fileId,
    std::int64_t lastWriteTime, std::int64_t changeTime, DWORD attributes);

// The serial number of the volume holding the entry open as `handle`. It is the same for every
// entry opened relative to a directory without following a link or junction, and reading it
// costs more than the rest of an identity (under Wine, five times as much): a walk reads it once
// for its top. False, with the thread's last error set, when the system cannot tell it.
bool volumeSerialOf(HANDLE handle, std::uint32_t &serial);

// The identity of the entry open as `handle` (opened with FILE_READ_ATTRIBUTES) on the volume
// `volumeSerial`. False, with the thread's last error set, when the system cannot tell it.
bool identityOf(HANDLE handle, std::uint32_t volumeSerial, EntryIdentity &identity);
// The same, reading the volume's serial number too.
bool identityOf(HANDLE handle, EntryIdentity &identity);

} // namespace platform::win32
