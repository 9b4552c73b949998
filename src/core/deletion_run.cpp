#include "core/deletion_run.h"

#include "core/errors.h"
#include "core/messages.h"
#include "platform/append_file.h"
#include "platform/date_time_format.h"
#include "platform/stop_signals.h"
#include "platform/system_root.h"
#include "platform/text.h"
#include "platform/tree_walk.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace core {

namespace {

// The log of one deletion run. Lines are gathered and handed to the system together, as soon as
// the attempts they tell of are done; a failure to open it or to write its first lines closes it
// and ends the run with its message, naming the log.
class RunLog
{
public:
    RunLog(const platform::LocaleFormats &formats, const platform::Clock &clock)
        : m_formats(formats)
        , m_clock(clock)
    {
    }

    const std::string &path() const { return m_path; }

    void open(const std::string &path)
    {
        m_path = path;
        const platform::SystemError error = m_file.open(path);
        if (error.kind == platform::ErrorKind::InUse)
            throw AppError(std::string(messages::kLogInUse), m_path);
        check(error);
    }

    void line(std::string_view text)
    {
        m_line.assign(text);
        m_line += "\r\n";
        check(m_file.append(m_line));
    }

    // Adds the line of row `row` to the lines waiting to be written: the moment, a blank and the
    // full path, and for a file that stayed why; a name cannot forge lines, since bytes below 32
    // are written as "?".
    void addFileLine(const ListingTable &table, std::size_t row, const StayedFile *stayed)
    {
        m_pendingRows.push_back(row);
        m_pending += stamp();
        const std::size_t start = m_pending.size();
        table.appendPath(m_pending, row);
        platform::maskControlBytes(m_pending, start);
        if (stayed) {
            m_pending += messages::kNotDeletedOpening;
            m_pending += messages::notDeletedReason(stayed->outcome, stayed->error);
            m_pending += messages::kNotDeletedClosing;
        }
        m_pending += "\r\n";
    }

    // Writes the lines added since the last write in one go. When that fails, closes the log and
    // returns the system's error with `failedRow` set to the row of the first line not written;
    // the lines before it stay whole.
    platform::SystemError writePending(std::size_t &failedRow)
    {
        if (m_pending.empty())
            return {};
        std::size_t whole = 0;
        const platform::SystemError error = m_file.appendLines(m_pending, whole);
        if (error) {
            const auto written
                = std::count(m_pending.begin(), m_pending.begin() + static_cast<long>(whole), '\n');
            failedRow = m_pendingRows[static_cast<std::size_t>(written)];
            m_file.close();
        }
        m_pending.clear();
        m_pendingRows.clear();
        return error;
    }

    void close() { check(m_file.close()); }

private:
    void check(platform::SystemError error)
    {
        if (!error)
            return;
        m_file.close();
        throw AppError(messages::fileError(error), m_path);
    }

    // The moment of writing and a blank, formatted once per second.
    const std::string &stamp()
    {
        const std::int64_t now = m_clock.now();
        if (now != m_stampSecond) {
            m_stampSecond = now;
            m_stamp = logTimestamp(platform::localTimeOf(now), m_formats);
            m_stamp.push_back(' ');
        }
        return m_stamp;
    }

    platform::LockedAppendFile m_file;
    const platform::LocaleFormats &m_formats;
    const platform::Clock &m_clock;
    std::string m_path;
    std::int64_t m_stampSecond = -1;
    std::string m_stamp;
    std::string m_line;
    // Lines added but not yet written, and the row of each.
    std::string m_pending;
    std::vector<std::size_t> m_pendingRows;
};

// Keeps the walk's current directory on the directory of the row being deleted, moving along the
// table's tree of directories: up to the nearest common ancestor, then down, a level at a time.
// A directory found unreachable as listed stays so for the run, and so does every directory
// below it: their rows are passed over without a lookup, and a row is never the reason to climb
// from the top again through a chain already known broken. A move the system refused (no
// descriptor left, no permission) marks nothing: the next row tries again.
class DirectoryCursor
{
public:
    // `walks`: how many cursors move through the tree at once.
    DirectoryCursor(const ListingTable &table, std::size_t walks)
        : m_table(table)
        , m_walk(walks)
        , m_unreachable(table.directoryCount(), false)
    {
        // A directory is added after its parent, so each depth is known when it is needed.
        m_depth.resize(table.directoryCount());
        for (std::uint32_t i = 0; i < m_depth.size(); ++i) {
            const std::uint32_t parent = table.directory(i).parent;
            m_depth[i] = parent == ListingTable::kNoParent ? 0 : m_depth[parent] + 1;
        }
    }

    platform::TreeWalk &walk() { return m_walk; }

    // Makes `target` current; fails when it cannot be reached as it was listed, or the system
    // refused a move on the way.
    platform::MoveResult moveTo(std::uint32_t target)
    {
        if (m_unreachable[target])
            return {};
        if (m_walk.hasCurrent() && target == m_current)
            return { true, {} };
        if (m_walk.hasCurrent()) {
            const platform::MoveResult followed = follow(target);
            if (followed || followed.error)
                return followed;
        }
        // Unreachable below a directory reached, or found so on the way: no second try.
        if (m_unreachable[target])
            return {};
        return fromTop(target);
    }

    // The current directory was found no longer where it was listed; the walk has let it go.
    void lostCurrent() { m_unreachable[m_current] = true; }

private:
    std::uint32_t parentOf(std::uint32_t index) const { return m_table.directory(index).parent; }

    // Notes `index` as a directory to enter on the way down to the target, unless it is known
    // unreachable: then so are the target and every directory noted before it.
    bool note(std::uint32_t index)
    {
        if (m_unreachable[index]) {
            markNoted(m_downward.size());
            return false;
        }
        m_downward.push_back(index);
        return true;
    }

    // Marks the first `count` directories noted (the target and those above it) unreachable.
    void markNoted(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            m_unreachable[m_downward[i]] = true;
    }

    // From the current directory over the common ancestor to `target`.
    platform::MoveResult follow(std::uint32_t target)
    {
        std::uint32_t up = m_current;
        std::uint32_t down = target;
        m_downward.clear();
        while (m_depth[up] > m_depth[down])
            up = parentOf(up);
        while (m_depth[down] > m_depth[up]) {
            if (!note(down))
                return {};
            down = parentOf(down);
        }
        while (up != down) {
            if (!note(down))
                return {};
            up = parentOf(up);
            down = parentOf(down);
            if (up == ListingTable::kNoParent || down == ListingTable::kNoParent)
                return {}; // under another listed top
        }
        while (m_current != up) {
            const std::uint32_t parent = parentOf(m_current);
            const platform::MoveResult moved
                = m_walk.enterParent(m_table.directory(parent).identity);
            if (!moved)
                return moved;
            m_current = parent;
        }
        return descend();
    }

    // From the listed directory at the top of `target`'s chain down to `target`.
    platform::MoveResult fromTop(std::uint32_t target)
    {
        m_downward.clear();
        std::uint32_t top = target;
        while (parentOf(top) != ListingTable::kNoParent) {
            if (!note(top))
                return {};
            top = parentOf(top);
        }
        const ListingTable::Directory &record = m_table.directory(top);
        const platform::MoveResult opened = m_unreachable[top]
            ? platform::MoveResult {}
            : m_walk.openTop(record.name, record.identity);
        if (!opened) {
            if (!opened.error) {
                m_unreachable[top] = true;
                markNoted(m_downward.size());
            }
            return opened;
        }
        m_current = top;
        return descend();
    }

    platform::MoveResult descend()
    {
        for (std::size_t i = m_downward.size(); i-- > 0;) {
            const ListingTable::Directory &record = m_table.directory(m_downward[i]);
            std::string_view name = record.name;
            name.remove_suffix(1); // the "/" that ends every directory's name
            const platform::MoveResult entered = m_walk.enterChild(name, record.identity);
            if (!entered) {
                if (!entered.error)
                    markNoted(i + 1);
                return entered;
            }
            m_current = m_downward[i];
        }
        return { true, {} };
    }

    const ListingTable &m_table;
    platform::TreeWalk m_walk;
    std::vector<std::uint32_t> m_depth;
    std::vector<bool> m_unreachable;
    // The directories to enter on the way down, the target first.
    std::vector<std::uint32_t> m_downward;
    std::uint32_t m_current = ListingTable::kNoParent;
};

// What the walk's answer means for the run.
Outcome outcomeOf(platform::Removal removal)
{
    switch (removal) {
    case platform::Removal::Removed:
    case platform::Removal::Gone:
        return Outcome::Deleted;
    case platform::Removal::Refused:
        return Outcome::Refused;
    case platform::Removal::Changed:
        return Outcome::Changed;
    case platform::Removal::DirectoryChanged:
        break;
    }
    return Outcome::DirectoryChanged;
}

// Deletes row `row` of the table from the directory the cursor holds, moving it there first.
platform::RemoveResult attemptRow(
    DirectoryCursor &cursor, const ListingTable &table, std::size_t row)
{
    const platform::MoveResult moved = cursor.moveTo(table.fileDirectory(row));
    if (moved.error)
        return { platform::Removal::Refused, moved.error };
    if (!moved)
        return { platform::Removal::DirectoryChanged, {} };
    const platform::RemoveResult result
        = cursor.walk().removeFile(table.fileName(row), table.fileIdentity(row));
    if (result.removal == platform::Removal::DirectoryChanged)
        cursor.lostCurrent();
    return result;
}

// A run's attempts and their lines. Workers delete, each with a walk of its own, taking units of a
// few consecutive rows of one directory in table order; whoever finishes a unit hands the lines of
// every row done from the first unwritten one on to the log in one go, in table order. No attempt
// starts more than kRowsAheadPerWorker rows per worker beyond the last line written, so a run
// killed at any moment leaves no more files deleted without their line than that. Once the run is
// stopped (a request to end the program, or the log failing), no new attempt starts; the attempts
// in flight end, and their lines are written while the log can be. With one worker the calling
// thread deletes itself.
class Attempts
{
public:
    using Progress = std::function<void(std::size_t done, std::size_t total)>;

    Attempts(const ListingTable &table, RunLog *log, DeletionReport &report,
        const platform::StopSignals &stopSignals, std::size_t workers)
        : m_table(table)
        , m_log(log)
        , m_report(report)
        , m_stopSignals(stopSignals)
        , m_results(table.fileCount())
        , m_errors(table.fileCount())
    {
        for (std::size_t row = 0; row < m_table.fileCount(); ++row) {
            if (row == 0 || row - m_unitStarts.back() >= kRowsPerUnit
                || m_table.fileDirectory(row) != m_table.fileDirectory(row - 1))
                m_unitStarts.push_back(row);
        }
        m_unitStarts.push_back(m_table.fileCount());
        // Each worker's walk holds directories open: a low limit of descriptors means fewer
        // workers rather than failed moves.
        m_workers = std::clamp<std::size_t>(
            platform::walksWithinDescriptorLimit(workers), 1, m_unitStarts.size() - 1);
        m_rowsAhead = kRowsAheadPerWorker * m_workers;
    }

    // Makes the attempts and writes their lines; returns when all are done and written, or when
    // the run was stopped and the attempts in flight are. `progress` is told on the calling thread.
    // A worker's failure (no memory left) is thrown here, after the lines of every row attempted.
    void run(const Progress &progress)
    {
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
            work(&progress);
        } else {
            waitForWorkers(progress, threads.size());
        }
        for (std::thread &thread : threads)
            thread.join();
        // The lines of rows attempted beyond a row that a stop left unattempted.
        commit(true);
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

    bool interrupted() const { return m_interrupted.load(std::memory_order_relaxed); }
    platform::SystemError logError() const { return m_logError; }

    // After a log failure: the full path of every file deleted whose line the log lacks.
    std::vector<std::string> deletedUnlogged() const
    {
        std::vector<std::string> paths;
        for (std::size_t row = m_firstUnlogged; row < m_table.fileCount(); ++row) {
            const unsigned char result = m_results[row].load(std::memory_order_relaxed);
            if (result != kPending && outcomeOf(removalOf(result)) == Outcome::Deleted) {
                paths.push_back(m_table.path(row));
                platform::maskControlBytes(paths.back());
            }
        }
        return paths;
    }

private:
    static constexpr unsigned char kPending = 0;
    // Rows handed out at a time, and how far ahead of the last line written each worker may be.
    static constexpr std::size_t kRowsPerUnit = 8;
    static constexpr std::size_t kRowsAheadPerWorker = 8;
    static constexpr std::chrono::milliseconds kProgressInterval { 250 };

    static platform::Removal removalOf(unsigned char result)
    {
        return static_cast<platform::Removal>(result - 1);
    }

    void work(const Progress *progress)
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
                    const platform::RemoveResult result = attemptRow(cursor, m_table, row);
                    m_errors[row] = result.error;
                    m_results[row].store(
                        static_cast<unsigned char>(static_cast<unsigned char>(result.removal) + 1),
                        std::memory_order_release);
                }
                commit(false);
                if (progress)
                    tellProgress(*progress);
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
            take(row, removalOf(result));
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

    // A file that cannot be deleted stays; the run goes on, and the log keeps every attempt with
    // the reason of each that stayed. A file gone before its attempt counts as deleted: it is not
    // there any more, as the user asked.
    void take(std::size_t row, platform::Removal removal)
    {
        const Outcome outcome = outcomeOf(removal);
        const StayedFile *stayed = nullptr;
        if (outcome == Outcome::Deleted) {
            ++m_report.deleted;
        } else {
            m_report.stayed.push_back({ row, outcome, m_errors[row] });
            stayed = &m_report.stayed.back();
        }
        if (m_log && !m_logError)
            m_log->addFileLine(m_table, row, stayed);
    }

    // The calling thread's share while workers delete: telling the progress, the first time as
    // soon as lines are written, then a few times a second.
    void waitForWorkers(const Progress &progress, std::size_t workers)
    {
        std::unique_lock lock(m_callerMutex);
        bool told = false;
        for (;;) {
            const auto wake = [&] {
                return m_finishedWorkers == workers
                    || (!told && m_written.load(std::memory_order_relaxed) > 0);
            };
            if (told)
                m_callerWake.wait_for(lock, kProgressInterval, wake);
            else
                m_callerWake.wait(lock, wake);
            if (m_finishedWorkers == workers)
                return;
            told = true;
            if (progress) {
                lock.unlock();
                progress(m_written.load(std::memory_order_relaxed), m_table.fileCount());
                lock.lock();
            }
        }
    }

    // With one worker, the calling thread tells the progress between its units.
    void tellProgress(const Progress &progress)
    {
        const std::size_t written = m_written.load(std::memory_order_relaxed);
        if (!progress || written == 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (m_toldAt && now - *m_toldAt < kProgressInterval)
            return;
        m_toldAt = now;
        progress(written, m_table.fileCount());
    }

    const ListingTable &m_table;
    RunLog *m_log; // none when the run keeps no log
    DeletionReport &m_report;
    const platform::StopSignals &m_stopSignals;
    std::size_t m_workers = 1;
    std::size_t m_rowsAhead = kRowsAheadPerWorker;
    std::vector<std::size_t> m_unitStarts; // the first row of each unit, and the row count
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
    std::optional<std::chrono::steady_clock::time_point> m_toldAt;
};

// Refuses a run below the root of the system before anything is deleted or logged: an empty
// variable in «/VERZEICHNIS:$ARCHIV/» must not empty the whole machine.
void refuseSystemRoot(const ListingTable &table)
{
    for (std::uint32_t index = 0; index < table.directoryCount(); ++index) {
        const ListingTable::Directory &directory = table.directory(index);
        if (directory.parent == ListingTable::kNoParent
            && platform::isSystemRoot(directory.identity))
            throw AppError(std::string(messages::kSystemRootRefused), directory.name);
    }
}

} // namespace

std::size_t defaultDeletionWorkers()
{
    // Deletions in different directories do not wait for each other in the kernel; more workers
    // than cores only take turns, and a few are enough to keep a small machine's cores busy.
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4);
}

std::string logTimestamp(const platform::LocalTime &moment, const platform::LocaleFormats &formats)
{
    std::string text = platform::DateTimeFormat(formats.shortDate, formats).format(moment);
    if (moment.hour != 0 || moment.minute != 0 || moment.second != 0) {
        text.push_back(' ');
        platform::DateTimeFormat(formats.longTime, formats).append(text, moment);
    }
    return text;
}

DeletionReport DeleteListed(const JobState &state, std::size_t workers)
{
    DeletionReport report;
    const ListingTable &table = state.Table;
    // The empty listing is known by its flag: a file that happens to bear the placeholder's
    // name is deleted like any other.
    if (table.isEmptyListing() || table.fileCount() == 0)
        return report;
    refuseSystemRoot(table);

    const bool logging = !state.LogFileName.empty();
    RunLog log(state.Formats, state.Clock);
    if (logging) {
        log.open(state.LogFileName);
        log.line("");
        log.line(messages::deletionStart(table.fileCount()));
    }
    // From here on a request to end the program stops the run after the attempts in flight.
    const platform::StopSignals stopSignals;
    Attempts attempts(table, logging ? &log : nullptr, report, stopSignals, workers);
    attempts.run(state.Progress);
    if (const platform::SystemError error = attempts.logError()) {
        std::vector<std::string> notes;
        for (const std::string &path : attempts.deletedUnlogged())
            notes.push_back(messages::deletedNotLogged(path));
        throw AppError(messages::fileError(error), log.path(), std::move(notes));
    }
    if (logging)
        log.close();
    if (attempts.interrupted())
        throw RunInterrupted(std::string(messages::kRunInterrupted));
    return report;
}

} // namespace core
