#pragma once

#include "platform/dir_search.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace platform {

// The status-change times this process's own removals gave to files that kept other names.
//
// Removing one name of a file with several (hard links) changes the file's status-change time,
// which the identity of each of its other names compares: they would read as changed since the
// listing. Recording the time each removal caused tells that change from any other: a name whose
// identity differs from the listed one only by a status-change time this process caused is still
// the listed file, while one rewritten, replaced or recycled after the listing is not. The walks
// of one deletion run remove names in parallel, each with its own walk; the record is shared by
// all of them, and removing a name of a file with several names, from the look at it to the
// record of the time that caused, holds the lock, so that the names of one file in different
// folders cannot be removed at once and one walk always sees the time the other caused.
class RemovedLinks
{
public:
    // Held while a name of a file with several names is looked at, removed and recorded.
    static std::unique_lock<std::mutex> lock();

    // Whether `found` (the identity under a listed name now) is the file listed as `expected`:
    // equal, or equal but for the status-change time that this process's last removal of another
    // of its names left. Call with lock() held.
    static bool isListed(const EntryIdentity &found, const EntryIdentity &expected);

    // Whether `found` is the file listed as `expected` on a system whose file IDs are never given
    // to another file while the volume lasts (NTFS: each reuse of a file record changes the
    // sequence number in the ID's top bits): equal, or equal but for the status-change time
    // after this process removed another of its names. The time itself need not be known then,
    // which the classic delete, done only when the handle closes, cannot tell. Call with lock()
    // held.
    static bool isListedById(const EntryIdentity &found, const EntryIdentity &expected);

    // Records what removing a name left of the file: `after` is its identity read from a handle
    // held across the removal, `linksLeft` how many names it still has. The record goes with the
    // file's last name. Call with lock() held.
    static void removed(const EntryIdentity &after, std::uint64_t linksLeft);

private:
    // Volume and file ID to the status-change time, seconds and nanoseconds.
    using Key = std::pair<std::uint64_t, std::uint64_t>;
    using Time = std::pair<std::int64_t, std::uint32_t>;
    static std::map<Key, Time> &times();
};

} // namespace platform
