#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace core {

// Tells a long run's progress a few times a second at most: the files a listing has found so
// far, or the files a deletion run has attempted of its total. The first offer always tells, so
// that a run shows that it goes on as soon as it has something to show. Not shared between
// threads: the thread that tells owns it.
class ProgressPace
{
public:
    using Report = std::function<void(std::size_t done, std::size_t total)>;
    using Moment = std::chrono::steady_clock::time_point;

    // The shortest time between two tells.
    static constexpr std::chrono::milliseconds kInterval { 250 };
    // Asking the clock for every file found would cost more than many a file itself, so a
    // listing reads it only every so many files.
    static constexpr std::size_t kFilesPerLook = 512;

    // `total`: the count the run ends at, or 0 while it is not known (a listing).
    explicit ProgressPace(const Report &report, std::size_t total = 0)
        : m_report(report)
        , m_total(total)
        , m_next(std::chrono::steady_clock::now())
    {
    }

    // One more file found; tells the files found so far when its time has come.
    void fileFound()
    {
        ++m_found;
        if (m_found % kFilesPerLook == 0)
            offer(m_found);
    }

    // Tells `done` when its time has come: at the first offer, then once an interval has passed.
    // Without a report the offers pass all the same, so that a waiting thread keeps its rhythm.
    void offer(std::size_t done)
    {
        const Moment now = std::chrono::steady_clock::now();
        if (now < m_next)
            return;
        m_next = now + kInterval;
        m_started = true;
        if (m_report)
            m_report(done, m_total);
    }

    // Whether the first offer has passed.
    bool started() const { return m_started; }
    // When the next offer will tell, for a thread that waits for something else meanwhile.
    Moment nextTell() const { return m_next; }

private:
    const Report &m_report;
    std::size_t m_total;
    std::size_t m_found = 0;
    bool m_started = false;
    Moment m_next;
};

} // namespace core
