#pragma once

#include "platform/helper_thread.h"
#include "platform/linux/dir_entries.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace platform::tree_search {

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

    void run();
};

// The reader thread opens and reads one subdirectory of the current directory ahead of the
// search: the one after the next, while the search reads the next itself, so that two
// directories are read at once. The directories read ahead are held until the search meets
// them; each holds a descriptor, within the directories kept open.
class ReadAheads
{
public:
    ReadAheads() = default;
    ~ReadAheads() { dropFrom(0); }
    ReadAheads(const ReadAheads &) = delete;
    ReadAheads &operator=(const ReadAheads &) = delete;

    // How many directories are held read ahead.
    std::size_t size() const { return m_ahead.size(); }

    // Starts reading ahead a subdirectory of `frame`, the directory at `level` of the stack on
    // the mount `top`, when the reader is idle, `roomForOne` says one more directory may be
    // open, and the directories after the next are not being read already.
    void plan(const Frame &frame, std::size_t level, bool roomForOne, const MountPlace &top);
    // The directory read ahead for this entry, once the reader is done with it; none when it was
    // not read ahead.
    std::unique_ptr<ReadAhead> take(std::size_t level, std::uint64_t serial, std::size_t entry);
    // Closes the directories read ahead for entries of levels from `level` on.
    void dropFrom(std::size_t level);
    // A directory the reader may be opening a subdirectory of is closed only once it is done.
    void waitForReader(int fd);

private:
    // At most this many directories are held read ahead at once.
    static constexpr std::size_t kMostReadAhead = 4;

    bool isReadAhead(std::size_t level, std::uint64_t serial, std::size_t entry) const;
    void finishRunning();

    // The directories read ahead, and the one the reader is working on, if any.
    std::vector<std::unique_ptr<ReadAhead>> m_ahead;
    ReadAhead *m_running = nullptr;
    std::function<void()> m_readJob;
    HelperThread m_reader;
};

} // namespace platform::tree_search
