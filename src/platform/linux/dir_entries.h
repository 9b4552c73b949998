#pragma once

#include "platform/dir_search.h"
#include "platform/linux/unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// Reading a directory's entries for the search: straight from the system a buffer at a time, in
// batches that are looked at (one system call per entry) before they are reported, and into
// memory when the directory has to close for a deep descent.
namespace platform::tree_search {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

// Which mounted file system a directory belongs to. The device alone does not tell a bind mount
// of the same file system apart; the mount's ID does, where the kernel gives it (Linux 5.8 on).
struct MountPlace
{
    std::uint64_t device = 0;
    std::uint64_t mountId = 0;
    bool mountKnown = false;

    // Whether the open directory `fd`, of which fstat gave `info`, lies on this mount.
    bool holds(int fd, const struct stat &info) const;
    static MountPlace of(int fd, const struct stat &info);
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

// Looks at the entries [begin, end) of `batch`, read from the directory `fd`, not looked at yet:
// what each is, and for a file its size and identity.
void classifyRange(int fd, Batch &batch, std::size_t begin, std::size_t end);

// Reads a directory's entries straight from the system, a buffer at a time.
class EntryReader
{
public:
    // The next entry of the open directory `fd` but "." and "..", or false at its end or when it
    // cannot be read further (see error()).
    bool next(int fd, std::string_view &name, unsigned char &type);

    // The system's error number when reading the directory failed; 0 when it was read to its end.
    int error() const { return m_error; }

private:
    // False once the directory has no more entries, or reading it failed; it is not asked again
    // then.
    bool fill(int fd);

    std::vector<char> m_buffer;
    std::size_t m_position = 0;
    std::size_t m_end = 0;
    bool m_ended = false;
    int m_error = 0;
};

// One directory of the search's stack.
struct Frame
{
    UniqueFd fd; // the open directory; none while it is closed for a deep descent
    bool streaming = true; // entries still come from `fd`, not from `buffered`
    EntryReader reader;
    std::string buffered; // unread entries once the directory is closed: type byte, name, NUL
    std::size_t bufferedPosition = 0;
    Batch batch; // entries read and not yet reported
    std::uint64_t batchSerial = 0; // tells the batches of a search apart
    std::string name; // empty for the searched directory
    std::uint64_t volume = 0;
    std::uint64_t fileId = 0;
};

// Reads the rest of the directory into memory and gives up its descriptor. Returns the system's
// error number when it could not be read to its end (what was read is kept), else 0.
int drainAndClose(Frame &frame);

// Reads the next entries of `frame` into its batch without looking at them; returns how many of
// them must be looked at. Directories are known from their type alone and, unless the search
// descends, not even opened.
std::size_t fillBatch(Frame &frame, bool descend);

} // namespace platform::tree_search
