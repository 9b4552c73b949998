#include "platform/dir_search.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// Directories nearer the top than this keep their stream open while the search is below them.
// Deeper ones read their remaining entries into memory and close, and are found again through
// ".." of the child when the search comes back; so the search needs a bounded number of
// descriptors however deep the tree is.
constexpr std::size_t kOpenLevels = 48;

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

EntryIdentity identityOf(const struct stat &info)
{
    return { static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_mtim.tv_sec),
        static_cast<std::uint32_t>(info.st_mtim.tv_nsec) };
}

struct Frame
{
    DIR *stream = nullptr; // owns the descriptor while the entries are streamed
    int fd = -1; // the open directory; -1 while it is closed for a deep descent
    std::string buffered; // remaining entries once the stream is closed: type byte, name, NUL
    std::size_t bufferedPosition = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    void close()
    {
        if (stream)
            closedir(stream);
        else if (fd >= 0)
            ::close(fd);
        stream = nullptr;
        fd = -1;
    }
};

// The next entry of `frame`, or false when it has none left.
bool nextEntry(Frame &frame, std::string_view &name, unsigned char &type)
{
    if (frame.stream) {
        while (const dirent *entry = readdir(frame.stream)) {
            name = entry->d_name;
            type = entry->d_type;
            if (name != "." && name != "..")
                return true;
        }
        return false;
    }
    if (frame.bufferedPosition >= frame.buffered.size())
        return false;
    type = static_cast<unsigned char>(frame.buffered[frame.bufferedPosition]);
    const char *start = frame.buffered.data() + frame.bufferedPosition + 1;
    name = std::string_view(start, std::strlen(start));
    frame.bufferedPosition += name.size() + 2;
    return true;
}

// Reads the rest of the stream into memory and gives up the stream's descriptor.
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
        Frame frame;
        frame.stream = fdopendir(fd);
        if (!frame.stream) {
            ::close(fd);
            return false;
        }
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
        std::string_view name;
        unsigned char type = DT_UNKNOWN;
        if (frame.fd < 0 || !nextEntry(frame, name, type)) {
            pop();
            return;
        }
        visitEntry(frame, name, type);
    }

    void visitEntry(Frame &frame, std::string_view name, unsigned char type)
    {
        // The name must be NUL-terminated for the system calls; both sources guarantee it.
        const char *cName = name.data();
        struct stat info;
        if (type == DT_DIR) {
            if (m_descend)
                descendInto(frame, cName);
            return;
        }
        if (fstatat(frame.fd, cName, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return; // gone since the directory was read
        if (S_ISDIR(info.st_mode)) {
            if (m_descend)
                descendInto(frame, cName);
            return;
        }
        if (S_ISLNK(info.st_mode)) {
            // A link to a directory counts as a directory, and is never followed.
            struct stat target;
            if (fstatat(frame.fd, cName, &target, 0) == 0 && S_ISDIR(target.st_mode))
                return;
        }
        FileEntry entry;
        entry.name = name;
        entry.sizeBytes = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
        entry.modified = localTwoSecondTime(info.st_mtim.tv_sec);
        entry.identity = identityOf(info);
        m_visitor.file(entry);
    }

    void descendInto(Frame &frame, const char *name)
    {
        const int fd = openat(frame.fd, name, kDirectoryFlags | O_NOFOLLOW);
        if (fd < 0)
            return;
        // The name lives in the parent's read buffer, which draining or a growing stack reuses.
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
        if (fd < 0)
            return;
        struct stat info;
        if (fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_dev) != parent.device
            || static_cast<std::uint64_t>(info.st_ino) != parent.inode) {
            ::close(fd);
            return;
        }
        parent.fd = fd;
    }

    bool m_descend;
    TreeVisitor &m_visitor;
    std::vector<Frame> m_stack;
};

} // namespace

bool searchTree(const std::string &directory, bool descend, TreeVisitor &visitor)
{
    return Search(descend, visitor).run(directory);
}

} // namespace platform
