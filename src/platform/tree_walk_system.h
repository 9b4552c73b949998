#pragma once

#include "platform/chain_checks.h"
#include "platform/clock.h"
#include "platform/open_levels.h"
#include "platform/tree_walk.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// What each system implements of a TreeWalk: its open directories of the way down and the path
// between them. The walk's calls are handed to it; the chain checks that every move and removal
// owes, and what a failed one leaves, are the same on every system and kept here and in
// tree_walk.cpp.
class TreeWalk::Impl
{
public:
    // One of `walks` walks running at once (directoriesKeptOpenPerWalk).
    explicit Impl(std::size_t walks)
        : m_openLevels(directoriesKeptOpenPerWalk(walks))
    {
    }
    virtual ~Impl() = default;
    Impl(const Impl &) = delete;
    Impl &operator=(const Impl &) = delete;

    // TreeWalk's calls, but for the chain checks: a move that succeeds here is checked by the
    // caller, and removeFile is called only with a directory current whose chain was checked
    // when due; so is removeDirectory.
    virtual MoveResult openTop(const std::string &path, const EntryIdentity &expected) = 0;
    virtual MoveResult enterChild(std::string_view name, const EntryIdentity &expected) = 0;
    virtual MoveResult enterParent(const EntryIdentity &expected) = 0;
    virtual bool hasCurrent() const = 0;
    virtual void close() = 0;
    virtual RemoveResult removeFile(std::string_view name, const EntryIdentity &expected) = 0;
    virtual RemoveResult removeDirectory(std::string_view name, const EntryIdentity &expected) = 0;

    // Whether the current directory is still reached by its listed names: from the listed top,
    // looked up again by its path, when `whole`, else from the open directory a few levels up.
    virtual MoveResult inPlace(bool whole) = 0;
    // How many levels below the listed top the current directory lies.
    virtual std::size_t depth() const = 0;

    // Counts one move or removal; true when the whole chain is due to be checked.
    bool checkWhenDue(bool move) { return m_checks.due(move, depth(), monotonicMilliseconds()); }
    // Lets the walk go when `check` failed, and tells why.
    RemoveResult lostPlace(const MoveResult &check)
    {
        close();
        if (check.error)
            return { Removal::Refused, check.error };
        return { Removal::DirectoryChanged, {} };
    }

    static std::unique_ptr<Impl> forSystem(std::size_t walks);

protected:
    const std::size_t m_openLevels; // how many directories of the way down stay open at most
    ChainChecks m_checks;
};

} // namespace platform
