#include "core/directory_cursor.h"

#include <string_view>

namespace core {

DirectoryCursor::DirectoryCursor(const ListingTable &table, std::size_t walks)
    : m_table(table)
    , m_walk(walks)
    , m_depth(table.directoryCount())
    , m_unreachable(table.directoryCount(), false)
{
    // A directory is added after its parent, so each depth is known when it is needed.
    for (std::uint32_t i = 0; i < m_depth.size(); ++i) {
        const std::uint32_t parent = parentOf(i);
        m_depth[i] = parent == ListingTable::kNoParent ? 0 : m_depth[parent] + 1;
    }
}

platform::RemoveResult DirectoryCursor::removeRow(std::size_t row)
{
    return removeIn(m_table.fileDirectory(row),
        [&] { return m_walk.removeFile(m_table.fileName(row), m_table.fileIdentity(row)); });
}

platform::RemoveResult DirectoryCursor::removeFolder(std::uint32_t index)
{
    const ListingTable::Directory &folder = m_table.directory(index);
    return removeIn(folder.parent, [&] {
        std::string_view name = folder.name;
        name.remove_suffix(1); // the "/" that ends every directory's name
        return m_walk.removeDirectory(name, folder.identity);
    });
}

template <typename Remove>
platform::RemoveResult DirectoryCursor::removeIn(std::uint32_t directory, const Remove &remove)
{
    const platform::MoveResult moved = moveTo(directory);
    if (moved.error)
        return { platform::Removal::Refused, moved.error };
    if (!moved)
        return { platform::Removal::DirectoryChanged, {} };
    const platform::RemoveResult result = remove();
    // The walk has let go of a directory no longer where it was listed.
    if (result.removal == platform::Removal::DirectoryChanged)
        m_unreachable[m_current] = true;
    return result;
}

// Makes `target` current; fails when it cannot be reached as it was listed, or the system refused
// a move on the way.
platform::MoveResult DirectoryCursor::moveTo(std::uint32_t target)
{
    if (m_unreachable[target])
        return {};
    if (m_walk.hasCurrent() && target == m_current)
        return { true, {} };
    if (m_walk.hasCurrent()) {
        const platform::MoveResult followed = follow(target);
        if (followed || followed.error)
            return followed;
    }
    // Unreachable below a directory reached, or found so on the way: no second try.
    if (m_unreachable[target])
        return {};
    return fromTop(target);
}

// Notes `index` as a directory to enter on the way down to the target, unless it is known
// unreachable: then so are the target and every directory noted before it.
bool DirectoryCursor::note(std::uint32_t index)
{
    if (m_unreachable[index]) {
        markNoted(m_downward.size());
        return false;
    }
    m_downward.push_back(index);
    return true;
}

// Marks the first `count` directories noted (the target and those above it) unreachable.
void DirectoryCursor::markNoted(std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        m_unreachable[m_downward[i]] = true;
}

// From the current directory over the common ancestor to `target`.
platform::MoveResult DirectoryCursor::follow(std::uint32_t target)
{
    std::uint32_t up = m_current;
    std::uint32_t down = target;
    m_downward.clear();
    while (m_depth[up] > m_depth[down])
        up = parentOf(up);
    while (m_depth[down] > m_depth[up]) {
        if (!note(down))
            return {};
        down = parentOf(down);
    }
    while (up != down) {
        if (!note(down))
            return {};
        up = parentOf(up);
        down = parentOf(down);
        if (up == ListingTable::kNoParent || down == ListingTable::kNoParent)
            return {}; // under another listed top
    }
    while (m_current != up) {
        const std::uint32_t parent = parentOf(m_current);
        const platform::MoveResult moved = m_walk.enterParent(m_table.directory(parent).identity);
        if (!moved)
            return moved;
        m_current = parent;
    }
    return descend();
}

// From the listed directory at the top of `target`'s chain down to `target`.
platform::MoveResult DirectoryCursor::fromTop(std::uint32_t target)
{
    m_downward.clear();
    std::uint32_t top = target;
    while (parentOf(top) != ListingTable::kNoParent) {
        if (!note(top))
            return {};
        top = parentOf(top);
    }
    const ListingTable::Directory &record = m_table.directory(top);
    const platform::MoveResult opened = m_unreachable[top]
        ? platform::MoveResult {}
        : m_walk.openTop(record.name, record.identity);
    if (!opened) {
        if (!opened.error) {
            m_unreachable[top] = true;
            markNoted(m_downward.size());
        }
        return opened;
    }
    m_current = top;
    return descend();
}

// Down the directories noted, the one below the current first.
platform::MoveResult DirectoryCursor::descend()
{
    for (std::size_t i = m_downward.size(); i-- > 0;) {
        const ListingTable::Directory &record = m_table.directory(m_downward[i]);
        std::string_view name = record.name;
        name.remove_suffix(1); // the "/" that ends every directory's name
        const platform::MoveResult entered = m_walk.enterChild(name, record.identity);
        if (!entered) {
            if (!entered.error)
                markNoted(i + 1);
            return entered;
        }
        m_current = m_downward[i];
    }
    return { true, {} };
}

} // namespace core
