#include "platform/dir_search.h"

#include "platform/helper_thread.h"
#include "platform/linux/dir_entries.h"
#include "platform/linux/entry_identity.h"
#include "platform/linux/read_ahead.h"
#include "platform/open_levels.h"
#include "platform/path_separator.h"
#include "platform/search_record.h"

#include <cerrno>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using namespace tree_search;

// Errors that say nothing about the directory, only that the process or the system has no
// descriptor left: skipping the directory would hide files that are there.
bool outOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE;
}

// A batch with at least this many entries to look at is shared with a second thread: below that,
// handing half of it over costs more than it saves.
constexpr std::size_t kFewestToShare = 48;

// The search proper: a stack of open (or, deep down, closed and drained) directories, worked
// through one entry at a time, so that no depth costs recursion.
class Search
{
public:
    Search(bool descend, TreeVisitor &visitor, const std::string &directory)
        : m_descend(descend)
        , m_visitor(visitor)
        // Directories below the levels kept open read their remaining entries into memory and
        // close; directories read ahead count among those kept open.
        , m_openLevels(directoriesKeptOpen())
        , m_record(directory)
    {
    }
    ~Search() { m_ahead.dropFrom(0); }
    Search(const Search &) = delete;
    Search &operator=(const Search &) = delete;

    SearchOutcome run(const std::string &directory)
    {
        Frame top;
        if (isUsablePath(directory))
            top.fd.reset(open(directory.c_str(), kDirectoryFlags));
        if (!top.fd) {
            m_record.fail(isUsablePath(directory) ? errno : ENOENT, m_record.directory(), false);
            return m_record.outcome();
        }
        struct stat info;
        const int error = fstat(top.fd.get(), &info) != 0 ? errno : 0;
        if (error == 0)
            m_top = MountPlace::of(top.fd.get(), info);
        if (!push(std::move(top), {}, error, info))
            return m_record.outcome();
        while (!m_stack.empty() && !m_record.failed())
            step();
        m_ahead.dropFrom(0);
        return m_record.outcome();
    }

private:
    // Takes `frame`, open on a directory whose fstat gave `statError` and `info`, as a new level
    // and tells the visitor; false (with the directory closed) when it cannot be read as one.
    bool push(Frame frame, std::string_view name, int statError, const struct stat &info)
    {
        const int error = statError != 0 ? statError : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
        if (error != 0) {
            if (m_stack.empty())
                m_record.fail(error, m_record.directory(), false);
            return false;
        }
        frame.name = name;
        frame.volume = static_cast<std::uint64_t>(info.st_dev);
        frame.fileId = static_cast<std::uint64_t>(info.st_ino);
        if (!frame.batch.entries.empty())
            frame.batchSerial = ++m_batchSerial; // read ahead: its first batch is there already
        m_stack.push_back(std::move(frame));
        m_visitor.enterDirectory(name, identityOf(info));
        return true;
    }

    void step()
    {
        Frame &frame = m_stack.back();
        if (frame.batch.exhausted() && (!frame.fd || !readBatch(frame))) {
            if (!readFailed(m_stack.size() - 1, frame.streaming ? frame.reader.error() : 0))
                pop();
            return;
        }
        const std::size_t index = frame.batch.position++;
        const Pending &entry = frame.batch.entries[index];
        const char *name = frame.batch.name(entry);
        if (entry.kind == Kind::Directory) {
            if (m_descend && m_visitor.entersSubdirectory(name))
                descendInto(frame, index, name);
        } else if (entry.kind == Kind::File) {
            reportFile(m_visitor, name, entry.sizeBytes, entry.identity);
        } else if (m_descend) {
            m_visitor.passedOver();
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
        const int fd = frame.fd.get();
        const std::size_t count = batch.entries.size();
        if (toLookAt < kFewestToShare) {
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
        std::unique_ptr<ReadAhead> ahead = m_ahead.take(level, frame.batchSerial, index);
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
            child.fd.reset(openat(frame.fd.get(), name, kDirectoryFlags | O_NOFOLLOW));
            error = !child.fd ? errno : fstat(child.fd.get(), &info) != 0 ? errno : 0;
            otherMount = error == 0 && !m_top.holds(child.fd.get(), info);
        }
        if (!child.fd) {
            if (outOfDescriptors(error))
                m_record.fail(error, m_record.pathOf(m_stack, level) + name + kPathSeparator, true);
            else
                m_visitor.passedOver();
            return;
        }
        // A file system mounted below the searched directory (a bind mount of the same one too)
        // is passed over, as a junction or a volume's mount point is on Windows: the search
        // stays on the file system it was given.
        if (otherMount) {
            m_visitor.passedOver();
            return;
        }
        // The name lives in the parent's batch, which a growing stack moves.
        const std::string ownName(name);
        if (m_stack.size() + m_ahead.size() >= m_openLevels) {
            m_ahead.waitForReader(frame.fd.get());
            const int drainError = drainAndClose(frame);
            if (readFailed(level, drainError))
                return;
        }
        // `frame` may move when the stack grows; it is not used after this point.
        if (push(std::move(child), ownName, error, info))
            planReadAhead();
        else
            m_visitor.passedOver();
    }

    void pop()
    {
        Frame &frame = m_stack.back();
        if (frame.fd && m_stack.size() >= 2) {
            Frame &parent = m_stack[m_stack.size() - 2];
            if (!parent.fd) {
                const int error = reopenParent(frame.fd.get(), parent);
                if (outOfDescriptors(error)) {
                    m_record.fail(
                        error, m_record.pathOf(m_stack, m_stack.size() - 2), m_stack.size() > 2);
                    return;
                }
            }
        }
        m_ahead.waitForReader(frame.fd.get());
        m_stack.pop_back();
        // Directories read ahead for the level left are not needed any more.
        m_ahead.dropFrom(m_stack.size());
        m_visitor.leaveDirectory();
        planReadAhead();
    }

    void planReadAhead()
    {
        if (!m_descend || m_stack.empty())
            return;
        m_ahead.plan(m_stack.back(), m_stack.size() - 1,
            m_stack.size() + m_ahead.size() + 1 < m_openLevels, m_top);
    }

    // Finds a parent closed for a deep descent again through "..". Should the directory have
    // been moved meanwhile, ".." is another one: then the parent's remaining entries are dropped
    // rather than searched in the wrong place. Returns the system's error number when ".." could
    // not be opened, else 0.
    static int reopenParent(int childFd, Frame &parent)
    {
        UniqueFd fd(openat(childFd, "..", kDirectoryFlags | O_NOFOLLOW));
        if (!fd) {
            const int error = errno;
            parent.batch.clear();
            return error;
        }
        struct stat info;
        if (fstat(fd.get(), &info) != 0 || static_cast<std::uint64_t>(info.st_dev) != parent.volume
            || static_cast<std::uint64_t>(info.st_ino) != parent.fileId) {
            parent.batch.clear();
            return 0;
        }
        parent.fd = std::move(fd);
        return 0;
    }

    bool readFailed(std::size_t level, int error)
    {
        return m_record.readFailed(m_stack, level, error, outOfDescriptors(error));
    }

    bool m_descend;
    TreeVisitor &m_visitor;
    std::size_t m_openLevels;
    SearchRecord m_record;
    MountPlace m_top; // where the searched directory is mounted
    std::vector<Frame> m_stack;
    std::uint64_t m_batchSerial = 0;
    HelperThread m_helper;
    ReadAheads m_ahead;
};

} // namespace

SearchOutcome searchTree(const std::string &directory, bool descend, TreeVisitor &visitor)
{
    return Search(descend, visitor, directory).run(directory);
}

} // namespace platform
