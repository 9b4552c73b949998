#include "platform/dir_search.h"

#include "platform/helper_thread.h"
#include "platform/linux/entry_identity.h"
#include "platform/linux/open_levels.h"
#include "platform/system_error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
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

// Which mounted file system a directory belongs to. The device alone does not tell a bind mount
// of the same file system apart; the mount's ID does, where the kernel gives it (Linux 5.8 on).
struct MountPlace
{
    std::uint64_t device = 0;
    std::uint64_t mountId = 0;
    bool mountKnown = false;

    // Whether the open directory `fd`, of which fstat gave `info`, lies on this mount.
    bool holds(int fd, const struct stat &info) const
    {
        return static_cast<std::uint64_t>(info.st_dev) == device && sameMountId(of(fd, info));
    }
    bool sameMountId(const MountPlace &other) const
    {
        return !mountKnown || !other.mountKnown || mountId == other.mountId;
    }
    static MountPlace of(int fd, const struct stat &info)
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
};

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
    std::uint64_t batchSerial = 0; // tells the batches of a search apart
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

// Reads the next entries of `frame` into its batch without looking at them; returns how many of
// them must be looked at. Directories are known from their type alone and, unless the search
// descends, not even opened.
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

// A subdirectory opened, and its first entries read and looked at, by the reader thread while the
// search works on the directories before it. It belongs to one entry of one batch of the search.
struct ReadAhead
{
    std::size_t level = 0; // where the directory holding the entry lies on the stack
    std::uint64_t batchSerial = 0;
    std::size_t entry = 0;
    int parentFd = -1;
    std::string name;
    // What the reader found: the open directory with its first batch, or why it failed.
    Frame frame;
    int openError = 0;
    int statError = 0;
    struct stat info
    {
    };
    // The searched directory's mount; a directory on another is neither read nor entered.
    MountPlace top;
    bool otherMount = false;
    std::atomic<bool> done { false };

    void run()
    {
        frame.fd = openat(parentFd, name.c_str(), kDirectoryFlags | O_NOFOLLOW);
        if (frame.fd < 0) {
            openError = errno;
        } else if (fstat(frame.fd, &info) != 0) {
            statError = errno;
        } else if (!top.holds(frame.fd, info)) {
            otherMount = true;
        } else if (S_ISDIR(info.st_mode)) {
            fillBatch(frame, true);
            classifyRange(frame.fd, frame.batch, 0, frame.batch.entries.size());
        }
        done.store(true, std::memory_order_release);
    }
};

class Search
{
public:
    Search(bool descend, TreeVisitor &visitor)
        : m_descend(descend)
        , m_visitor(visitor)
        // Directories below the levels kept open read their remaining entries into memory and
        // close (directoriesKeptOpen); directories read ahead count among those kept open.
        , m_openLevels(directoriesKeptOpen())
    {
    }
    ~Search()
    {
        endReadAhead();
        for (Frame &frame : m_stack)
            frame.close();
    }
    Search(const Search &) = delete;
    Search &operator=(const Search &) = delete;

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
        Frame top;
        top.fd = fd;
        struct stat info;
        const int error = fstat(fd, &info) != 0 ? errno : 0;
        if (error == 0)
            m_top = MountPlace::of(fd, info);
        if (!push(std::move(top), {}, error, info))
            return m_outcome;
        while (!m_stack.empty() && !m_outcome.error)
            step();
        endReadAhead();
        return m_outcome;
    }

private:
    // Takes `frame`, open on a directory whose fstat gave `statError` and `info`, as a new level
    // and tells the visitor; false (with the directory closed) when it cannot be read as one.
    bool push(Frame frame, std::string_view name, int statError, const struct stat &info)
    {
        const int error = statError != 0 ? statError : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
        if (error != 0) {
            frame.close();
            if (m_stack.empty())
                fail(error, m_directory, false);
            return false;
        }
        frame.name = name;
        frame.device = static_cast<std::uint64_t>(info.st_dev);
        frame.inode = static_cast<std::uint64_t>(info.st_ino);
        if (!frame.batch.entries.empty())
            frame.batchSerial = ++m_batchSerial; // read ahead: its first batch is there already
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
        const std::size_t index = frame.batch.position++;
        const Pending &entry = frame.batch.entries[index];
        const char *name = frame.batch.name(entry);
        if (entry.kind == Kind::Directory) {
            if (m_descend)
                descendInto(frame, index, name);
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
        const std::size_t toLookAt = fillBatch(frame, m_descend);
        Batch &batch = frame.batch;
        if (batch.entries.empty())
            return false;
        frame.batchSerial = ++m_batchSerial;
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
        planReadAhead();
        return true;
    }

    void descendInto(Frame &frame, std::size_t index, const char *name)
    {
        const std::size_t level = m_stack.size() - 1;
        std::unique_ptr<ReadAhead> ahead = takeReadAhead(level, frame.batchSerial, index);
        Frame child;
        int error = 0;
        struct stat info
        {
        };
        bool otherMount = false;
        if (ahead) {
            child = std::move(ahead->frame);
            error = ahead->openError != 0 ? ahead->openError : ahead->statError;
            info = ahead->info;
            otherMount = ahead->otherMount;
        } else {
            child.fd = openat(frame.fd, name, kDirectoryFlags | O_NOFOLLOW);
            error = child.fd < 0 ? errno : fstat(child.fd, &info) != 0 ? errno : 0;
            otherMount = error == 0 && !m_top.holds(child.fd, info);
        }
        if (child.fd < 0) {
            if (outOfDescriptors(error))
                fail(error, pathOf(level) + name + "/", true);
            return;
        }
        // A file system mounted below the searched directory (a bind mount of the same one too)
        // is passed over, as a junction or a volume's mount point is on Windows: the search
        // stays on the file system it was given.
        if (otherMount) {
            child.close();
            return;
        }
        // The name lives in the parent's batch, which a growing stack moves.
        const std::string ownName(name);
        if (m_stack.size() + m_ahead.size() >= m_openLevels) {
            waitForReader(frame.fd);
            const int drainError = drainAndClose(frame);
            if (readFailed(level, drainError)) {
                child.close();
                return;
            }
        }
        // `frame` may move when the stack grows; it is not used after this point.
        if (push(std::move(child), ownName, error, info))
            planReadAhead();
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
        waitForReader(frame.fd);
        frame.close();
        m_stack.pop_back();
        // Directories read ahead for the level left are not needed any more.
        dropReadAhead(m_stack.size());
        m_visitor.leaveDirectory();
        planReadAhead();
    }

    // The reader thread opens and reads one subdirectory of the current directory ahead of the
    // search: the one after the next, while the search reads the next itself, so that two
    // directories are read at once. The directories read ahead are held until the search meets
    // them; each holds a descriptor, within the directories kept open.
    void planReadAhead()
    {
        if (!m_descend || m_stack.empty())
            return;
        if (m_running) {
            if (!m_running->done.load(std::memory_order_acquire))
                return;
            m_reader.wait();
            m_running = nullptr;
        }
        const Frame &frame = m_stack.back();
        if (frame.fd < 0 || m_stack.size() + m_ahead.size() + 1 >= m_openLevels
            || m_ahead.size() >= kMostReadAhead)
            return;
        const std::size_t level = m_stack.size() - 1;
        std::size_t found = 0;
        for (std::size_t i = frame.batch.position; i < frame.batch.entries.size(); ++i) {
            if (frame.batch.entries[i].kind != Kind::Directory)
                continue;
            if (isReadAhead(level, frame.batchSerial, i))
                return; // the next directories are being read already
            if (++found < 2)
                continue;
            auto ahead = std::make_unique<ReadAhead>();
            ahead->level = level;
            ahead->batchSerial = frame.batchSerial;
            ahead->entry = i;
            ahead->parentFd = frame.fd;
            ahead->top = m_top;
            ahead->name = frame.batch.name(frame.batch.entries[i]);
            ReadAhead *job = ahead.get();
            m_readJob = [job] { job->run(); };
            if (!m_reader.post(m_readJob))
                return; // no thread: the search reads every directory itself
            m_running = job;
            m_ahead.push_back(std::move(ahead));
            return;
        }
    }

    bool isReadAhead(std::size_t level, std::uint64_t serial, std::size_t entry) const
    {
        return std::any_of(m_ahead.begin(), m_ahead.end(), [&](const auto &ahead) {
            return ahead->level == level && ahead->batchSerial == serial && ahead->entry == entry;
        });
    }

    // The directory read ahead for this entry, once the reader is done with it; none when it was
    // not read ahead.
    std::unique_ptr<ReadAhead> takeReadAhead(
        std::size_t level, std::uint64_t serial, std::size_t entry)
    {
        for (auto at = m_ahead.begin(); at != m_ahead.end(); ++at) {
            if ((*at)->level != level || (*at)->batchSerial != serial || (*at)->entry != entry)
                continue;
            if (at->get() == m_running) {
                m_reader.wait();
                m_running = nullptr;
            }
            std::unique_ptr<ReadAhead> ahead = std::move(*at);
            m_ahead.erase(at);
            return ahead;
        }
        return nullptr;
    }

    // Closes the directories read ahead for entries of levels from `level` on.
    void dropReadAhead(std::size_t level)
    {
        for (auto at = m_ahead.begin(); at != m_ahead.end();) {
            if ((*at)->level < level) {
                ++at;
                continue;
            }
            if (at->get() == m_running) {
                m_reader.wait();
                m_running = nullptr;
            }
            (*at)->frame.close();
            at = m_ahead.erase(at);
        }
    }

    void endReadAhead() { dropReadAhead(0); }

    // A directory the reader may be opening a subdirectory of is closed only once it is done.
    void waitForReader(int fd)
    {
        if (m_running && m_running->parentFd == fd) {
            m_reader.wait();
            m_running = nullptr;
        }
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

    // At most this many directories are held read ahead at once.
    static constexpr std::size_t kMostReadAhead = 4;

    bool m_descend;
    TreeVisitor &m_visitor;
    std::size_t m_openLevels;
    std::string m_directory; // as given, ending in "/"
    MountPlace m_top; // where the searched directory is mounted
    std::vector<Frame> m_stack;
    std::uint64_t m_batchSerial = 0;
    SearchOutcome m_outcome;
    HelperThread m_helper;
    // The directories read ahead, and the one the reader is working on, if any.
    std::vector<std::unique_ptr<ReadAhead>> m_ahead;
    ReadAhead *m_running = nullptr;
    std::function<void()> m_readJob;
    HelperThread m_reader;
};

} // namespace

SearchOutcome searchTree(const std::string &directory, bool descend, TreeVisitor &visitor)
{
    return Search(descend, visitor).run(directory);
}

} // namespace platform
