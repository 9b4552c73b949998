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
    return m_impl->enterChild(name, expected);
}

MoveResult TreeWalk::enterParent(const EntryIdentity &expected)
{
    return m_impl->enterParent(expected);
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
    return m_impl->removeFile(name, expected);
}

} // namespace platform
