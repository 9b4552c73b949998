#pragma once

#include "core/listing_table.h"
#include "platform/tree_walk.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace core {

// Keeps the walk's current directory on the directory of the row being deleted, moving along the
// table's tree of directories: up to the nearest common ancestor, then down, a level at a time.
// A directory found unreachable as listed stays so for the run, and so does every directory
// below it: their rows are passed over without a lookup, and a row is never the reason to climb
// from the top again through a chain already known broken. A move the system refused (no
// descriptor left, no permission) marks nothing: the next row tries again. Each deleting thread
// has a cursor of its own.
class DirectoryCursor
{
public:
    // `walks`: how many cursors move through the tree at once.
    DirectoryCursor(const ListingTable &table, std::size_t walks);

    // Deletes the file of row `row` from its directory, moving there first. A directory that
    // cannot be reached as listed answers Removal::DirectoryChanged, a move the system refused
    // Removal::Refused with its error.
    platform::RemoveResult removeRow(std::size_t row);
    // Removes the empty directory `index` from its parent, moving there first, as removeRow does.
    platform::RemoveResult removeFolder(std::uint32_t index);

private:
    // Removes an entry of directory `directory`, moving there first.
    template <typename Remove>
    platform::RemoveResult removeIn(std::uint32_t directory, const Remove &remove);
    platform::MoveResult moveTo(std::uint32_t target);
    std::uint32_t parentOf(std::uint32_t index) const { return m_table.directory(index).parent; }
    bool note(std::uint32_t index);
    void markNoted(std::size_t count);
    platform::MoveResult follow(std::uint32_t target);
    platform::MoveResult fromTop(std::uint32_t target);
    platform::MoveResult descend();

    const ListingTable &m_table;
    platform::TreeWalk m_walk;
    std::vector<std::uint32_t> m_depth;
    std::vector<bool> m_unreachable;
    // The directories to enter on the way down, the target first.
    std::vector<std::uint32_t> m_downward;
    std::uint32_t m_current = ListingTable::kNoParent;
};

} // namespace core
