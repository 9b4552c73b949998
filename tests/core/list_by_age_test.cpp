#include "core/emptied_folders.h"
#include "core/errors.h"
#include "core/job_state.h"
#include "core/listing_texts.h"
#include "core/selection.h"
#include "support/system_limits.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <exception>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <set>
#include <vector>

#ifdef _WIN32
#include <stdexcept>
#include <windows.h>
#endif

using core::Column;
using testing_support::localEpoch;
using testing_support::localEpochDaysFromToday;
using testing_support::TempTree;

namespace {

core::JobState listed(const std::string &directory, int days, bool subdirectories = false,
    const platform::Clock &clock = platform::Clock())
{
    core::JobState state(platform::germanFormats());
    state.Clock = clock;
    state.SelectedDirectory = directory;
    state.DayCount = static_cast<std::int16_t>(days);
    state.IncludeSubdirectories = subdirectories;
    core::Refresh(state);
    return state;
}

// The cells of a row as a grid shows them.
std::vector<std::string> shownRow(const core::ListingTable &table, std::size_t row)
{
    std::vector<std::string> cells;
    for (int column = 0; column < core::kColumnCount; ++column) {
        cells.emplace_back();
        core::appendShownCell(cells.back(), table, static_cast<core::Column>(column), row);
    }
    return cells;
}

// The files of the table as directory + name, in table order.
std::vector<std::string> paths(const core::JobState &state)
{
    std::vector<std::string> result;
    for (std::size_t row = 0; row < state.Table.fileCount(); ++row)
        result.push_back(state.Table.path(row));
    return result;
}

void expectEmptyListing(const core::JobState &state)
{
    EXPECT_TRUE(state.Table.isEmptyListing());
    EXPECT_EQ(shownRow(state.Table, 0),
        (std::vector<std::string> { "-- Keine Dateien gefunden --", "", "", "", "" }));
    EXPECT_EQ(core::shownRowCount(state.Table), 1u);
    EXPECT_EQ(core::statusFiles(state), "0 Dateien");
    EXPECT_EQ(core::statusTotal(state), "0 KB Gesamt");
    EXPECT_FALSE(state.DeleteEnabled);
}

} // namespace

TEST(ListByAge, ListsBeforeMidnightOfTheFirstDayThatStays)
{
    TempTree tree;
    // Held on 13 June 2017: with 3 days, the 13th, 12th and 11th stay, and the limit is 11 June,
    // 00:00. Across a change of summer time the limit is still that day's midnight, not an hour
    // beside it.
    struct Case
    {
        std::time_t now;
        int days;
        std::time_t modified;
        bool listed;
    };
    const std::time_t june = localEpoch(2017, 6, 13, 9, 26, 50);
    const std::time_t afterSpring = localEpoch(2017, 3, 27, 1, 0, 0);
    const std::time_t afterAutumn = localEpoch(2017, 10, 30, 23, 0, 0);
    const Case cases[] = {
        { june, 3, localEpoch(2017, 6, 10, 23, 59, 59), true },
        { june, 3, localEpoch(2017, 6, 10, 23, 59, 58), true },
        { june, 3, localEpoch(2017, 6, 11, 0, 0, 0), false },
        { june, 3, localEpoch(2017, 6, 11, 0, 0, 1), false },
        { june, 3, localEpoch(2017, 6, 13, 0, 0, 0), false },
        { june, 3, localEpoch(2016, 5, 9, 12, 0, 0), true },
        // One day keeps only today: yesterday's last seconds are old.
        { june, 1, localEpoch(2017, 6, 12, 23, 59, 59), true },
        { june, 1, localEpoch(2017, 6, 13, 0, 0, 0), false },
        { afterSpring, 2, localEpoch(2017, 3, 25, 23, 59, 59), true },
        { afterSpring, 2, localEpoch(2017, 3, 26, 0, 0, 0), false },
        { afterAutumn, 2, localEpoch(2017, 10, 28, 23, 59, 59), true },
        { afterAutumn, 2, localEpoch(2017, 10, 29, 0, 0, 0), false },
    };
    tree.makeDirectory("d");
    for (const Case &c : cases) {
        tree.writeFile("d/file.log");
        tree.setModified("d/file.log", c.modified);
        const core::JobState state
            = listed(tree / "d", c.days, false, platform::Clock::heldAt(c.now));
        EXPECT_EQ(state.Table.fileCount(), c.listed ? 1u : 0u)
            << std::ctime(&c.modified) << " with " << c.days << " days on " << std::ctime(&c.now);
        EXPECT_EQ(state.DeleteEnabled, c.listed);
    }

    // The label names the first day that stays; the time column shows even seconds.
    tree.setModified("d/file.log", localEpoch(2017, 6, 10, 23, 59, 59));
    const core::JobState state = listed(tree / "d", 3, false, platform::Clock::heldAt(june));
    EXPECT_EQ(state.LimitDateText, "11.06.2017");
    EXPECT_EQ(state.Table.cell(Column::Time, 0), "23:59:58");
    EXPECT_EQ(core::statusFiles(state), "1 Dateien");
}

TEST(ListByAge, TodayIsTheDayOfTheClock)
{
    // A second before midnight yesterday's noon is today's; a second later it is old.
    TempTree tree;
    tree.writeFile("yesterday.log");
    tree.setModified("yesterday.log", localEpoch(2017, 6, 12, 12, 0, 0));
    const std::time_t beforeMidnight = localEpoch(2017, 6, 12, 23, 59, 59);
    EXPECT_EQ(
        listed(tree.path(), 1, false, platform::Clock::heldAt(beforeMidnight)).Table.fileCount(),
        0u);
    EXPECT_EQ(listed(tree.path(), 1, false, platform::Clock::heldAt(beforeMidnight + 1))
                  .Table.fileCount(),
        1u);
}

TEST(ListByAge, FormatsSizesDatesAndTotals)
{
    TempTree tree;
    tree.writeSparseFile("a-1023", 1023);
    tree.writeSparseFile("b-1536", 1536);
    tree.writeSparseFile("c-huge", 5'000'000'000ULL);
    tree.writeFile(".hidden", "x");
    tree.writeFile("-- Keine Dateien gefunden --");
    for (const char *name :
        { "a-1023", "b-1536", "c-huge", ".hidden", "-- Keine Dateien gefunden --" })
        tree.setModified(name, 0); // 1 January 1970, 01:00 in Berlin

    const core::JobState state = listed(tree.path(), 30);
    ASSERT_EQ(state.Table.fileCount(), 5u);
    EXPECT_FALSE(state.Table.isEmptyListing());
    std::map<std::string, std::vector<std::string>> rows;
    for (std::size_t row = 0; row < 5; ++row) {
        for (const Column column : { Column::Size, Column::Date, Column::Time, Column::Directory })
            rows[state.Table.cell(Column::Name, row)].push_back(state.Table.cell(column, row));
    }
    const std::string dir = tree.path();
    EXPECT_EQ(rows["a-1023"], (std::vector<std::string> { "0 kb", "01.01.1970", "01:00:00", dir }));
    EXPECT_EQ(rows["b-1536"][0], "1 kb");
    EXPECT_EQ(rows["c-huge"][0], "4.882.812 kb");
    EXPECT_EQ(rows[".hidden"][0], "0 kb");
    EXPECT_EQ(rows["-- Keine Dateien gefunden --"][0], "0 kb");
    EXPECT_EQ(state.TotalKB, 4'882'813);
    EXPECT_EQ(core::statusTotal(state), "4.882.813 KB Gesamt");
    EXPECT_EQ(core::statusFiles(state), "5 Dateien");
}

TEST(ListByAge, DescendsDepthFirstOnlyWhenAsked)
{
    TempTree tree;
    for (const char *name :
        { "a.log", "b.log", "sub/c.log", "sub/deeper/d.log", "sub/e.log", "f.log", "other/g.log" })
        tree.writeFile(name);
#ifdef _WIN32
    // Wine 8 makes no links, nor does Windows without the developer mode: the descent is
    // checked all the same.
    try {
        tree.makeSymlink(tree.path(), "sub/back-to-top");
    } catch (const std::runtime_error &) {
    }
#else
    tree.makeSymlink(tree.path(), "sub/back-to-top");
#endif
    for (const char *name :
        { "a.log", "b.log", "sub/c.log", "sub/deeper/d.log", "sub/e.log", "f.log", "other/g.log" })
        tree.setModified(name, localEpochDaysFromToday(-10));

    const core::JobState flat = listed(tree.path(), 5);
    EXPECT_EQ(flat.Table.fileCount(), 3u);

    const core::JobState deep = listed(tree.path(), 5, true);
    EXPECT_EQ(paths(deep), testing_support::regularFilesInSearchOrder(tree.path()));
    EXPECT_EQ(deep.Table.fileCount(), 7u);
}

TEST(ListByAge, ListsNothingWhereThereIsNothingToSearch)
{
    TempTree tree;
    tree.writeFile("new.log");
    tree.writeFile("file.txt");
    // An empty selection never stands for the root or the current folder.
    expectEmptyListing(listed("", 1, true));
    expectEmptyListing(listed(tree / "missing", 1));
    expectEmptyListing(listed(tree / "file.txt", 1));
    // Only new files: nothing is old enough.
    tree.setModified("file.txt", localEpochDaysFromToday(-1));
    expectEmptyListing(listed(tree.path(), 2));
    // A path without its final "/" is searched like one with it.
    EXPECT_EQ(
        listed(tree.path().substr(0, tree.path().size() - 1), 1).Table.cell(Column::Directory, 0),
        tree.path());
}

TEST(Refresh, ClearingTheListingKeepsWhatTheWindowShows)
{
    TempTree tree;
    tree.writeFile("old.log");
    tree.setModified("old.log", 0);
    core::JobState state = listed(tree.path(), 1);
    ASSERT_EQ(core::statusFiles(state), "1 Dateien");
    ASSERT_TRUE(state.DeleteEnabled);

    // One blank row, not the placeholder: nothing has been listed since.
    core::clearListing(state);
    EXPECT_EQ(core::shownRowCount(state.Table), 1u);
    EXPECT_FALSE(state.Table.isEmptyListing());
    EXPECT_EQ(shownRow(state.Table, 0), std::vector<std::string>(5));
    EXPECT_EQ(core::statusFiles(state), "1 Dateien");
    EXPECT_TRUE(state.DeleteEnabled);
}

TEST(ListByAge, NeverListsAFileWhoseTimeHasNoLocalDate)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows file times run from 1601 to the year 30828: no file takes a time "
                    "without a local date";
#endif
    const auto tree = testing_support::tmpfsTree();
    if (!tree)
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    const std::pair<const char *, std::time_t> files[] = {
        { "far-future", std::time_t { 1 } << 62 },
        { "year-beyond-an-int", 67767987342801600 },
        { "far-past", -(std::time_t { 1 } << 62) },
        { "epoch", 0 },
        { "before-1970", -86400 * 400 },
    };
    for (const auto &[name, time] : files) {
        tree->writeFile(name);
        tree->setModified(name, time);
    }
    const core::JobState state = listed(tree->path(), 1);
    std::map<std::string, std::string> dates;
    for (std::size_t row = 0; row < state.Table.fileCount(); ++row)
        dates[state.Table.cell(Column::Name, row)] = state.Table.cell(Column::Date, row);
    EXPECT_EQ(dates,
        (std::map<std::string, std::string> {
            { "epoch", "01.01.1970" }, { "before-1970", "27.11.1968" } }));
}

TEST(ListByAge, TotalStopsAtTheLargestNumber)
{
#ifdef _WIN32
    GTEST_SKIP() << "no file system of Windows takes files of 2^63 - 1 bytes";
#endif
    const auto tree = testing_support::tmpfsTree();
    if (!tree)
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    // Each claims 2^53 - 1 KB: 1025 of them are more than the total holds.
    constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
    for (int i = 0; i < 1030; ++i) {
        const std::string name = "sparse-" + std::to_string(i);
        tree->writeSparseFile(name, kLargest);
        tree->setModified(name, 0);
    }
    const core::JobState state = listed(tree->path(), 1);
    ASSERT_EQ(state.Table.fileCount(), 1030u);
    EXPECT_EQ(state.Table.cell(Column::Size, 0), "9.007.199.254.740.991 kb");
    EXPECT_EQ(state.TotalKB, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(core::statusTotal(state), "9.223.372.036.854.775.807 KB Gesamt");
}

TEST(Refresh, RecordsWhyTheSelectedDirectoryCouldNotBeSearched)
{
    TempTree tree;
    tree.writeFile("old.log");
    tree.setModified("old.log", 0);
    struct Case
    {
        std::string directory;
        int error;
    };
#ifdef _WIN32
    // A file's name with a separator after it is no valid name to Windows.
    const int missing = ERROR_FILE_NOT_FOUND;
    const int notADirectory = ERROR_INVALID_NAME;
#else
    const int missing = ENOENT;
    const int notADirectory = ENOTDIR;
#endif
    const Case cases[] = {
        { tree.path(), 0 }, { tree / "missing", missing }, { tree / "old.log", notADirectory },
        { "", 0 }, // nothing selected is no error
    };
    for (const core::SelectionMode mode :
        { core::SelectionMode::Age, core::SelectionMode::Count }) {
        core::JobState state(platform::germanFormats());
        state.Mode = mode;
        state.DayCount = 1;
        state.KeepCount = 0;
        for (const Case &c : cases) {
            state.SelectedDirectory = c.directory;
            state.SearchError = platform::systemError(EIO); // whatever the last listing left
            core::Refresh(state);
            EXPECT_EQ(state.SearchError, platform::systemError(c.error)) << c.directory;
            EXPECT_EQ(state.Table.isEmptyListing(), c.error != 0 || c.directory.empty());
        }
        state.SelectedDirectory = tree / "missing";
        core::Refresh(state);
        core::clearListing(state);
        EXPECT_FALSE(state.SearchError);
    }
}

TEST(Refresh, RunningOutOfDescriptorsIsAnErrorNotAShorterListing)
{
#ifdef _WIN32
    GTEST_SKIP() << "a Windows process has no limit of open handles that a test could lower";
#endif
    TempTree tree;
    for (const char *name : { "top.log", "sub/inner.log" }) {
        tree.writeFile(name);
        tree.setModified(name, 0);
    }
    struct Case
    {
        core::SelectionMode mode;
        std::size_t free;
        std::string path;
        int searchError;
    };
    // With one descriptor left the selected folder opens, and its subfolder cannot.
    const Case cases[] = {
        { core::SelectionMode::Age, 0, tree.path(), EMFILE },
        { core::SelectionMode::Age, 1, tree / "sub/", 0 },
        { core::SelectionMode::Count, 0, tree.path(), EMFILE },
    };
    for (const Case &c : cases) {
        core::JobState state(platform::germanFormats());
        state.SelectedDirectory = tree.path();
        state.Mode = c.mode;
        state.DayCount = 1;
        state.KeepCount = 0;
        state.IncludeSubdirectories = c.mode == core::SelectionMode::Age;
        // Looked at once the descriptors are back: the sanitizers' type checks need one.
        std::exception_ptr failure;
        {
            testing_support::DescriptorLimit limit(64);
            limit.leaveFree(c.free);
            try {
                core::Refresh(state);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(failure) << "the listing ran out of descriptors silently";
        try {
            std::rethrow_exception(failure);
        } catch (const core::AppError &error) {
            EXPECT_STREQ(error.what(), "Zu viele geöffnete Dateien");
            EXPECT_EQ(error.path(), c.path);
        }
        EXPECT_EQ(state.SearchError, platform::systemError(c.searchError));
        EXPECT_TRUE(state.Table.isEmptyListing());
        EXPECT_EQ(core::statusFiles(state), "0 Dateien");
        EXPECT_FALSE(state.DeleteEnabled);
    }
}

// A long listing tells how many files it has found so far, counting up, with no total; being
// told changes nothing in what is listed.
TEST(Refresh, TellsTheFilesFoundSoFarInEitherMode)
{
    TempTree tree;
    constexpr int kFiles = 1500;
    for (int file = 0; file < kFiles; ++file) {
        const std::string name = std::to_string(file) + ".log";
        tree.writeFile(name);
        tree.setModified(name, localEpochDaysFromToday(file % 2 == 0 ? -90 : -1));
    }
    for (const core::SelectionMode mode :
        { core::SelectionMode::Age, core::SelectionMode::Count }) {
        SCOPED_TRACE(mode == core::SelectionMode::Age ? "age" : "count");
        core::JobState quiet(platform::germanFormats());
        quiet.SelectedDirectory = tree.path();
        quiet.Mode = mode;
        quiet.DayCount = 30;
        quiet.KeepCount = 100;
        core::Refresh(quiet);

        core::JobState told(platform::germanFormats());
        static_cast<core::ListRequest &>(told) = quiet;
        std::vector<std::size_t> found;
        told.Progress = [&](std::size_t done, std::size_t total) {
            EXPECT_EQ(total, 0U);
            // Told while the listing goes on, never after it has ended.
            EXPECT_FALSE(told.Status.has_value());
            found.push_back(done);
        };
        core::Refresh(told);

        ASSERT_FALSE(found.empty());
        EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
        EXPECT_GT(found.front(), 0U);
        EXPECT_LE(found.back(), static_cast<std::size_t>(kFiles));
        EXPECT_EQ(paths(told), paths(quiet));
        EXPECT_EQ(told.TotalKB, quiet.TotalKB);
    }
}

TEST(ListByAge, NarrowsTheSelectionByPatternsExceptionsAndAFloorOfTheNewest)
{
    TempTree tree;
    // Seven old files of 2 KB, a day apart, and one of today, which no rule lists.
    const char *const old[]
        = { "a.log", "b.gz", "c.conf", "d.LOG", "aktuell/e.log", "sub/f.log", "sub/aktuell/g.log" };
    for (int i = 0; i < 7; ++i) {
        tree.writeFile(old[i], std::string(2048, 'x'));
        tree.setModified(old[i], localEpoch(2020, 1, 1 + i, 12));
    }
    tree.writeFile("new.log");
    const struct
    {
        const char *patterns;
        const char *exceptions;
        int keepNewest;
        std::vector<std::string> listed;
        // The subfolders that deleting the listing empties: nothing else lay in them.
        std::vector<std::string> emptied;
    } cases[] = {
        { "", "", 0,
            { "a.log", "aktuell/e.log", "b.gz", "c.conf", "d.LOG", "sub/aktuell/g.log",
                "sub/f.log" },
            { "aktuell/", "sub/", "sub/aktuell/" } },
        { "*.log; *.GZ", "", 0,
            { "a.log", "aktuell/e.log", "b.gz", "d.LOG", "sub/aktuell/g.log", "sub/f.log" },
            { "aktuell/", "sub/", "sub/aktuell/" } },
        // A folder named by an exception is not entered, at any depth; it keeps its parent.
        { "", "*.conf;aktuell", 0, { "a.log", "b.gz", "d.LOG", "sub/f.log" }, {} },
        { "*.log", "AKTUELL", 0, { "a.log", "d.LOG", "sub/f.log" }, {} },
        // Of the five old *.log files and today's, the three newest stay: today's, g and f.
        { "*.log", "", 3, { "a.log", "aktuell/e.log", "d.LOG" }, { "aktuell/" } },
        { "", "", 2, { "a.log", "aktuell/e.log", "b.gz", "c.conf", "d.LOG", "sub/f.log" },
            { "aktuell/" } },
        // A floor above every file chosen lists nothing.
        { "", "", 10, {}, {} },
        // Every file the patterns choose is old: the floor keeps the newest of them, c.conf.
        { "*.gz;*.conf", "", 1, { "b.gz" }, {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(
            std::string(c.patterns) + " / " + c.exceptions + " / " + std::to_string(c.keepNewest));
        core::JobState state(platform::germanFormats());
        state.SelectedDirectory = tree.path();
        state.DayCount = 30;
        state.IncludeSubdirectories = true;
        state.Patterns = core::NamePatterns::parse(c.patterns, "Muster");
        state.Exceptions = core::NamePatterns::parse(c.exceptions, "Ausnahmen");
        state.KeepNewest = c.keepNewest;
        core::Refresh(state);
        std::vector<std::string> listed;
        for (const std::string &path : paths(state))
            listed.push_back(path.substr(tree.path().size()));
        std::sort(listed.begin(), listed.end());
        std::vector<std::string> wanted;
        for (const std::string &path : c.listed)
            wanted.push_back(testing_support::withSystemSeparators(path));
        EXPECT_EQ(listed, wanted);
        EXPECT_EQ(state.TotalKB, static_cast<std::int64_t>(2 * wanted.size()));
        EXPECT_EQ(state.Table.isEmptyListing(), wanted.empty());

        // Each emptied folder comes before its parent.
        std::vector<std::string> emptied;
        for (const std::uint32_t index : core::emptiedFolders(state.Table)) {
            const std::string folder = state.Table.directoryPath(index).substr(tree.path().size());
            for (const std::string &before : emptied)
                EXPECT_FALSE(folder.starts_with(before)) << before << " before " << folder;
            emptied.push_back(folder);
        }
        std::sort(emptied.begin(), emptied.end());
        wanted.clear();
        for (const std::string &path : c.emptied)
            wanted.push_back(testing_support::withSystemSeparators(path));
        EXPECT_EQ(emptied, wanted);
    }
}
