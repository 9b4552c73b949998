#include "platform/linux/read_ahead.h"

#include <algorithm>
#include <cerrno>

namespace platform::tree_search {

void ReadAhead::run()
{
    frame.fd.reset(openat(parentFd, name.c_str(), kDirectoryFlags | O_NOFOLLOW));
    if (!frame.fd) {
        openError = errno;
    } else if (fstat(frame.fd.get(), &info) != 0) {
        statError = errno;
    } else if (!top.holds(frame.fd.get(), info)) {
        otherMount = true;
    } else if (S_ISDIR(info.st_mode)) {
        fillBatch(frame, true);
        classifyRange(frame.fd.get(), frame.batch, 0, frame.batch.entries.size());
    }
    done.store(true, std::memory_order_release);
}

void ReadAheads::plan(const Frame &frame, std::size_t level, bool roomForOne, const MountPlace &top)
{
    if (m_running) {
        if (!m_running->done.load(std::memory_order_acquire))
            return;
        finishRunning();
    }
    if (!frame.fd || !roomForOne || m_ahead.size() >= kMostReadAhead)
        return;
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
        ahead->parentFd = frame.fd.get();
        ahead->top = top;
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

bool ReadAheads::isReadAhead(std::size_t level, std::uint64_t serial, std::size_t entry) const
{
    return std::any_of(m_ahead.begin(), m_ahead.end(), [&](const auto &ahead) {
        return ahead->level == level && ahead->batchSerial == serial && ahead->entry == entry;
    });
}

std::unique_ptr<ReadAhead> ReadAheads::take(
    std::size_t level, std::uint64_t serial, std::size_t entry)
{
    for (auto at = m_ahead.begin(); at != m_ahead.end(); ++at) {
        if ((*at)->level != level || (*at)->batchSerial != serial || (*at)->entry != entry)
            continue;
        if (at->get() == m_running)
            finishRunning();
        std::unique_ptr<ReadAhead> ahead = std::move(*at);
        m_ahead.erase(at);
        return ahead;
    }
    return nullptr;
}

void ReadAheads::dropFrom(std::size_t level)
{
    for (auto at = m_ahead.begin(); at != m_ahead.end();) {
        if ((*at)->level < level) {
            ++at;
            continue;
        }
        if (at->get() == m_running)
            finishRunning();
        at = m_ahead.erase(at);
    }
}

void ReadAheads::waitForReader(int fd)
{
    if (m_running && m_running->parentFd == fd)
        finishRunning();
}

void ReadAheads::finishRunning()
{
    m_reader.wait();
    m_running = nullptr;
}

} // namespace platform::tree_search
