#include "core/deletion_workers.h"

#include "core/directory_cursor.h"
#include "platform/text.h"
#include "platform/tree_walk.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

// The only threads of the core, and all the data they share, are in this file.

namespace core {

namespace {

// A run's attempts and their lines. Workers delete, each with a cursor of its own, taking units of
// a few consecutive rows of one directory in table order; whoever finishes a unit hands the lines
// of every row done from the first unwritten one on to the log in one go, in table order. No
// attempt starts more than kRowsAheadPerWorker rows per worker beyond the last line written.
class Attempts
{
public:
    Attempts(const ListingTable &table, RunLog *log, DeletionReport &report,
        const platform::StopSignals &stopSignals, std::size_t workers)
        : m_table(table)
        , m_log(log)
        , m_report(report)
        , m_stopSignals(stopSignals)
        , m_unitStarts(unitStarts(table))
        // Each worker's walk holds directories open: a low limit of descriptors means fewer
        // workers rather than failed moves.
        , m_workers(std::clamp<std::size_t>(
              platform::walksWithinDescriptorLimit(workers), 1, m_unitStarts.size() - 1))
        , m_rowsAhead(kRowsAheadPerWorker * m_workers)
        , m_results(table.fileCount())
        , m_errors(table.fileCount())
    {
    }

    // Makes the attempts and writes their lines; returns when all are done and written, or when
    // the run was stopped and the attempts in flight are.
    void run(const ProgressPace::Report &progress)
    {
        ProgressPace pace(progress, m_table.fileCount());
        std::vector<std::thread> threads;
        for (std::size_t i = 0; m_workers > 1 && i < m_workers; ++i) {
            try {
                threads.emplace_back([this] { work(nullptr); });
            } catch (const std::system_error &) {
                break; // fewer workers, or none: the calling thread then deletes itself
            }
        }
        if (threads.empty()) {
            m_workers = 1;
            work(&pace);
        } else {
            waitForWorkers(pace, threads.size());
        }
        for (std::thread &thread : threads)
            thread.join();
        // The lines of rows attempted beyond a row that a stop left unattempted.
        commit(true);
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

    AttemptsEnd end() const
    {
        AttemptsEnd end;
        end.interrupted = m_interrupted.load(std::memory_order_relaxed);
        end.logError = m_logError;
        if (!m_logError)
            return end;
        for (std::size_t row = m_firstUnlogged; row < m_table.fileCount(); ++row) {
            const unsigned char result = m_results[row].load(std::memory_order_relaxed);
            if (result != kPending && outcomeOf(removalOf(result)) == Outcome::Deleted) {
                end.deletedUnlogged.push_back(m_table.path(row));
                platform::maskControlBytes(end.deletedUnlogged.back());
            }
        }
        return end;
    }

private:
    static constexpr unsigned char kPending = 0;
    // Rows handed out at a time, and how far ahead of the last line written each worker may be.
    static constexpr std::size_t kRowsPerUnit = 8;
    static constexpr std::size_t kRowsAheadPerWorker = 8;

    // The first row of each unit, and the row count.
    static std::vector<std::size_t> unitStarts(const ListingTable &table)
    {
        std::vector<std::size_t> starts;
        for (std::size_t row = 0; row < table.fileCount(); ++row) {
            if (row == 0 || row - starts.back() >= kRowsPerUnit
                || table.fileDirectory(row) != table.fileDirectory(row - 1))
                starts.push_back(row);
        }
        starts.push_back(table.fileCount());
        return starts;
    }

    static platform::Removal removalOf(unsigned char result)
    {
        return static_cast<platform::Removal>(result - 1);
    }

    // A worker's loop; `pace` only on the calling thread deleting alone.
    void work(ProgressPace *pace)
    {
        try {
            DirectoryCursor cursor(m_table, m_workers);
            for (bool going = true; going;) {
                const std::size_t unit = m_nextUnit.fetch_add(1, std::memory_order_relaxed);
                if (unit + 1 >= m_unitStarts.size())
                    break;
                for (std::size_t row = m_unitStarts[unit]; going && row < m_unitStarts[unit + 1];
                     ++row) {
                    going = mayAttempt(row);
                    if (!going)
                        break;
                    const platform::RemoveResult result = cursor.removeRow(row);
                    m_errors[row] = result.error;
                    m_results[row].store(
                        static_cast<unsigned char>(static_cast<unsigned char>(result.removal) + 1),
                        std::memory_order_release);
                }
                commit(false);
                // Alone, the calling thread tells the progress between its units.
                const std::size_t written = m_written.load(std::memory_order_relaxed);
                if (pace && written > 0)
                    pace->offer(written);
            }
        } catch (...) {
            const std::lock_guard lock(m_commitMutex);
            if (!m_failure)
                m_failure = std::current_exception();
            stop();
        }
        const std::lock_guard lock(m_callerMutex);
        ++m_finishedWorkers;
        m_callerWake.notify_one();
    }

    // Whether `row` may be attempted now: waits while it lies too far ahead of the last line
    // written; false once the run is stopped.
    bool mayAttempt(std::size_t row)
    {
        if (m_stopSignals.requested()) {
            m_interrupted.store(true, std::memory_order_relaxed);
            stop();
        }
        if (m_stop.load(std::memory_order_acquire))
            return false;
        if (row < m_written.load(std::memory_order_acquire) + m_rowsAhead)
            return true;
        // What this worker has done is written first: the line it waits for may be among them.
        commit(false);
        m_windowWaiters.fetch_add(1, std::memory_order_seq_cst);
        {
            std::unique_lock lock(m_windowMutex);
            m_windowMoved.wait(lock, [&] {
                return row < m_written.load(std::memory_order_seq_cst) + m_rowsAhead
                    || m_stop.load(std::memory_order_seq_cst);
            });
        }
        m_windowWaiters.fetch_sub(1, std::memory_order_relaxed);
        return !m_stop.load(std::memory_order_acquire);
    }

    void stop()
    {
        m_stop.store(true, std::memory_order_seq_cst);
        const std::lock_guard lock(m_windowMutex);
        m_windowMoved.notify_all();
    }

    // Takes the rows done from the first unwritten one on into the report and the log, in table
    // order, and writes their lines in one go. `final`, once every worker has ended: rows a stop
    // left unattempted are passed over, so that every attempt has its line.
    void commit(bool final)
    {
        const std::lock_guard lock(m_commitMutex);
        const std::size_t first = m_written.load(std::memory_order_relaxed);
        std::size_t row = first;
        for (; row < m_table.fileCount(); ++row) {
            const unsigned char result = m_results[row].load(std::memory_order_acquire);
            if (result == kPending) {
                if (final)
                    continue;
                break;
            }
            const StayedFile *stayed = addToReport(m_report, row, removalOf(result), m_errors[row]);
            if (m_log && !m_logError)
                m_log->addFileLine(m_table, row, stayed);
        }
        if (row == first)
            return;
        if (m_log && !m_logError) {
            std::size_t failedRow = 0;
            m_logError = m_log->writePending(failedRow);
            if (m_logError) {
                m_firstUnlogged = failedRow;
                stop();
            }
        }
        m_written.store(row, std::memory_order_seq_cst);
        if (first == 0) {
            // The caller tells the progress as soon as the first lines are written.
            const std::lock_guard callerLock(m_callerMutex);
            m_callerWake.notify_one();
        }
        if (m_windowWaiters.load(std::memory_order_seq_cst) > 0) {
            const std::lock_guard windowLock(m_windowMutex);
            m_windowMoved.notify_all();
        }
    }

    // The calling thread's share while workers delete: telling the progress, the first time as
    // soon as lines are written, then as the pace allows.
    void waitForWorkers(ProgressPace &pace, std::size_t workers)
    {
        std::unique_lock lock(m_callerMutex);
        const auto finished = [&] { return m_finishedWorkers == workers; };
        for (;;) {
            const auto wake = [&] {
                return finished()
                    || (!pace.started() && m_written.load(std::memory_order_relaxed) > 0);
            };
            if (pace.started())
                m_callerWake.wait_until(lock, pace.nextTell(), wake);
            else
                m_callerWake.wait(lock, wake);
            if (finished())
                return;
            lock.unlock();
            pace.offer(m_written.load(std::memory_order_relaxed));
            lock.lock();
        }
    }

    const ListingTable &m_table;
    RunLog *m_log; // none when the run keeps no log
    DeletionReport &m_report;
    const platform::StopSignals &m_stopSignals;
    const std::vector<std::size_t> m_unitStarts;
    std::size_t m_workers;
    const std::size_t m_rowsAhead;
    std::atomic<std::size_t> m_nextUnit { 0 };
    // Each row's Removal plus one once its attempt is done, with the system's error.
    std::vector<std::atomic<unsigned char>> m_results;
    std::vector<platform::SystemError> m_errors;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_interrupted { false };

    // Under m_commitMutex: the report, the log and what became of them.
    std::mutex m_commitMutex;
    std::atomic<std::size_t> m_written { 0 }; // rows taken, from the first on
    platform::SystemError m_logError;
    std::size_t m_firstUnlogged = 0; // the row of the first line the failed log lacks
    std::exception_ptr m_failure;

    // Workers too far ahead wait here for the lines to be written.
    std::mutex m_windowMutex;
    std::condition_variable m_windowMoved;
    std::atomic<int> m_windowWaiters { 0 };

    // The calling thread waits here for the workers to end.
    std::mutex m_callerMutex;
    std::condition_variable m_callerWake;
    std::size_t m_finishedWorkers = 0;
};

} // namespace

AttemptsEnd attemptRows(const ListingTable &table, RunLog *log, DeletionReport &report,
    const platform::StopSignals &stopSignals, std::size_t workers,
    const ProgressPace::Report &progress)
{
    Attempts attempts(table, log, report, stopSignals, workers);
    attempts.run(progress);
    return attempts.end();
}

} // namespace core
