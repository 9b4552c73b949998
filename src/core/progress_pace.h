#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace core {

// Tells a long listing's progress a few times a second at most. Asking the clock for every file
// would cost more than many a file itself, so the clock is read only every `kFilesPerLook` files.
// The first look always tells, so that a listing shows that it runs as soon as it has found a few
// hundred files.
class ProgressPace
{
public:
    using Report = std::function<void(std::size_t done, std::size_t total)>;

    explicit ProgressPace(const Report &report)
        : m_report(report)
        , m_next(std::chrono::steady_clock::now())
    {
    }

    // One more file found; tells the report the files found so far when its time has come.
    void fileFound()
    {
        ++m_found;
        if (!m_report || m_found % kFilesPerLook != 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now < m_next)
            return;
        m_next = now + kInterval;
        m_report(m_found, 0);
    }

private:
    static constexpr std::size_t kFilesPerLook = 512;
    static constexpr std::chrono::milliseconds kInterval { 200 };

    const Report &m_report;
    std::size_t m_found = 0;
    std::chrono::steady_clock::time_point m_next;
};

} // namespace core
