#include "platform/linux/dir_entries.h"

#include "platform/linux/entry_identity.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace platform::tree_search {

namespace {

// Entries are read and looked at in batches of at most this many; looking at them (one system call
// each) is most of a search's time.
constexpr std::size_t kBatchSize = 512;

// Looks at one entry of the directory `fd`: what it is, and for a file its size and identity.
void classify(int fd, const char *name, Pending &entry)
{
    struct stat info;
    if (fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.kind = Kind::Skipped; // gone since the directory was read
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        entry.kind = Kind::Directory;
        return;
    }
    if (S_ISLNK(info.st_mode)) {
        // A link to a directory counts as a directory, and is never followed.
        struct stat target;
        if (fstatat(fd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
            entry.kind = Kind::Skipped;
            return;
        }
    }
    entry.kind = Kind::File;
    entry.sizeBytes = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    entry.identity = identityOf(info);
}

// The next unread entry of `frame`, or false when it has none left.
bool nextEntry(Frame &frame, std::string_view &name, unsigned char &type)
{
    if (frame.streaming)
        return frame.reader.next(frame.fd.get(), name, type);
    if (frame.bufferedPosition >= frame.buffered.size())
        return false;
    type = static_cast<unsigned char>(frame.buffered[frame.bufferedPosition]);
    const char *start = frame.buffered.data() + frame.bufferedPosition + 1;
    name = std::string_view(start, std::strlen(start));
    frame.bufferedPosition += name.size() + 2;
    return true;
}

} // namespace

bool MountPlace::holds(int fd, const struct stat &info) const
{
    if (static_cast<std::uint64_t>(info.st_dev) != device)
        return false;
    const MountPlace other = of(fd, info);
    return !mountKnown || !other.mountKnown || mountId == other.mountId;
}

MountPlace MountPlace::of(int fd, const struct stat &info)
{
    MountPlace place;
    place.device = static_cast<std::uint64_t>(info.st_dev);
    struct statx extended;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_MNT_ID, &extended) == 0
        && (extended.stx_mask & STATX_MNT_ID) != 0) {
        place.mountId = extended.stx_mnt_id;
        place.mountKnown = true;
    }
    return place;
}

void classifyRange(int fd, Batch &batch, std::size_t begin, std::size_t end)
{
    for (std::size_t i = begin; i < end; ++i) {
        Pending &entry = batch.entries[i];
        if (entry.kind == Kind::Unknown)
            classify(fd, batch.name(entry), entry);
    }
}

bool EntryReader::next(int fd, std::string_view &name, unsigned char &type)
{
    for (;;) {
        if (m_position >= m_end && !fill(fd))
            return false;
        const auto *entry = reinterpret_cast<const dirent64 *>(m_buffer.data() + m_position);
        m_position += entry->d_reclen;
        name = entry->d_name;
        type = entry->d_type;
        if (name != "." && name != "..")
            return true;
    }
}

bool EntryReader::fill(int fd)
{
    constexpr std::size_t kBufferBytes = 32768;
    if (m_ended)
        return false;
    m_buffer.resize(kBufferBytes);
    const ssize_t bytes = getdents64(fd, m_buffer.data(), m_buffer.size());
    if (bytes < 0)
        m_error = errno;
    m_position = 0;
    m_end = bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
    m_ended = m_end == 0;
    return !m_ended;
}

int drainAndClose(Frame &frame)
{
    std::string_view name;
    unsigned char type = DT_UNKNOWN;
    std::string rest;
    while (nextEntry(frame, name, type)) {
        rest.push_back(static_cast<char>(type));
        rest.append(name);
        rest.push_back('\0');
    }
    const int error = frame.streaming ? frame.reader.error() : 0;
    frame.fd.reset();
    frame.streaming = false;
    frame.reader = EntryReader();
    frame.buffered = std::move(rest);
    frame.bufferedPosition = 0;
    return error;
}

std::size_t fillBatch(Frame &frame, bool descend)
{
    Batch &batch = frame.batch;
    batch.clear();
    std::string_view name;
    unsigned char type = DT_UNKNOWN;
    std::size_t toLookAt = 0;
    while (batch.entries.size() < kBatchSize && nextEntry(frame, name, type)) {
        Pending entry;
        entry.nameOffset = static_cast<std::uint32_t>(batch.names.size());
        batch.names.append(name);
        batch.names.push_back('\0');
        if (type == DT_DIR)
            entry.kind = descend ? Kind::Directory : Kind::Skipped;
        else
            ++toLookAt;
        batch.entries.push_back(entry);
    }
    return toLookAt;
}

} // namespace platform::tree_search
