#include "platform/dir_search.h"

#include "platform/posix/helper_thread.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// Directories nearer the top than this stay open while the search is below them.
// Deeper ones read their remaining entries into memory and close, and are found again through
// ".." of the child when the search comes back; so the search needs a bounded number of
// descriptors however deep the tree is.
constexpr std::size_t kOpenLevels = 48;

// Entries are read and looked at in batches of at most this many; looking at them (one system call
// each) is most of a search's time, and a batch large enough is shared with a second thread.
constexpr std::size_t kBatchSize = 512;
constexpr std::size_t kSharedBatchSize = 48;

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

EntryIdentity identityOf(const struct stat &info)
{
    return { static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_mtim.tv_sec),
        static_cast<std::int64_t>(info.st_ctim.tv_sec),
        static_cast<std::uint32_t>(info.st_mtim.tv_nsec),
        static_cast<std::uint32_t>(info.st_ctim.tv_nsec),
        static_cast<std::uint32_t>(info.st_mode & S_IFMT) };
}

enum class Kind : unsigned char {
    Unknown, // not looked at yet
    Directory, // to descend into
    File,
    Skipped, // a link to a directory, or an entry gone since the directory was read
};

// An entry read from a directory and waiting to be reported.
struct Pending
{
    std::uint32_t nameOffset = 0; // into the batch's names, NUL-terminated there
    Kind kind = Kind::Unknown;
    std::uint64_t sizeBytes = 0;
    EntryIdentity identity;
};

struct Batch
{
    std::string names;
    std::vector<Pending> entries;
    std::size_t position = 0;

    const char *name(const Pending &entry) const { return names.data() + entry.nameOffset; }
    bool exhausted() const { return position >= entries.size(); }
    void clear()
    {
        names.clear();
        entries.clear();
        position = 0;
    }
};

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

void classifyRange(int fd, Batch &batch, std::size_t begin, std::size_t end)
{
    for (std::size_t i = begin; i < end; ++i) {
        Pending &entry = batch.entries[i];
        if (entry.kind == Kind::Unknown)
            classify(fd, batch.name(entry), entry);
    }
}

// Reads a directory's entries straight from the system, a buffer at a time.
class EntryReader
{
public:
    // The next entry of the open directory `fd` but "." and "..", or false at its end.
    bool next(int fd, std::string_view &name, unsigned char &type)
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

private:
    static constexpr std::size_t kBufferBytes = 32768;

    // False once the directory has no more entries; it is not asked again then.
    bool fill(int fd)
    {
        if (m_ended)
            return false;
        m_buffer.resize(kBufferBytes);
        const ssize_t bytes = getdents64(fd, m_buffer.data(), m_buffer.size());
        m_position = 0;
        m_end = bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
        m_ended = m_end == 0;
        return !m_ended;
    }

    std::vector<char> m_buffer;
    std::size_t m_position = 0;
    std::size_t m_end = 0;
    bool m_ended = false;
};

struct Frame
{
    int fd = -1; // the open directory; -1 while it is closed for a deep descent
    bool streaming = true; // entries still come from `fd`, not from `buffered`
    EntryReader reader;
    std::string buffered; // unread entries once the directory is closed: type byte, name, NUL
    std::size_t bufferedPosition = 0;
    Batch batch; // entries read and not yet reported
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// The next unread entry of `frame`, or false when it has none left.
bool nextEntry(Frame &frame, std::string_view &name, unsigned char &type)
{
    if (frame.streaming)
        return frame.reader.next(frame.fd, name, type);
    if (frame.bufferedPosition >= frame.buffered.size())
        return false;
    type = static_cast<unsigned char>(frame.buffered[frame.bufferedPosition]);
    const char *start = frame.buffered.data() + frame.bufferedPosition + 1;
    name = std::string_view(start, std::strlen(start));
    frame.bufferedPosition += name.size() + 2;
    return true;
}

// Reads the rest of the directory into memory and gives up its descriptor.
void drainAndClose(Frame &frame)
{
    std::string_view name;
    unsigned char type = DT_UNKNOWN;
    std::string rest;
    while (nextEntry(frame, name, type)) {
        rest.push_back(static_cast<char>(type));
        rest.append(name);
        rest.push_back('\0');
    }
    frame.close();
    frame.streaming = false;
    frame.reader = EntryReader();
    frame.buffered = std::move(rest);
    frame.bufferedPosition = 0;
}

class Search
{
public:
    Search(bool descend, TreeVisitor &visitor)
        : m_descend(descend)
        , m_visitor(visitor)
    {
    }
    ~Search()
    {
        for (Frame &frame : m_stack)
            frame.close();
    }

    bool run(const std::string &directory)
    {
        if (directory.empty())
            return false;
        const int fd = open(directory.c_str(), kDirectoryFlags);
        if (fd < 0)
            return false;
        if (!push(fd, {}))
            return false;
        while (!m_stack.empty())
            step();
        return true;
    }

private:
    // Takes `fd` as a new level and tells the visitor; false (with `fd` closed) when it cannot
    // be read as a directory.
    bool push(int fd, std::string_view name)
    {
        struct stat info;
        if (fstat(fd, &info) != 0) {
            ::close(fd);
            return false;
        }
        if (!S_ISDIR(info.st_mode)) {
            ::close(fd);
            return false;
        }
        Frame frame;
        frame.fd = fd;
        frame.device = static_cast<std::uint64_t>(info.st_dev);
        frame.inode = static_cast<std::uint64_t>(info.st_ino);
        m_stack.push_back(std::move(frame));
        m_visitor.enterDirectory(name, identityOf(info));
        return true;
    }

    void step()
    {
        Frame &frame = m_stack.back();
        if (frame.batch.exhausted() && (frame.fd < 0 || !readBatch(frame))) {
            pop();
            return;
        }
        const Pending &entry = frame.batch.entries[frame.batch.position++];
        const char *name = frame.batch.name(entry);
        if (entry.kind == Kind::Directory) {
            if (m_descend)
                descendInto(frame, name);
        } else if (entry.kind == Kind::File) {
            FileEntry file;
            file.name = name;
            file.sizeBytes = entry.sizeBytes;
            file.modified = localTwoSecondTime(entry.identity.mtimeSeconds);
            file.identity = entry.identity;
            m_visitor.file(file);
        }
    }

    // Reads the next entries of `frame` and looks at them; false when there are none.
    bool readBatch(Frame &frame)
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
            // A directory is known from its type alone; unless descending it is not even opened.
            if (type == DT_DIR)
                entry.kind = m_descend ? Kind::Directory : Kind::Skipped;
            else
                ++toLookAt;
            batch.entries.push_back(entry);
        }
        if (batch.entries.empty())
            return false;
        const int fd = frame.fd;
        const std::size_t count = batch.entries.size();
        if (toLookAt < kSharedBatchSize) {
            classifyRange(fd, batch, 0, count);
        } else {
            // The helper looks at the first half while the search looks at the second.
            const std::function<void()> firstHalf = [&] { classifyRange(fd, batch, 0, count / 2); };
            const bool shared = m_helper.post(firstHalf);
            classifyRange(fd, batch, shared ? count / 2 : 0, count);
            if (shared)
                m_helper.wait();
        }
        return true;
    }

    void descendInto(Frame &frame, const char *name)
    {
        const int fd = openat(frame.fd, name, kDirectoryFlags | O_NOFOLLOW);
        if (fd < 0)
            return;
        // The name lives in the parent's batch, which a growing stack moves.
        const std::string ownName(name);
        if (m_stack.size() >= kOpenLevels)
            drainAndClose(frame);
        // `frame` may move when the stack grows; it is not used after this point.
        push(fd, ownName);
    }

    void pop()
    {
        Frame &frame = m_stack.back();
        if (frame.fd >= 0 && m_stack.size() >= 2) {
            Frame &parent = m_stack[m_stack.size() - 2];
            if (parent.fd < 0)
                reopenParent(frame.fd, parent);
        }
        frame.close();
        m_stack.pop_back();
        m_visitor.leaveDirectory();
    }

    // Finds a parent closed for a deep descent again through "..". Should the directory have
    // been moved meanwhile, ".." is another one: then the parent's remaining entries are dropped
    // rather than searched in the wrong place.
    static void reopenParent(int childFd, Frame &parent)
    {
        const int fd = openat(childFd, "..", kDirectoryFlags | O_NOFOLLOW);
        if (fd < 0) {
            parent.batch.clear();
            return;
        }
        struct stat info;
        if (fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_dev) != parent.device
            || static_cast<std::uint64_t>(info.st_ino) != parent.inode) {
            ::close(fd);
            parent.batch.clear();
            return;
        }
        parent.fd = fd;
    }

    bool m_descend;
    TreeVisitor &m_visitor;
    std::vector<Frame> m_stack;
    HelperThread m_helper;
};

} // namespace

bool searchTree(const std::string &directory, bool descend, TreeVisitor &visitor)
{
    return Search(descend, visitor).run(directory);
}

} // namespace platform
