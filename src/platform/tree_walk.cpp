#include "platform/tree_walk.h"

#include "platform/tree_walk_system.h"

namespace platform {

TreeWalk::TreeWalk(std::size_t walks)
    : m_impl(Impl::forSystem(walks))
{
}

TreeWalk::~TreeWalk() = default;

MoveResult TreeWalk::openTop(const std::string &path, const EntryIdentity &expected)
{
    return m_impl->openTop(path, expected);
}

MoveResult TreeWalk::enterChild(std::string_view name, const EntryIdentity &expected)
{
    const MoveResult child = m_impl->enterChild(name, expected);
    if (!child) {
        // A child not found may mean that the current directory itself has moved away: Wine
        // finds nothing in a directory moved since it was opened. The walk then lets it go, as
        // after any move whose check fails.
        if (!child.error && m_impl->hasCurrent())
            if (const MoveResult check = m_impl->inPlace(true); !check)
                return kept(check);
        return child;
    }
    // The child was found in the current directory; the current directory and those above it
    // may have moved since they were entered.
    return kept(m_impl->inPlace(m_impl->checkWhenDue(true)));
}

MoveResult TreeWalk::enterParent(const EntryIdentity &expected)
{
    const MoveResult parent = m_impl->enterParent(expected);
    if (!parent || !m_impl->checkWhenDue(true))
        return parent;
    return kept(m_impl->inPlace(true));
}

MoveResult TreeWalk::kept(const MoveResult &check)
{
    if (!check)
        m_impl->close();
    return check;
}

bool TreeWalk::hasCurrent() const
{
    return m_impl->hasCurrent();
}

void TreeWalk::close()
{
    m_impl->close();
}

RemoveResult TreeWalk::removeFile(std::string_view name, const EntryIdentity &expected)
{
    return removeEntry(name, expected, false);
}

RemoveResult TreeWalk::removeDirectory(std::string_view name, const EntryIdentity &expected)
{
    return removeEntry(name, expected, true);
}

RemoveResult TreeWalk::removeEntry(
    std::string_view name, const EntryIdentity &expected, bool directory)
{
    if (!m_impl->hasCurrent())
        return { Removal::DirectoryChanged, {} };
    if (m_impl->checkWhenDue(false)) {
        const MoveResult check = m_impl->inPlace(true);
        if (!check)
            return m_impl->lostPlace(check);
    }
    return directory ? m_impl->removeDirectory(name, expected) : m_impl->removeFile(name, expected);
}

} // namespace platform
