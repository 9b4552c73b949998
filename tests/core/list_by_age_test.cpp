#include "core/job_state.h"
#include "core/messages.h"
#include "core/selection.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

using testing_support::localEpochDaysFromToday;
using testing_support::TempTree;

namespace {

core::JobState listed(const std::string &directory, int days, bool subdirectories = false)
{
    core::JobState state(platform::germanFormats());
    state.Table.setHeader(core::messages::kColumnHeaders);
    state.SelectedDirectory = directory;
    state.DayCount = static_cast<std::int16_t>(days);
    state.IncludeSubdirectories = subdirectories;
    core::Refresh(state);
    return state;
}

// The files of the table as directory + name, in table order.
std::vector<std::string> paths(const core::JobState &state)
{
    std::vector<std::string> result;
    for (std::size_t row = 1; row <= state.Table.fileCount(); ++row)
        result.push_back(state.Table.cell(4, static_cast<int>(row))
            + state.Table.cell(0, static_cast<int>(row)));
    return result;
}

void expectEmptyListing(const core::JobState &state)
{
    EXPECT_TRUE(state.Table.isEmptyListing());
    EXPECT_EQ(state.Table.rowCount(), 2);
    EXPECT_EQ(state.Table.cell(0, 1), "-- Keine Dateien gefunden --");
    for (int column = 1; column < 5; ++column)
        EXPECT_EQ(state.Table.cell(column, 1), "");
    EXPECT_EQ(state.StatusFiles, "0 Dateien");
    EXPECT_EQ(state.StatusTotal, "0 KB Gesamt");
    EXPECT_FALSE(state.DeleteEnabled);
}

} // namespace

TEST(ListByAge, ListsBeforeMidnightOfTheFirstDayThatStays)
{
    TempTree tree;
    // With 3 days, today and the two days before stay: the limit is 00:00 two days ago.
    struct Case
    {
        const char *name;
        int days;
        int hour, minute, second;
        bool listed;
    };
    const Case cases[] = {
        { "last-second-before.log", -3, 23, 59, 59, true },
        { "two-seconds-before.log", -3, 23, 59, 58, true },
        { "at-the-limit.log", -2, 0, 0, 0, false },
        { "just-after.log", -2, 0, 0, 1, false },
        { "today.log", 0, 0, 0, 0, false },
        { "long-ago.log", -400, 12, 0, 0, true },
    };
    for (const Case &c : cases) {
        tree.writeFile(c.name);
        tree.setModified(c.name, localEpochDaysFromToday(c.days, c.hour, c.minute, c.second));
    }
    const core::JobState state = listed(tree.path(), 3);
    for (const Case &c : cases) {
        const auto all = paths(state);
        EXPECT_EQ(std::count(all.begin(), all.end(), tree / c.name), c.listed ? 1 : 0) << c.name;
    }
    EXPECT_EQ(state.StatusFiles, "3 Dateien");
    EXPECT_TRUE(state.DeleteEnabled);

    // One day keeps only today: yesterday's last seconds are old.
    const core::JobState oneDay = listed(tree.path(), 1);
    EXPECT_EQ(oneDay.Table.fileCount(), 5u);

    // The label names the first day that stays; the time column shows even seconds.
    char expectedLimit[16];
    const std::time_t limit = localEpochDaysFromToday(-2);
    std::strftime(expectedLimit, sizeof expectedLimit, "%d.%m.%Y", std::localtime(&limit));
    EXPECT_EQ(state.LimitDateText, expectedLimit);
    for (std::size_t row = 1; row <= state.Table.fileCount(); ++row) {
        if (state.Table.cell(0, static_cast<int>(row)) == "last-second-before.log") {
            EXPECT_EQ(state.Table.cell(3, static_cast<int>(row)), "23:59:58");
        }
    }
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
    for (int row = 1; row <= 5; ++row) {
        for (int column = 1; column < 5; ++column)
            rows[state.Table.cell(0, row)].push_back(state.Table.cell(column, row));
    }
    const std::string dir = tree.path();
    EXPECT_EQ(rows["a-1023"], (std::vector<std::string> { "0 kb", "01.01.1970", "01:00:00", dir }));
    EXPECT_EQ(rows["b-1536"][0], "1 kb");
    EXPECT_EQ(rows["c-huge"][0], "4.882.812 kb");
    EXPECT_EQ(rows[".hidden"][0], "0 kb");
    EXPECT_EQ(rows["-- Keine Dateien gefunden --"][0], "0 kb");
    EXPECT_EQ(state.TotalKB, 4'882'813);
    EXPECT_EQ(state.StatusTotal, "4.882.813 KB Gesamt");
    EXPECT_EQ(state.StatusFiles, "5 Dateien");
}

TEST(ListByAge, DescendsDepthFirstOnlyWhenAsked)
{
    TempTree tree;
    for (const char *name :
        { "a.log", "b.log", "sub/c.log", "sub/deeper/d.log", "sub/e.log", "f.log", "other/g.log" })
        tree.writeFile(name);
    tree.makeSymlink(tree.path(), "sub/back-to-top");
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
        listed(tree.path().substr(0, tree.path().size() - 1), 1).Table.cell(4, 1), tree.path());
}

TEST(Refresh, OnlyResetsTheTableWhileLoading)
{
    TempTree tree;
    tree.writeFile("old.log");
    tree.setModified("old.log", 0);
    core::JobState state = listed(tree.path(), 1);
    ASSERT_EQ(state.StatusFiles, "1 Dateien");
    ASSERT_TRUE(state.DeleteEnabled);

    state.Loading = true;
    core::Refresh(state);
    EXPECT_EQ(state.Table.rowCount(), 2);
    EXPECT_FALSE(state.Table.isEmptyListing());
    EXPECT_EQ(state.Table.cell(0, 0), "Dateiname");
    for (int column = 0; column < 5; ++column)
        EXPECT_EQ(state.Table.cell(column, 1), "");
    EXPECT_EQ(state.StatusFiles, "1 Dateien");
    EXPECT_TRUE(state.DeleteEnabled);
}
