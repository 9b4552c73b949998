#pragma once

#include "platform/dir_search.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Moves through a listed tree one level at a time to delete files in it. One directory is current
// at a time. Every move is checked against the identity (device and inode) the listing recorded,
// and no move follows a link, so a directory swapped for a link, or for another directory, since
// the listing is never entered and nothing outside the listed tree is touched. Moves work relative
// to open directories: paths of any length and depth are reached like short ones.
class TreeWalk
{
public:
    TreeWalk() = default;
    ~TreeWalk();
    TreeWalk(const TreeWalk &) = delete;
    TreeWalk &operator=(const TreeWalk &) = delete;

    // Makes the listed directory at `path` current. False, with no directory current, when it
    // cannot be opened or is not the one listed.
    bool openTop(const std::string &path, const EntryIdentity &expected);
    // Moves into the subdirectory `name` of the current directory, or up to its parent. False,
    // with no directory current, when there is none or it is not the one listed.
    bool enterChild(std::string_view name, const EntryIdentity &expected);
    bool enterParent(const EntryIdentity &expected);

    bool hasCurrent() const { return !m_levels.empty(); }
    void close();

    // Removes the file `name` from the current directory, but only while it is still the entry
    // the listing saw: same device, inode and modification time, and not a directory. Never
    // follows a link. True when the entry was removed.
    bool removeFile(std::string_view name, const EntryIdentity &expected);

private:
    // An open directory of the way down, checked when it was entered.
    struct Level
    {
        int fd = -1;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };

    bool push(int fd, const EntryIdentity &expected);
    int currentFd() const { return m_levels.empty() ? -1 : m_levels.back().fd; }

    // The current directory last, and above it the directories it was entered from, so that a
    // move up needs no lookup; only the nearest few are kept open, however deep the tree is.
    std::vector<Level> m_levels;
    std::string m_name; // a NUL-terminated copy of the name being used
};

} // namespace platform
