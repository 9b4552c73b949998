#include "core/list_by_age.h"

#include "core/progress_pace.h"
#include "platform/calendar.h"
#include "platform/dir_search.h"
#include "platform/path_separator.h"

#include <limits>
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
        // A listing that runs past midnight measures the files after it from the new day.
        if (m_state.Clock.now() >= m_nextMidnight)
            renewLimit();
        if (!(entry.modified < m_limit))
            return;
        // The total stops at the largest number it holds: sparse files may claim up to 2^63
        // bytes each, and a wrapped total would show a small or negative size.
        const auto kilobytes = static_cast<std::int64_t>(entry.sizeBytes / 1024);
        std::int64_t &total = m_state.TotalKB;
        total = kilobytes > std::numeric_limits<std::int64_t>::max() - total
            ? std::numeric_limits<std::int64_t>::max()
            : total + kilobytes;
        m_state.Table.addFile(m_open.back(), entry);
    }

private:
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
};

} // namespace

platform::SearchOutcome ListByAge(JobState &state, const std::string &directory)
{
    AgeSelection selection(state, directory);
    state.LimitDateText = shortDate(selection.limit(), state.Formats);
    return platform::searchTree(directory, state.IncludeSubdirectories, selection);
}

std::string limitDateText(
    std::int16_t dayCount, const platform::Clock &clock, const platform::LocaleFormats &formats)
{
    return shortDate(ageLimit(dayCount, clock), formats);
}

} // namespace core
