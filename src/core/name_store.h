#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace core {

// File names packed into large blocks that never move, each followed by a NUL, so that a listing
// of a million files holds their names in a few allocations. A name is found again by the offset
// that `add` returned and its length.
class NameStore
{
public:
    std::uint64_t add(std::string_view name);
    std::string_view get(std::uint64_t offset, std::uint32_t length) const
    {
        return { cString(offset), length };
    }
    const char *cString(std::uint64_t offset) const
    {
        return m_blocks[offset / kBlockSize].get() + offset % kBlockSize;
    }
    void clear();

private:
    static constexpr std::size_t kBlockSize = std::size_t { 256 } * 1024;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = kBlockSize;
};

} // namespace core
