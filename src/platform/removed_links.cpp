#include "platform/removed_links.h"

namespace platform {

namespace {

std::mutex g_mutex;

} // namespace

std::unique_lock<std::mutex> RemovedLinks::lock()
{
    return std::unique_lock<std::mutex>(g_mutex);
}

std::map<RemovedLinks::Key, RemovedLinks::Time> &RemovedLinks::times()
{
    static std::map<Key, Time> recorded;
    return recorded;
}

bool RemovedLinks::isListed(const EntryIdentity &found, const EntryIdentity &expected)
{
    if (found == expected)
        return true;
    EntryIdentity sameTime = found;
    sameTime.ctimeSeconds = expected.ctimeSeconds;
    sameTime.ctimeNanoseconds = expected.ctimeNanoseconds;
    if (sameTime != expected)
        return false;
    const auto at = times().find({ found.device, found.inode });
    return at != times().end() && at->second == Time { found.ctimeSeconds, found.ctimeNanoseconds };
}

void RemovedLinks::removed(const EntryIdentity &after, std::uint64_t linksLeft)
{
    const Key key { after.device, after.inode };
    if (linksLeft == 0)
        times().erase(key);
    else
        times()[key] = { after.ctimeSeconds, after.ctimeNanoseconds };
}

} // namespace platform
