#include "core/name_store.h"

#include <cstring>

namespace core {

std::uint64_t NameStore::add(std::string_view name)
{
    const std::size_t needed = name.size() + 1;
    if (m_used + needed > kBlockSize) {
        m_blocks.push_back(std::make_unique<char[]>(needed > kBlockSize ? needed : kBlockSize));
        m_used = 0;
    }
    char *target = m_blocks.back().get() + m_used;
    std::memcpy(target, name.data(), name.size());
    target[name.size()] = '\0';
    const std::uint64_t offset = (m_blocks.size() - 1) * kBlockSize + m_used;
    m_used += needed;
    return offset;
}

void NameStore::clear()
{
    m_blocks.clear();
    m_used = kBlockSize;
}

} // namespace core
