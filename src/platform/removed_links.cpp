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
    sameTime.changedSeconds = expected.changedSeconds;
    sameTime.changedNanoseconds = expected.changedNanoseconds;
    return sameTime == expected;
}

} // namespace

bool RemovedLinks::isListedById(const EntryIdentity &found, const EntryIdentity &expected)
{
    return found == expected
        || (equalButChangeTime(found, expected)
            && times().contains({ found.volume, found.fileId }));
}

bool RemovedLinks::isListed(const EntryIdentity &found, const EntryIdentity &expected)
{
    if (found == expected)
        return true;
    if (!equalButChangeTime(found, expected))
        return false;
    const auto at = times().find({ found.volume, found.fileId });
    return at != times().end()
        && at->second == Time { found.changedSeconds, found.changedNanoseconds };
}

void RemovedLinks::removed(const EntryIdentity &after, std::uint64_t linksLeft)
{
    const Key key { after.volume, after.fileId };
    if (linksLeft == 0)
        times().erase(key);
    else
        times()[key] = { after.changedSeconds, after.changedNanoseconds };
}

} // namespace platform
