#include "core/deletion_run.h"

#include "core/errors.h"
#include "core/messages.h"
#include "platform/append_file.h"
#include "platform/date_time_format.h"
#include "platform/tree_walk.h"

#include <vector>

namespace core {

namespace {

// The log of one deletion run: every line is handed to the system as soon as it is complete,
// and a failure closes the log and ends the run with its message, naming the log.
class RunLog
{
public:
    explicit RunLog(const platform::LocaleFormats &formats)
        : m_formats(formats)
    {
    }

    void open(const std::string &path)
    {
        m_path = path;
        const int error = m_file.open(path);
        if (error == platform::LockedAppendFile::kLockedByAnother)
            throw AppError(std::string(messages::kLogInUse), m_path);
        check(error);
    }

    void line(std::string_view text)
    {
        m_line.assign(text);
        m_line += "\r\n";
        check(m_file.append(m_line));
    }

    // The moment of writing, a blank and the full path of row `row`, and for a file that stayed
    // why; a name cannot forge lines, since bytes below 32 are written as "?". When the line
    // cannot be written after its file was deleted, the error names that file.
    void fileLine(const ListingTable &table, std::size_t row, const StayedFile *stayed)
    {
        m_line.assign(stamp());
        const std::size_t pathStart = m_line.size();
        table.appendPath(m_line, row);
        for (std::size_t i = pathStart; i < m_line.size(); ++i) {
            if (static_cast<unsigned char>(m_line[i]) < 32)
                m_line[i] = '?';
        }
        const std::size_t pathEnd = m_line.size();
        if (stayed) {
            m_line += messages::kNotDeletedOpening;
            m_line += messages::notDeletedReason(stayed->outcome, stayed->error);
            m_line += messages::kNotDeletedClosing;
        }
        m_line += "\r\n";
        const int error = m_file.append(m_line);
        if (error != 0 && !stayed) {
            const std::string_view path(m_line.data() + pathStart, pathEnd - pathStart);
            check(error, messages::deletedNotLogged(path));
        }
        check(error);
    }

    void close() { check(m_file.close()); }

private:
    void check(int error, std::string note = {})
    {
        if (error == 0)
            return;
        m_file.close();
        throw AppError(messages::fileError(error), m_path, std::move(note));
    }

    // The moment of writing and a blank, formatted once per second.
    const std::string &stamp()
    {
        const std::int64_t now = platform::currentEpochSeconds();
        if (now != m_stampSecond) {
            m_stampSecond = now;
            m_stamp = logTimestamp(platform::localTimeOf(now), m_formats);
            m_stamp.push_back(' ');
        }
        return m_stamp;
    }

    platform::LockedAppendFile m_file;
    const platform::LocaleFormats &m_formats;
    std::string m_path;
    std::int64_t m_stampSecond = -1;
    std::string m_stamp;
    std::string m_line;
};

// Keeps the walk's current directory on the directory of the row being deleted, moving along the
// table's tree of directories: up to the nearest common ancestor, then down, a level at a time.
// A directory found unreachable as listed stays so for the run, and so does every directory
// below it: their rows are passed over without a lookup, and a row is never the reason to climb
// from the top again through a chain already known broken.
class DirectoryCursor
{
public:
    explicit DirectoryCursor(const ListingTable &table)
        : m_table(table)
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

    // Makes `target` current; false when it cannot be reached as it was listed.
    bool moveTo(std::uint32_t target)
    {
        if (m_unreachable[target])
            return false;
        if (m_walk.hasCurrent() && target == m_current)
            return true;
        if (m_walk.hasCurrent() && follow(target))
            return true;
        // Unreachable below a directory reached, or found so on the way: no second try.
        if (m_unreachable[target])
            return false;
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
    bool follow(std::uint32_t target)
    {
        std::uint32_t up = m_current;
        std::uint32_t down = target;
        m_downward.clear();
        while (m_depth[up] > m_depth[down])
            up = parentOf(up);
        while (m_depth[down] > m_depth[up]) {
            if (!note(down))
                return false;
            down = parentOf(down);
        }
        while (up != down) {
            if (!note(down))
                return false;
            up = parentOf(up);
            down = parentOf(down);
            if (up == ListingTable::kNoParent || down == ListingTable::kNoParent)
                return false; // under another listed top
        }
        while (m_current != up) {
            const std::uint32_t parent = parentOf(m_current);
            if (!m_walk.enterParent(m_table.directory(parent).identity))
                return false;
            m_current = parent;
        }
        return descend();
    }

    // From the listed directory at the top of `target`'s chain down to `target`.
    bool fromTop(std::uint32_t target)
    {
        m_downward.clear();
        std::uint32_t top = target;
        while (parentOf(top) != ListingTable::kNoParent) {
            if (!note(top))
                return false;
            top = parentOf(top);
        }
        const ListingTable::Directory &record = m_table.directory(top);
        if (m_unreachable[top] || !m_walk.openTop(record.name, record.identity)) {
            m_unreachable[top] = true;
            markNoted(m_downward.size());
            return false;
        }
        m_current = top;
        return descend();
    }

    bool descend()
    {
        for (std::size_t i = m_downward.size(); i-- > 0;) {
            const ListingTable::Directory &record = m_table.directory(m_downward[i]);
            std::string_view name = record.name;
            name.remove_suffix(1); // the "/" that ends every directory's name
            if (!m_walk.enterChild(name, record.identity)) {
                markNoted(i + 1);
                return false;
            }
            m_current = m_downward[i];
        }
        return true;
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

} // namespace

std::string logTimestamp(const platform::LocalTime &moment, const platform::LocaleFormats &formats)
{
    std::string text = platform::DateTimeFormat(formats.shortDate, formats).format(moment);
    if (moment.hour != 0 || moment.minute != 0 || moment.second != 0) {
        text.push_back(' ');
        platform::DateTimeFormat(formats.longTime, formats).append(text, moment);
    }
    return text;
}

DeletionReport DeleteListed(const JobState &state)
{
    DeletionReport report;
    const ListingTable &table = state.Table;
    // The empty listing is known by its flag: a file that happens to bear the placeholder's
    // name is deleted like any other.
    if (table.isEmptyListing() || table.fileCount() == 0)
        return report;

    const bool logging = !state.LogFileName.empty();
    RunLog log(state.Formats);
    if (logging) {
        log.open(state.LogFileName);
        log.line("");
        log.line(messages::deletionStart(table.fileCount()));
    }
    DirectoryCursor cursor(table);
    for (std::size_t row = 0; row < table.fileCount(); ++row) {
        // A file that cannot be deleted stays; the run goes on, and the log keeps every attempt
        // with the reason of each that stayed. A file gone before its attempt counts as
        // deleted: it is not there any more, as the user asked.
        platform::RemoveResult result { platform::Removal::DirectoryChanged, 0 };
        if (cursor.moveTo(table.fileDirectory(row))) {
            result = cursor.walk().removeFile(table.fileName(row), table.fileIdentity(row));
            if (result.removal == platform::Removal::DirectoryChanged)
                cursor.lostCurrent();
        }
        const Outcome outcome = outcomeOf(result.removal);
        if (outcome == Outcome::Deleted)
            ++report.deleted;
        else
            report.stayed.push_back({ row, outcome, result.error });
        if (logging)
            log.fileLine(table, row, outcome == Outcome::Deleted ? nullptr : &report.stayed.back());
    }
    if (logging)
        log.close();
    return report;
}

} // namespace core
