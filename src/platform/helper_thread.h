#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

// A second thread for work that overlaps the caller's: started with the first job, ended with
// the object. When the system gives no thread, jobs run on the caller's thread instead.
class HelperThread
{
public:
    HelperThread() = default;
    ~HelperThread()
    {
        if (!m_thread.joinable())
            return;
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    HelperThread(const HelperThread &) = delete;
    HelperThread &operator=(const HelperThread &) = delete;

    // Starts `job`, which must stay alive until wait() returns. Returns false, having run
    // nothing, when no thread could be had; the caller then does the work itself.
    bool post(const std::function<void()> &job)
    {
        if (!start())
            return false;
        {
            const std::lock_guard lock(m_mutex);
            m_job = &job;
        }
        m_wake.notify_one();
        return true;
    }

    // Returns when the job posted last has ended.
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_job == nullptr; });
    }

private:
    bool start()
    {
        if (!m_thread.joinable() && !m_failed) {
            try {
                m_thread = std::thread([this] { serve(); });
            } catch (const std::system_error &) {
                m_failed = true;
            }
        }
        return !m_failed;
    }

    void serve()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_job != nullptr || m_stopping; });
            if (m_stopping)
                return;
            const std::function<void()> *job = m_job;
            lock.unlock();
            (*job)();
            lock.lock();
            m_job = nullptr;
            m_done.notify_one();
        }
    }

    std::thread m_thread;
    bool m_failed = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void()> *m_job = nullptr;
    bool m_stopping = false;
};

} // namespace platform
