#include "platform/dir_search.h"

#include "platform/helper_thread.h"
#include "platform/linux/open_levels.h"
#include "platform/system_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// Errors that say nothing about the directory, only that the process or the system has no
// descriptor left: skipping the directory would hide files that are there.
bool outOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE;
}

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
    // The next entry of the open directory `fd` but "." and "..", or false at its end or when it
    // cannot be read further (see error()).
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

    // The system's error number when reading the directory failed; 0 when it was read to its end.
    int error() const { return m_error; }

private:
    static constexpr std::size_t kBufferBytes = 32768;

    // False once the directory has no more entries, or reading it failed; it is not asked again
    // then.
    bool fill(int fd)
    {
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

    std::vector<char> m_buffer;
    std::size_t m_position = 0;
    std::size_t m_end = 0;
    bool m_ended = false;
    int m_error = 0;
};

struct Frame
{
    int fd = -1; // the open directory; -1 while it is closed for a deep descent
    bool streaming = true; // entries still come from `fd`, not from `buffered`
    EntryReader reader;
    std::string buffered; // unread entries once the directory is closed: type byte, name, NUL
    std::size_t bufferedPosition = 0;
    Batch batch; // entries read and not yet reported
    std::string name; // empty for the searched directory
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

// Reads the rest of the directory into memory and gives up its descriptor. Returns the system's
// error number when it could not be read to its end (what was read is kept), else 0.
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
    frame.close();
    frame.streaming = false;
    frame.reader = EntryReader();
    frame.buffered = std::move(rest);
    frame.bufferedPosition = 0;
    return error;
}

class Search
{
public:
    Search(bool descend, TreeVisitor &visitor)
        : m_descend(descend)
        , m_visitor(visitor)
        // Directories below the levels kept open read their remaining entries into memory and
        // close (directoriesKeptOpen).
        , m_openLevels(directoriesKeptOpen())
    {
    }
    ~Search()
    {
        for (Frame &frame : m_stack)
            frame.close();
    }

    SearchOutcome run(const std::string &directory)
    {
        m_directory = directory;
        if (!m_directory.empty() && m_directory.back() != '/')
            m_directory.push_back('/');
        // A path holding a NUL byte would be cut there and name another folder.
        const bool named = !directory.empty() && directory.find('\0') == std::string::npos;
        const int fd = named ? open(directory.c_str(), kDirectoryFlags) : -1;
        if (fd < 0) {
            const int error = named ? errno : ENOENT;
            fail(error, m_directory, false);
            return m_outcome;
        }
        if (!push(fd, {}))
            return m_outcome;
        while (!m_stack.empty() && !m_outcome.error)
            step();
        return m_outcome;
    }

private:
    // Takes `fd` as a new level and tells the visitor; false (with `fd` closed) when it cannot
    // be read as a directory.
    bool push(int fd, std::string_view name)
    {
        struct stat info;
        const int error = fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
        if (error != 0) {
            ::close(fd);
            if (m_stack.empty())
                fail(error, m_directory, false);
            return false;
        }
        Frame frame;
        frame.fd = fd;
        frame.name = name;
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
            if (!readFailed(m_stack.size() - 1, frame.streaming ? frame.reader.error() : 0))
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
        if (fd < 0) {
            const int error = errno;
            if (outOfDescriptors(error))
                fail(error, pathOf(m_stack.size() - 1) + name + "/", true);
            return;
        }
        // The name lives in the parent's batch, which a growing stack moves.
        const std::string ownName(name);
        if (m_stack.size() >= m_openLevels) {
            const int error = drainAndClose(frame);
            if (readFailed(m_stack.size() - 1, error)) {
                ::close(fd);
                return;
            }
        }
        // `frame` may move when the stack grows; it is not used after this point.
        push(fd, ownName);
    }

    void pop()
    {
        Frame &frame = m_stack.back();
        if (frame.fd >= 0 && m_stack.size() >= 2) {
            Frame &parent = m_stack[m_stack.size() - 2];
            if (parent.fd < 0) {
                const int error = reopenParent(frame.fd, parent);
                if (outOfDescriptors(error)) {
                    fail(error, pathOf(m_stack.size() - 2), m_stack.size() > 2);
                    return;
                }
            }
        }
        frame.close();
        m_stack.pop_back();
        m_visitor.leaveDirectory();
    }

    // Finds a parent closed for a deep descent again through "..". Should the directory have
    // been moved meanwhile, ".." is another one: then the parent's remaining entries are dropped
    // rather than searched in the wrong place. Returns the system's error number when ".." could
    // not be opened, else 0.
    static int reopenParent(int childFd, Frame &parent)
    {
        const int fd = openat(childFd, "..", kDirectoryFlags | O_NOFOLLOW);
        if (fd < 0) {
            const int error = errno;
            parent.batch.clear();
            return error;
        }
        struct stat info;
        if (fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_dev) != parent.device
            || static_cast<std::uint64_t>(info.st_ino) != parent.inode) {
            ::close(fd);
            parent.batch.clear();
            return 0;
        }
        parent.fd = fd;
        return 0;
    }

    // Whether reading the directory at `level` failing with `error` ends the search: it does for
    // the searched directory itself and for a lack of descriptors anywhere. Any other
    // subdirectory that cannot be read further yields nothing more.
    bool readFailed(std::size_t level, int error)
    {
        if (error == 0 || (level > 0 && !outOfDescriptors(error)))
            return false;
        fail(error, pathOf(level), level > 0);
        return true;
    }

    void fail(int error, std::string path, bool inSubdirectory)
    {
        m_outcome.error = systemError(error);
        m_outcome.path = std::move(path);
        m_outcome.inSubdirectory = inSubdirectory;
    }

    // The path of the directory at `level` of the stack, ending in "/".
    std::string pathOf(std::size_t level) const
    {
        std::string path = m_directory;
        for (std::size_t at = 1; at <= level; ++at) {
            path += m_stack[at].name;
            path.push_back('/');
        }
        return path;
    }

    bool m_descend;
    TreeVisitor &m_visitor;
    std::size_t m_openLevels;
    std::string m_directory; // as given, ending in "/"
    std::vector<Frame> m_stack;
    SearchOutcome m_outcome;
    HelperThread m_helper;
};

} // namespace

SearchOutcome searchTree(const std::string &directory, bool descend, TreeVisitor &visitor)
{
    return Search(descend, visitor).run(directory);
}

} // namespace platform
