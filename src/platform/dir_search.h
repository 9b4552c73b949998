#pragma once

#include "platform/local_time.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// What identifies a file system entry beyond its name: enough to tell, later, whether the entry
// found under a name is still the one that was seen. Device and inode alone are not: a freed
// inode is soon given to a new file, and its modification time can be set to the old one (a
// copy made with `cp -p`); its status-change time cannot be set back, and a link or a pipe put
// in a file's place differs in its type.
struct EntryIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t mtimeSeconds = 0;
    std::int64_t ctimeSeconds = 0;
    std::uint32_t mtimeNanoseconds = 0;
    std::uint32_t ctimeNanoseconds = 0;
    std::uint32_t type = 0; // the type bits of the mode: file, link, pipe, …

    bool operator==(const EntryIdentity &) const = default;
};

// One file of a directory, as the search reports it. Names are bytes, never re-encoded; the view
// is valid only during the call that reports it.
struct FileEntry
{
    std::string_view name;
    std::uint64_t sizeBytes = 0;
    LocalTime modified; // local time at two-second resolution
    EntryIdentity identity;
};

// Receives a directory search in depth-first order. Every entry but "." and ".." is a file or a
// directory: a directory, or a link whose target is a directory, counts as a directory; anything
// else (a regular file, a link to a file, a dangling link, a pipe, a socket) is a file, with the
// link's own time and size. Directories are never reported as files.
class TreeVisitor
{
public:
    virtual ~TreeVisitor() = default;

    // A directory has been opened: first the searched directory itself (with an empty name),
    // then, when descending, each subdirectory at the point where the search meets it.
    virtual void enterDirectory(std::string_view name, const EntryIdentity &identity) = 0;
    virtual void file(const FileEntry &entry) = 0;
    // The directory entered last is exhausted, or could not be read further.
    virtual void leaveDirectory() = 0;
};

// Searches `directory` and, when `descend` is set, every subdirectory below it, in the order the
// file system returns the entries. Links to directories are never followed below `directory`, so
// the descent always ends; it needs neither deep recursion nor a descriptor per level, so trees
// tens of thousands of levels deep are searched like shallow ones. A subdirectory that cannot be
// opened or read yields nothing and the search goes on.
// Returns false, having reported nothing, when `directory` itself cannot be opened as a directory
// (an empty path included).
bool searchTree(const std::string &directory, bool descend, TreeVisitor &visitor);

} // namespace platform
