#pragma once

#include "platform/dir_search.h"
#include "platform/system_error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What became of a file the walk was asked to remove.
enum class Removal : unsigned char {
    Removed,
    Gone, // there was no entry of that name any more: nothing to remove
    Refused, // the system refused to remove it; its error says why
    Changed, // the entry under the name is no longer the one the listing saw
    DirectoryChanged, // the current directory is no longer where the listing found it
};

struct RemoveResult
{
    Removal removal = Removal::Removed;
    SystemError error; // the system's error, for Removal::Refused
};

// Moves through a listed tree one level at a time to delete files in it. One directory is current
// at a time. Every move is checked against the identity (device and inode) the listing recorded,
// and no move follows a link, so a directory swapped for a link, or for another directory, since
// the listing is never entered and nothing outside the listed tree is touched. Moves work relative
// to open directories: paths of any length and depth are reached like short ones.
//
// A directory held open stays usable after it has been moved elsewhere, even out of the listed
// tree. So the walk also checks that the current directory is still reached from the listed top
// by its listed names, without following a link on the way: on every move down, the nearest
// levels; the whole chain on every move while the tree is shallow, and otherwise often enough
// that the checks cost no more than a few lookups per move; and while the walk stays in a
// directory, at least every sixteen removals and once a second.
class TreeWalk
{
public:
    // `walks`: how many walks run at once; they share the descriptors a walk may keep open.
    explicit TreeWalk(std::size_t walks = 1);
    ~TreeWalk();
    TreeWalk(const TreeWalk &) = delete;
    TreeWalk &operator=(const TreeWalk &) = delete;

    // Makes the listed directory at `path` current. False, with no directory current, when it
    // cannot be opened or is not the one listed.
    bool openTop(const std::string &path, const EntryIdentity &expected);
    // Moves into the subdirectory `name` of the current directory. False when there is none or
    // it is not the one listed: the current directory then stays current. False with no
    // directory current when the current directory itself is found no longer in its place.
    bool enterChild(std::string_view name, const EntryIdentity &expected);
    // Moves up to the parent of the current directory. False, with no directory current, when
    // there is none or it is not the one listed.
    bool enterParent(const EntryIdentity &expected);

    bool hasCurrent() const { return !m_levels.empty(); }
    void close();

    // Removes the file `name` from the current directory, but only while it is still the entry
    // the listing saw (same device, inode, type, modification and status-change times) and the
    // current directory is still where the listing found it. Never follows a link. After
    // Removal::DirectoryChanged no directory is current.
    RemoveResult removeFile(std::string_view name, const EntryIdentity &expected);

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
    void popName();
    // Whether the current directory is still reached by its listed names: from the listed top
    // when `whole`, else from the open directory a few levels up.
    bool inPlace(bool whole);
    // Counts one move or removal; true when the whole chain is due to be checked.
    bool checkWhenDue(bool move);

    // The current directory last, and above it the directories it was entered from, so that a
    // move up needs no lookup; only the nearest few are kept open, however deep the tree is.
    std::vector<Level> m_levels;
    std::size_t m_openLevels; // how many of them stay open at most
    // The listed top, open for the walk's whole stay in its tree, and the path from it to the
    // current directory: names joined by "/", each starting at its offset.
    int m_topFd = -1;
    std::string m_path;
    std::vector<std::size_t> m_nameStarts;
    // Moves and removals since the whole chain was last checked, a move weighing as much as
    // the removals allowed between checks, and when that was.
    std::uint64_t m_weightSinceCheck = 0;
    std::int64_t m_checkedAtMs = 0;
    std::string m_name; // a NUL-terminated copy of the name being used
};

} // namespace platform
