#pragma once

#include "platform/dir_search.h"
#include "platform/open_levels.h"
#include "platform/system_error.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What became of a file the walk was asked to remove.
enum class Removal : unsigned char {
    Removed,
    Gone, // there was no entry of that name any more: nothing to remove
    Refused, // the system refused to remove it, or to check its directory; its error says why
    Changed, // the entry under the name is no longer the one the listing saw
    DirectoryChanged, // the current directory is no longer where the listing found it
};

struct RemoveResult
{
    Removal removal = Removal::Removed;
    SystemError error; // the system's error, for Removal::Refused
};

// What became of a move of the walk.
struct MoveResult
{
    bool moved = false;
    // Why the system refused the move (no descriptor or handle left, no permission to search a
    // directory); none when the directory was found gone, or not the listed one, or no longer in
    // its place.
    SystemError error;

    explicit operator bool() const { return moved; }
};

// Moves through a listed tree one level at a time to delete files in it. One directory is current
// at a time. Every move is checked against the identity (volume and file ID) the listing recorded,
// and no move follows a link, so a directory swapped for a link, or for another directory, since
// the listing is never entered and nothing outside the listed tree is touched. Moves work relative
// to open directories: paths of any length and depth are reached like short ones.
//
// A directory held open stays usable after it has been moved elsewhere, even out of the listed
// tree. So the walk also checks that the current directory is still reached from the listed top
// by its listed names, without following a link on the way: on every move down, the nearest
// levels; the whole chain on every move while the tree is shallow, and otherwise often enough
// that the checks cost no more than a few lookups per move; and, at any depth, at least every
// sixteen removals and once a second. The whole chain begins at the listed top, looked up again by
// its path as the listing reached it: the selected folder moved away, or its name turned into a
// link since the walk first opened it, ends the walk like any level moved.
class TreeWalk
{
public:
    // `walks`: how many walks run at once; they share the directories a walk may keep open
    // (directoriesKeptOpen).
    explicit TreeWalk(std::size_t walks = 1);
    ~TreeWalk();
    TreeWalk(const TreeWalk &) = delete;
    TreeWalk &operator=(const TreeWalk &) = delete;

    // A failed move says in its error when the system refused it rather than finding the
    // directory changed.
    //
    // Makes the listed directory at `path` current. Fails, with no directory current, when it
    // cannot be opened or is not the one listed.
    MoveResult openTop(const std::string &path, const EntryIdentity &expected);
    // Moves into the subdirectory `name` of the current directory. Fails when there is none, it
    // is not the one listed, or it cannot be opened: the current directory then stays current.
    // Fails with no directory current when the current directory itself is found no longer in
    // its place, or that check is refused.
    MoveResult enterChild(std::string_view name, const EntryIdentity &expected);
    // Moves up to the parent of the current directory. Fails, with no directory current, when
    // there is none, it is not the one listed, or it cannot be opened.
    MoveResult enterParent(const EntryIdentity &expected);

    bool hasCurrent() const;
    void close();

    // Removes the file `name` from the current directory, but only while it is still the entry
    // the listing saw (same volume, file ID, type, modification and status-change times) and the
    // current directory is still where the listing found it. Never follows a link. After
    // Removal::DirectoryChanged, and after Removal::Refused for a check of the directory, no
    // directory is current.
    RemoveResult removeFile(std::string_view name, const EntryIdentity &expected);
    // Removes the empty directory `name` from the current directory, as removeFile removes a
    // file: only while it is the directory the listing saw (same volume and file ID; its times
    // changed with what was removed from it) and the current directory is still in its place. A
    // directory that holds anything now, or anything else under the name, answers
    // Removal::Changed and stays. Never follows a link.
    RemoveResult removeDirectory(std::string_view name, const EntryIdentity &expected);

    // The system's part of the walk, to which each call above is handed: its open directories of
    // the way down and the path between them (platform/tree_walk_system.h).
    class Impl;

private:
    // `check`, the walk let go when it failed.
    MoveResult kept(const MoveResult &check);
    // Removes a file or an empty directory from the current directory, its chain checked when
    // due.
    RemoveResult removeEntry(std::string_view name, const EntryIdentity &expected, bool directory);

    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
