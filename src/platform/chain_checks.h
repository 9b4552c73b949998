#pragma once

#include <algorithm>
#include <cstdint>

namespace platform {

// When a deletion's walk checks the whole chain of directories from the listed top to its current
// one, the same on every system: on every move while the tree is no deeper than kNearLevels;
// below, once per kNearLevels levels of depth in moves (each weighing as much as
// kRemovalsPerCheck removals), so that a chain 20,000 levels deep is checked every 1,250 moves
// rather than on each. A move finds at least its nearest levels in place, a removal nothing: at
// any depth, kRemovalsPerCheck removals in a row, or a second, are the most that pass without a
// check. A check takes about as many system calls as a removal with its log line: on every
// removal, a run deleting 100,000 files took about half again as long.
class ChainChecks
{
public:
    // The levels above a directory entered that are checked on the way down.
    static constexpr std::uint64_t kNearLevels = 16;

    // The whole chain has just been checked.
    void checked(std::int64_t nowMs)
    {
        m_weightSinceCheck = 0;
        m_removalsSinceCheck = 0;
        m_checkedAtMs = nowMs;
    }

    // Counts a move (or a removal) at `depth` levels below the top; true when the whole chain is
    // due to be checked, which counts as checked.
    bool due(bool move, std::uint64_t depth, std::int64_t nowMs)
    {
        m_weightSinceCheck += move ? kRemovalsPerCheck : 1;
        m_removalsSinceCheck += move ? 0 : 1;
        const std::uint64_t allowed
            = kRemovalsPerCheck * std::max<std::uint64_t>(1, depth / kNearLevels);
        if (m_weightSinceCheck < allowed && m_removalsSinceCheck < kRemovalsPerCheck
            && nowMs - m_checkedAtMs < kCheckIntervalMs)
            return false;
        checked(nowMs);
        return true;
    }

private:
    static constexpr std::uint64_t kRemovalsPerCheck = 16;
    static constexpr std::int64_t kCheckIntervalMs = 1000;

    // Moves and removals since the whole chain was last checked, and when that was.
    std::uint64_t m_weightSinceCheck = 0;
    std::uint64_t m_removalsSinceCheck = 0;
    std::int64_t m_checkedAtMs = 0;
};

} // namespace platform
