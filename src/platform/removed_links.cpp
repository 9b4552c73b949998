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

namespace {

// Whether the two identities differ at most in the status-change time.
bool equalButChangeTime(const EntryIdentity &found, const EntryIdentity &expected)
{
    EntryIdentity sameTime = found;
    sameTime.ctimeSeconds = expected.ctimeSeconds;
    sameTime.ctimeNanoseconds = expected.ctimeNanoseconds;
    return sameTime == expected;
}

} // namespace

bool RemovedLinks::isListedById(const EntryIdentity &found, const EntryIdentity &expected)
{
    return found == expected
        || (equalButChangeTime(found, expected) && times().contains({ found.device, found.inode }));
}

bool RemovedLinks::isListed(const EntryIdentity &found, const EntryIdentity &expected)
{
    if (found == expected)
        return true;
    if (!equalButChangeTime(found, expected))
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
