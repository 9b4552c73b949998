#pragma once

#include "platform/local_time.h"
#include "platform/system_error.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// What identifies a file system entry beyond its name: enough to tell, later, whether the entry
// found under a name is still the one that was seen. The volume and the file's number on it
// alone are not: a freed number is soon given to a new file, and its modification time can be
// set to the old one (a copy made with `cp -p`); its status-change time cannot be set back, and a
// link or a pipe put in a file's place differs in its type.
struct EntryIdentity
{
    std::uint64_t volume = 0; // the file system the entry lies on
    std::uint64_t fileId = 0; // the entry's number on that file system
    std::int64_t modifiedSeconds = 0;
    std::int64_t changedSeconds = 0;
    std::uint32_t modifiedNanoseconds = 0;
    std::uint32_t changedNanoseconds = 0;
    std::uint32_t type = 0; // what sort of entry, as the system tells it: file, link, pipe, …

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
    // Asked, when descending, as the search meets the subdirectory `name` of the directory
    // entered last, before it is opened: false passes it over with all it holds, unread and
    // unreported. Every subdirectory is entered unless the visitor says otherwise.
    virtual bool entersSubdirectory(std::string_view /*name*/) { return true; }
    // The directory entered last holds an entry the search neither reports nor enters: a link to
    // a directory, a subdirectory on another file system or one that could not be opened, or an
    // entry gone while it was being looked at.
    virtual void passedOver() { }
    virtual void file(const FileEntry &entry) = 0;
    // The directory entered last is exhausted, or could not be read further.
    virtual void leaveDirectory() = 0;
};

// How a search ended. A search that could not see everything it was asked to search says so,
// rather than pass off what it saw as the whole.
struct SearchOutcome
{
    // None when the search went through. Otherwise the system's error of what ended it:
    // `directory` itself could not be opened or read (the visitor may have seen some of its
    // entries then), or, in any directory of the search, the process or the system ran out of
    // descriptors or handles (ErrorKind::TooManyOpenFiles).
    SystemError error;
    // The directory the error concerns, ending in the path separator: `directory` itself or one
    // below it.
    std::string path;
    bool inSubdirectory = false;
};

// Searches `directory` and, when `descend` is set, every subdirectory below it, in the order the
// file system returns the entries. Links to directories are never followed below `directory`, so
// the descent always ends; it needs neither deep recursion nor an open directory per level, so
// trees tens of thousands of levels deep are searched like shallow ones, and it keeps no more
// directories open than directoriesKeptOpen() says. A subdirectory that cannot be opened or read
// for any other reason than a lack of descriptors or handles yields nothing more and the search
// goes on.
// When the search ends with an error it stops at once: directories entered are then not left. An
// empty `directory` cannot be opened (ErrorKind::NotFound); one that is no directory gives
// ErrorKind::NotADirectory.
SearchOutcome searchTree(const std::string &directory, bool descend, TreeVisitor &visitor);

} // namespace platform
