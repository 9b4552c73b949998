#include "core/deletion_run.h"

#include "core/errors.h"
#include "core/messages.h"
#include "platform/append_file.h"
#include "platform/date_time_format.h"
#include "platform/text.h"
#include "platform/tree_walk.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace core {

namespace {

// The log of one deletion run: every line is handed to the system as soon as it is complete,
// and a failure closes the log and ends the run with its message, naming the log.
class RunLog
{
public:
    RunLog(const platform::LocaleFormats &formats, const platform::Clock &clock)
        : m_formats(formats)
        , m_clock(clock)
    {
    }

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
        if (m_pending.empty())
            m_pendingFirstRow = row;
        m_pending += stamp();
        appendMaskedPath(m_pending, table, row);
        if (stayed) {
            m_pending += messages::kNotDeletedOpening;
            m_pending += messages::notDeletedReason(stayed->outcome, stayed->error);
            m_pending += messages::kNotDeletedClosing;
        }
        m_pending += "\r\n";
    }

    std::size_t pendingBytes() const { return m_pending.size(); }

    // Writes the lines added since the last write in one go, so that lines whose files are
    // done together cost one call. When that fails, returns the system's error and sets
    // `failedRow` to the row of the first line not written; the lines before it stay whole.
    platform::SystemError writePending(std::size_t &failedRow)
    {
        if (m_pending.empty())
            return {};
        std::size_t whole = 0;
        const platform::SystemError error = m_file.appendLines(m_pending, whole);
        if (error) {
            failedRow = m_pendingFirstRow
                + static_cast<std::size_t>(std::count(
                    m_pending.begin(), m_pending.begin() + static_cast<long>(whole), '\n'));
        }
        m_pending.clear();
        return error;
    }

    // Ends the run after a file line could not be written. `firstDeleted`: the first row from
    // the failing one on whose file was deleted nevertheless, `more` the files of later rows
    // deleted too; the error names them, since the log lacks them.
    [[noreturn]] void fileLineFailed(platform::SystemError error, const ListingTable &table,
        std::optional<std::size_t> firstDeleted, std::size_t more)
    {
        std::string note;
        if (firstDeleted) {
            std::string path;
            appendMaskedPath(path, table, *firstDeleted);
            note = messages::deletedNotLogged(path, more);
        }
        check(error, std::move(note));
        throw AppError(messages::fileError(error), m_path); // not reached: error is not 0
    }

    void close() { check(m_file.close()); }

private:
    static void appendMaskedPath(std::string &out, const ListingTable &table, std::size_t row)
    {
        const std::size_t start = out.size();
        table.appendPath(out, row);
        platform::maskControlBytes(out, start);
    }

    void check(platform::SystemError error, std::string note = {})
    {
        if (!error)
            return;
        m_file.close();
        throw AppError(messages::fileError(error), m_path, std::move(note));
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
    // Lines added but not yet written, the first of them for row m_pendingFirstRow.
    std::string m_pending;
    std::size_t m_pendingFirstRow = 0;
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

// The attempts of a run, handed to the caller in table order. With one worker the caller makes
// each attempt itself when it asks for it. With more, a pool of threads deletes ahead of the
// caller, each with a walk of its own, taking units of consecutive rows of one directory in table
// order; the caller takes the results row by row as they finish. Workers never run more than
// kRowsAhead rows ahead of the rows the caller has taken, so that a run stopped by the caller
// (its log failed) leaves few files deleted whose lines were never written, and none of the rows
// beyond that window is attempted.
class Attempts
{
public:
    Attempts(const ListingTable &table, std::size_t workers)
        : m_table(table)
        , m_cursor(table, 1)
    {
        if (workers <= 1 || table.fileCount() < 2)
            return;
        splitIntoUnits();
        workers = std::min(workers, m_unitStarts.size() - 1);
        if (workers <= 1)
            return;
        m_results = std::vector<std::atomic<unsigned char>>(table.fileCount());
        m_errors.assign(table.fileCount(), {});
        for (std::size_t i = 0; i < workers; ++i) {
            try {
                m_threads.emplace_back([this, workers] { work(workers); });
            } catch (const std::system_error &) {
                break; // fewer workers, or none: the caller then deletes itself
            }
        }
    }

    ~Attempts() { finish(); }
    Attempts(const Attempts &) = delete;
    Attempts &operator=(const Attempts &) = delete;

    // The attempt of `row`, the row after the one taken last: made now, or waited for.
    platform::RemoveResult take(std::size_t row)
    {
        if (m_threads.empty())
            return attemptRow(m_cursor, m_table, row);
        unsigned char result = m_results[row].load(std::memory_order_acquire);
        if (result == kPending) {
            // The caller waits for the rest of the row's unit as well: one worker attempts a
            // unit's rows in order, and waking the caller for each of them would cost more than
            // the attempts; the lines of the unit are then written in one go.
            const std::size_t last = lastRowOfUnit(row);
            std::unique_lock lock(m_mutex);
            m_wanted.store(last, std::memory_order_seq_cst);
            m_done.wait(lock, [&] {
                return m_results[last].load(std::memory_order_seq_cst) != kPending || m_failed;
            });
            m_wanted.store(kNoRow, std::memory_order_relaxed);
            result = m_results[row].load(std::memory_order_seq_cst);
            if (result == kPending) {
                lock.unlock();
                finish();
                std::rethrow_exception(m_failure);
            }
        }
        m_taken.store(row + 1, std::memory_order_release);
        if (row + 1 >= m_wakeWorkersAt) {
            m_wakeWorkersAt = row + 1 + kRowsAhead / 4;
            m_taken.notify_all();
        }
        return { static_cast<platform::Removal>(result - 1), m_errors[row] };
    }

    // Whether the attempt of `row` is done; false when the caller deletes itself.
    bool ready(std::size_t row) const
    {
        return !m_threads.empty() && row < m_results.size()
            && m_results[row].load(std::memory_order_acquire) != kPending;
    }

    // Stops the workers after the rows they are attempting and waits for them.
    void finish()
    {
        m_stop.store(true, std::memory_order_release);
        m_taken.store(m_table.fileCount(), std::memory_order_release);
        m_taken.notify_all();
        for (std::thread &thread : m_threads)
            thread.join();
        m_threads.clear();
    }

    // After finish(): whether the file of `row`, a row not yet taken, was deleted, and so how
    // many rows after it were; rows never attempted count as staying.
    bool deletedAhead(std::size_t row) const
    {
        if (m_results.empty())
            return false;
        const unsigned char result = m_results[row].load(std::memory_order_relaxed);
        return result != kPending
            && outcomeOf(static_cast<platform::Removal>(result - 1)) == Outcome::Deleted;
    }

private:
    static constexpr unsigned char kPending = 0;
    static constexpr std::size_t kNoRow = SIZE_MAX;
    // A directory's rows are handed out in pieces of at most this many, so that the workers can
    // share a single huge directory too.
    static constexpr std::size_t kRowsPerUnit = 256;
    static constexpr std::size_t kRowsAhead = 1024;

    void splitIntoUnits()
    {
        for (std::size_t row = 0; row < m_table.fileCount(); ++row) {
            if (row == 0 || row - m_unitStarts.back() >= kRowsPerUnit
                || m_table.fileDirectory(row) != m_table.fileDirectory(row - 1))
                m_unitStarts.push_back(row);
        }
        m_unitStarts.push_back(m_table.fileCount());
    }

    std::size_t lastRowOfUnit(std::size_t row) const
    {
        return *std::upper_bound(m_unitStarts.begin(), m_unitStarts.end(), row) - 1;
    }

    void work(std::size_t workers)
    {
        try {
            DirectoryCursor cursor(m_table, workers);
            for (;;) {
                const std::size_t unit = m_nextUnit.fetch_add(1, std::memory_order_relaxed);
                if (unit + 1 >= m_unitStarts.size())
                    return;
                for (std::size_t row = m_unitStarts[unit]; row < m_unitStarts[unit + 1]; ++row) {
                    if (!mayAttempt(row))
                        return;
                    const platform::RemoveResult result = attemptRow(cursor, m_table, row);
                    m_errors[row] = result.error;
                    m_results[row].store(
                        static_cast<unsigned char>(static_cast<unsigned char>(result.removal) + 1),
                        std::memory_order_seq_cst);
                    // The caller is woken only when it waits for this very row: it takes the
                    // rows done meanwhile without waiting.
                    if (m_wanted.load(std::memory_order_seq_cst) == row) {
                        // Taking the lock orders the wake after the caller's wait has begun.
                        {
                            const std::lock_guard lock(m_mutex);
                        }
                        m_done.notify_one();
                    }
                }
            }
        } catch (...) {
            {
                const std::lock_guard lock(m_failureMutex);
                if (!m_failure)
                    m_failure = std::current_exception();
            }
            m_stop.store(true, std::memory_order_release);
            const std::lock_guard lock(m_mutex);
            m_failed = true;
            m_done.notify_one();
        }
    }

    // Waits while `row` lies too far ahead of the caller; false once the run is stopped.
    bool mayAttempt(std::size_t row)
    {
        for (;;) {
            // Stopping moves m_taken to the end after setting m_stop: read in this order, the
            // end is never taken for leave to go on.
            const std::size_t taken = m_taken.load(std::memory_order_acquire);
            if (m_stop.load(std::memory_order_acquire))
                return false;
            if (row < taken + kRowsAhead)
                return true;
            m_taken.wait(taken, std::memory_order_acquire);
        }
    }

    const ListingTable &m_table;
    // The caller's own walk, when it deletes itself.
    DirectoryCursor m_cursor;
    std::vector<std::size_t> m_unitStarts; // the first row of each unit, and the row count
    // Each row's Removal plus one once its attempt is done, with the system's error.
    std::vector<std::atomic<unsigned char>> m_results;
    std::vector<platform::SystemError> m_errors;
    std::atomic<std::size_t> m_nextUnit { 0 };
    std::atomic<std::size_t> m_taken { 0 }; // rows the caller has taken
    std::size_t m_wakeWorkersAt = 0; // the caller's: when to tell waiting workers it moved on
    std::atomic<bool> m_stop { false };
    // The caller waits under m_mutex for row m_wanted; a worker that fails says so there too.
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::atomic<std::size_t> m_wanted { kNoRow };
    bool m_failed = false;
    std::mutex m_failureMutex;
    std::exception_ptr m_failure;
    std::vector<std::thread> m_threads;
};

// Tells the run's progress a few times a second at most.
class ProgressTicker
{
public:
    ProgressTicker(const std::function<void(std::size_t, std::size_t)> &progress, std::size_t total)
        : m_progress(progress)
        , m_total(total)
        , m_last(std::chrono::steady_clock::now())
    {
    }

    void done(std::size_t count)
    {
        if (!m_progress || count % 64 != 0)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < kInterval)
            return;
        m_last = now;
        m_progress(count, m_total);
    }

private:
    static constexpr std::chrono::milliseconds kInterval { 250 };

    const std::function<void(std::size_t, std::size_t)> &m_progress;
    std::size_t m_total;
    std::chrono::steady_clock::time_point m_last;
};

// Whether the file of `row`, a row already taken, went: it is not among those that stayed.
bool deletedTaken(const DeletionReport &report, std::size_t row)
{
    const auto stayed = std::lower_bound(report.stayed.begin(), report.stayed.end(), row,
        [](const StayedFile &file, std::size_t wanted) { return file.row < wanted; });
    return stayed == report.stayed.end() || stayed->row != row;
}

// The most bytes of log lines written in one go.
constexpr std::size_t kLogBatchBytes = std::size_t { 64 } * 1024;

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

    const bool logging = !state.LogFileName.empty();
    RunLog log(state.Formats, state.Clock);
    if (logging) {
        log.open(state.LogFileName);
        log.line("");
        log.line(messages::deletionStart(table.fileCount()));
    }
    ProgressTicker progress(state.Progress, table.fileCount());
    // Declared after the log, so that a failing log line stops the workers before it is closed
    // for good.
    Attempts attempts(table, workers);
    for (std::size_t row = 0; row < table.fileCount(); ++row) {
        // A file that cannot be deleted stays; the run goes on, and the log keeps every attempt
        // with the reason of each that stayed. A file gone before its attempt counts as
        // deleted: it is not there any more, as the user asked. Each line is written once its
        // file's attempt is done, in table order.
        const platform::RemoveResult result = attempts.take(row);
        const Outcome outcome = outcomeOf(result.removal);
        if (outcome == Outcome::Deleted)
            ++report.deleted;
        else
            report.stayed.push_back({ row, outcome, result.error });
        if (logging) {
            log.addFileLine(
                table, row, outcome == Outcome::Deleted ? nullptr : &report.stayed.back());
            // Lines wait only while the next row's attempt is already done: each is written
            // as soon as no attempt is left to wait for.
            const bool more = row + 1 < table.fileCount() && attempts.ready(row + 1);
            std::size_t failedRow = 0;
            const platform::SystemError error = more && log.pendingBytes() < kLogBatchBytes
                ? platform::SystemError {}
                : log.writePending(failedRow);
            if (error) {
                // The workers stop after the rows they are attempting; the files of rows
                // attempted ahead of the log went without their lines too.
                attempts.finish();
                std::optional<std::size_t> firstDeleted;
                std::size_t deletedAfter = 0;
                for (std::size_t later = failedRow; later < table.fileCount(); ++later) {
                    const bool deleted
                        = later <= row ? deletedTaken(report, later) : attempts.deletedAhead(later);
                    if (!deleted)
                        continue;
                    if (firstDeleted)
                        ++deletedAfter;
                    else
                        firstDeleted = later;
                }
                log.fileLineFailed(error, table, firstDeleted, deletedAfter);
            }
        }
        progress.done(row + 1);
    }
    attempts.finish();
    if (logging)
        log.close();
    return report;
}

} // namespace core
