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
// and a failure closes the log and ends the run with its message.
class RunLog
{
public:
    explicit RunLog(const platform::LocaleFormats &formats)
        : m_formats(formats)
    {
    }

    void open(const std::string &path) { check(m_file.open(path)); }

    void line(std::string_view text)
    {
        m_line.assign(text);
        m_line += "\r\n";
        check(m_file.append(m_line));
    }

    // The moment of writing, a blank and the full path of row `row`; a name cannot forge lines,
    // since bytes below 32 are written as "?".
    void fileLine(const ListingTable &table, std::size_t row)
    {
        m_line.assign(stamp());
        const std::size_t pathStart = m_line.size();
        table.appendPath(m_line, row);
        for (std::size_t i = pathStart; i < m_line.size(); ++i) {
            if (static_cast<unsigned char>(m_line[i]) < 32)
                m_line[i] = '?';
        }
        m_line += "\r\n";
        check(m_file.append(m_line));
    }

    void close() { check(m_file.close()); }

private:
    void check(int error)
    {
        if (error == 0)
            return;
        m_file.close();
        throw AppError(messages::fileError(error));
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
    std::int64_t m_stampSecond = -1;
    std::string m_stamp;
    std::string m_line;
};

// Keeps the walk's current directory on the directory of the row being deleted, moving along the
// table's tree of directories: up to the nearest common ancestor, then down, a level at a time.
class DirectoryCursor
{
public:
    explicit DirectoryCursor(const ListingTable &table)
        : m_table(table)
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
        if (target == m_unreachable)
            return false;
        if (m_walk.hasCurrent() && target == m_current)
            return true;
        if (!m_walk.hasCurrent() || !follow(target)) {
            if (!fromTop(target)) {
                m_walk.close();
                m_unreachable = target;
                return false;
            }
        }
        m_current = target;
        m_unreachable = ListingTable::kNoParent;
        return true;
    }

private:
    std::uint32_t parentOf(std::uint32_t index) const { return m_table.directory(index).parent; }

    // From the current directory over the common ancestor to `target`.
    bool follow(std::uint32_t target)
    {
        std::uint32_t up = m_current;
        std::uint32_t down = target;
        m_downward.clear();
        while (m_depth[up] > m_depth[down])
            up = parentOf(up);
        while (m_depth[down] > m_depth[up]) {
            m_downward.push_back(down);
            down = parentOf(down);
        }
        while (up != down) {
            if (up == ListingTable::kNoParent || down == ListingTable::kNoParent)
                return false; // under another listed top
            up = parentOf(up);
            m_downward.push_back(down);
            down = parentOf(down);
        }
        for (std::uint32_t at = m_current; at != up;) {
            at = parentOf(at);
            if (!m_walk.enterParent(m_table.directory(at).identity))
                return false;
        }
        return descend();
    }

    // From the listed directory at the top of `target`'s chain down to `target`.
    bool fromTop(std::uint32_t target)
    {
        m_downward.clear();
        std::uint32_t top = target;
        while (parentOf(top) != ListingTable::kNoParent) {
            m_downward.push_back(top);
            top = parentOf(top);
        }
        const ListingTable::Directory &record = m_table.directory(top);
        return m_walk.openTop(record.name, record.identity) && descend();
    }

    bool descend()
    {
        for (auto it = m_downward.rbegin(); it != m_downward.rend(); ++it) {
            const ListingTable::Directory &record = m_table.directory(*it);
            std::string_view name = record.name;
            name.remove_suffix(1); // the "/" that ends every directory's name
            if (!m_walk.enterChild(name, record.identity))
                return false;
        }
        return true;
    }

    const ListingTable &m_table;
    platform::TreeWalk m_walk;
    std::vector<std::uint32_t> m_depth;
    std::vector<std::uint32_t> m_downward;
    std::uint32_t m_current = ListingTable::kNoParent;
    std::uint32_t m_unreachable = ListingTable::kNoParent;
};

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
        // A file that cannot be deleted stays; the run goes on, and the log keeps every attempt.
        if (cursor.moveTo(table.fileDirectory(row))
            && cursor.walk().removeFile(table.fileName(row), table.fileIdentity(row)))
            ++report.deleted;
        else
            report.stayed.push_back({ row, Outcome::Changed, 0 });
        if (logging)
            log.fileLine(table, row);
    }
    if (logging)
        log.close();
    return report;
}

} // namespace core
