#include "core/list_by_age.h"

#include "core/progress_pace.h"
#include "platform/calendar.h"
#include "platform/dir_search.h"
#include "platform/path_separator.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <queue>
#include <tuple>
#include <vector>

namespace core {

namespace {

// Midnight at the start of the first day that stays: today counts as the first of `dayCount`
// days. Counts below 1 put the limit at tomorrow or later, so today's files are old too.
platform::LocalTime ageLimit(std::int16_t dayCount, const platform::Clock &clock)
{
    const long long today = platform::daysSinceEpoch(clock.localNow());
    return platform::dateFromDays(today + 1 - dayCount);
}

std::string shortDate(const platform::LocalTime &day, const platform::LocaleFormats &formats)
{
    return platform::DateTimeFormat(formats.shortDate, formats).format(day);
}

// Puts the old files of a search into the table, each under the directory it was found in.
class AgeSelection : public platform::TreeVisitor
{
public:
    AgeSelection(JobState &state, const std::string &directory)
        : m_state(state)
        , m_directory(directory)
        , m_pace(state.Progress)
    {
        renewLimit();
    }

    const platform::LocalTime &limit() const { return m_limit; }

    // A subfolder named by an exception is not searched: nothing in it is listed, however deep,
    // and it stays where it is.
    bool entersSubdirectory(std::string_view name) override
    {
        if (!m_state.Exceptions.matchesAny(name))
            return true;
        m_state.Table.noteOther(m_open.back());
        return false;
    }

    // What the search passes over stays where it is.
    void passedOver() override { m_state.Table.noteOther(m_open.back()); }

    void enterDirectory(std::string_view name, const platform::EntryIdentity &identity) override
    {
        ListingTable &table = m_state.Table;
        if (m_open.empty()) {
            m_open.push_back(table.addDirectory(ListingTable::kNoParent, m_directory, identity));
            return;
        }
        m_nameWithSlash.assign(name);
        m_nameWithSlash.push_back(platform::kPathSeparator);
        m_open.push_back(table.addDirectory(m_open.back(), m_nameWithSlash, identity));
    }

    void leaveDirectory() override { m_open.pop_back(); }

    void file(const platform::FileEntry &entry) override
    {
        m_pace.fileFound();
        if (!m_state.choosesName(entry.name)) {
            m_state.Table.noteOther(m_open.back());
            return;
        }
        // A listing that runs past midnight measures the files after it from the new day.
        if (m_state.Clock.now() >= m_nextMidnight)
            renewLimit();
        if (!(entry.modified < m_limit)) {
            ++m_young;
            m_state.Table.noteOther(m_open.back());
            return;
        }
        if (m_state.KeepNewest > 0)
            noteOld(entry);
        // The total stops at the largest number it holds: sparse files may claim up to 2^63
        // bytes each, and a wrapped total would show a small or negative size.
        const auto kilobytes = static_cast<std::int64_t>(entry.sizeBytes / 1024);
        std::int64_t &total = m_state.TotalKB;
        total = kilobytes > std::numeric_limits<std::int64_t>::max() - total
            ? std::numeric_limits<std::int64_t>::max()
            : total + kilobytes;
        m_state.Table.addFile(m_open.back(), entry);
    }

    // Takes the old files back out that stay as the newest KeepNewest of the files chosen: as
    // many of the newest old ones as the files younger than the limit fall short of that number.
    void keepTheNewest()
    {
        const auto keep = static_cast<std::size_t>(std::max<std::int32_t>(m_state.KeepNewest, 0));
        const std::size_t stay = keep > m_young ? keep - m_young : 0;
        while (m_newestOld.size() > stay)
            m_newestOld.pop();
        std::vector<std::size_t> rows;
        std::int64_t &total = m_state.TotalKB;
        for (; !m_newestOld.empty(); m_newestOld.pop()) {
            rows.push_back(m_newestOld.top().row);
            if (total != std::numeric_limits<std::int64_t>::max())
                total -= static_cast<std::int64_t>(m_newestOld.top().sizeBytes / 1024);
        }
        m_state.Table.removeFiles(std::move(rows));
    }

private:
    // An old file listed, as the floor of the newest files weighs it: the later one of two with
    // the same time counts as the newer.
    struct Listed
    {
        platform::LocalTime modified;
        std::size_t row = 0;
        std::uint64_t sizeBytes = 0;

        bool operator>(const Listed &other) const
        {
            return std::tie(modified, row) > std::tie(other.modified, other.row);
        }
    };

    // Remembers `entry`, about to be listed, while it is among the newest KeepNewest old files.
    void noteOld(const platform::FileEntry &entry)
    {
        m_newestOld.push({ entry.modified, m_state.Table.fileCount(), entry.sizeBytes });
        if (m_newestOld.size() > static_cast<std::size_t>(m_state.KeepNewest))
            m_newestOld.pop();
    }

    void renewLimit()
    {
        m_nextMidnight = m_state.Clock.nextMidnight();
        m_limit = ageLimit(m_state.DayCount, m_state.Clock);
    }

    JobState &m_state;
    const std::string &m_directory;
    std::vector<std::uint32_t> m_open; // table index of each directory entered and not left
    std::string m_nameWithSlash;
    platform::LocalTime m_limit;
    std::int64_t m_nextMidnight = 0;
    ProgressPace m_pace;
    std::size_t m_young = 0; // files chosen that are younger than the limit
    // The newest old files listed, at most KeepNewest of them, the oldest on top.
    std::priority_queue<Listed, std::vector<Listed>, std::greater<>> m_newestOld;
};

} // namespace

platform::SearchOutcome ListByAge(JobState &state, const std::string &directory)
{
    AgeSelection selection(state, directory);
    state.LimitDateText = shortDate(selection.limit(), state.Formats);
    platform::SearchOutcome outcome
        = platform::searchTree(directory, state.IncludeSubdirectories, selection);
    selection.keepTheNewest();
    return outcome;
}

std::string limitDateText(
    std::int16_t dayCount, const platform::Clock &clock, const platform::LocaleFormats &formats)
{
    return shortDate(ageLimit(dayCount, clock), formats);
}

} // namespace core
