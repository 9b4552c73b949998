#include "core/errors.h"
#include "core/job_state.h"
#include "core/listing_texts.h"
#include "core/selection.h"
#include "core/sort_buffer.h"
#include "core/sort_key.h"
#include "support/system_limits.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <vector>

#ifdef _WIN32
#include <stdexcept>
#endif

using testing_support::localEpoch;
using testing_support::TempTree;

namespace {

core::JobState emptyState()
{
    return core::JobState(platform::germanFormats());
}

void listByCount(core::JobState &state, const std::string &directory, int keep)
{
    state.SelectedDirectory = directory;
    state.Mode = core::SelectionMode::Count;
    state.KeepCount = static_cast<std::int16_t>(keep);
    core::Refresh(state);
}

core::JobState countListed(const std::string &directory, int keep, bool subdirectories = false)
{
    core::JobState state = emptyState();
    state.IncludeSubdirectories = subdirectories;
    listByCount(state, directory, keep);
    return state;
}

// The rows of the table, each as its five cells.
std::vector<std::vector<std::string>> rows(const core::JobState &state)
{
    std::vector<std::vector<std::string>> result;
    for (std::size_t row = 0; row < state.Table.fileCount(); ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < core::kColumnCount; ++column)
            cells.push_back(state.Table.cell(static_cast<core::Column>(column), row));
        result.push_back(cells);
    }
    return result;
}

std::vector<std::string> names(const core::JobState &state)
{
    std::vector<std::string> result;
    for (const auto &cells : rows(state))
        result.push_back(cells[0]);
    return result;
}

// Files named `names`, each a minute after the one before, from 3 February 2017, 14:05:09.
void writeFilesOneMinuteApart(const TempTree &tree, const std::vector<std::string> &names)
{
    std::time_t time = localEpoch(2017, 2, 3, 14, 5, 9);
    for (const std::string &name : names) {
        tree.writeFile(name, "content");
        tree.setModified(name, time);
        time += 60;
    }
}

platform::FileEntry entry(std::string_view name, platform::LocalTime modified)
{
    platform::FileEntry result;
    result.name = name;
    result.modified = modified;
    return result;
}

} // namespace

TEST(ListByCount, ListsAllButTheNewestOldestFirst)
{
    TempTree tree;
    // The older a file, the later its name, so that the order of names is not the answer.
    writeFilesOneMinuteApart(tree,
        { "l.bak", "k.bak", "j.bak", "i.bak", "h.bak", "g.bak", "f.bak", "e.bak", "d.bak", "c.bak",
            "b.bak" });
    tree.writeFile("late-evening.bak");
    tree.setModified("late-evening.bak", localEpoch(2016, 12, 31, 23, 59, 59));

    core::JobState state = emptyState();
    state.LimitDateText = "15.05.2017"; // as an age listing left it
    listByCount(state, tree.path(), 10);
    const std::string dir = tree.path();
    // The seconds are even: 14:05:09 shows as 140508, 23:59:59 as 235958.
    EXPECT_EQ(rows(state),
        (std::vector<std::vector<std::string>> {
            { "late-evening.bak", "", "20161231", "235958", dir },
            { "l.bak", "", "20170203", "140508", dir } }));
    EXPECT_EQ(core::statusFiles(state), "2 Dateien");
    EXPECT_EQ(core::statusTotal(state), "");
    EXPECT_TRUE(state.DeleteEnabled);
    EXPECT_EQ(state.LimitDateText, "15.05.2017");
    EXPECT_EQ(state.TotalKB, 0);

    // A directory given without its final "/" lists the same, under the path with it.
    const core::JobState noSlash = countListed(dir.substr(0, dir.size() - 1), 11);
    EXPECT_EQ(names(noSlash), (std::vector<std::string> { "late-evening.bak" }));
    EXPECT_EQ(noSlash.Table.cell(core::Column::Directory, 0), dir);
    // Keeping none lists every file, and a count below zero never lists more than there are.
    EXPECT_EQ(countListed(dir, 0).Table.fileCount(), 12u);
    EXPECT_EQ(countListed(dir, -5).Table.fileCount(), 12u);
}

TEST(ListByCount, ListsNothingWhenNoMoreFilesThanKept)
{
    TempTree tree;
    std::vector<std::string> ten;
    for (char c = 'a'; c < 'a' + 10; ++c)
        ten.push_back(std::string(1, c) + ".log");
    writeFilesOneMinuteApart(tree, ten);
    tree.makeDirectory("empty");

    const std::string cases[]
        = { tree.path(), tree / "empty", tree / "missing", tree / "a.log", "" };
    for (const std::string &directory : cases) {
        for (const int keep : { 10, 11, 1000 }) {
            // An age listing before leaves a total; count mode shows none.
            core::JobState state = emptyState();
            state.SelectedDirectory = tree.path();
            core::Refresh(state);
            listByCount(state, directory, keep);
            SCOPED_TRACE(directory + " keeping " + std::to_string(keep));
            EXPECT_TRUE(state.Table.isEmptyListing());
            EXPECT_EQ(state.Table.fileCount(), 0u);
            EXPECT_EQ(core::statusFiles(state), "0 Dateien");
            EXPECT_EQ(core::statusTotal(state), "");
            EXPECT_FALSE(state.DeleteEnabled);
        }
    }
}

TEST(ListByCount, OrdersEqualTimesByFoldedNameThenByBytes)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows names ignore case: «Z.txt» and «z.txt», «Ä.txt» and «ä.txt» are one "
                    "file each";
#endif
    TempTree tree;
    // ASCII letters compare as lower case, so "_" (between upper and lower case) comes before
    // every letter; «Z.txt» and «z.txt» are equal so, and then ordered by bytes; bytes above 127
    // are not folded and come after all ASCII.
    const std::vector<std::string> expected
        = { "_x.txt", "a.txt", "B.txt", "Z.txt", "z.txt", "\xC3\x84.txt", "\xC3\xA4.txt" };
    std::vector<std::string> shuffled = expected;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    for (const std::string &name : shuffled) {
        tree.writeFile(name);
        // Within the same two seconds.
        tree.setModified(name, localEpoch(2017, 2, 3, 14, 5, 8 + (name[0] == 'B' ? 1 : 0)));
    }
    tree.writeFile("0-newest");
    tree.setModified("0-newest", localEpoch(2017, 2, 3, 14, 5, 10));
    tree.writeFile("Z-oldest");
    tree.setModified("Z-oldest", localEpoch(2017, 2, 3, 14, 5, 7));

    std::vector<std::string> all = { "Z-oldest" };
    all.insert(all.end(), expected.begin(), expected.end());
    EXPECT_EQ(names(countListed(tree.path(), 1)), all);
    // In a tie, the names that sort later are the ones kept.
    all.pop_back();
    EXPECT_EQ(names(countListed(tree.path(), 2)), all);
}

TEST(ListByCount, NeverCountsOrSearchesSubdirectories)
{
    TempTree tree;
    writeFilesOneMinuteApart(
        tree, { "sub/deep-old.log", "old.log", "linked-dir/inner.log", "newer.log", "newest.log" });
#ifdef _WIN32
    try {
        tree.makeSymlink("linked-dir", "dir-link");
    } catch (const std::runtime_error &error) {
        GTEST_SKIP() << "the system makes no symbolic links (Wine 8, or Windows without the "
                        "developer mode): "
                     << error.what();
    }
#else
    tree.makeSymlink("linked-dir", "dir-link");
#endif
    tree.makeSymlink("newest.log", "file-link");
    tree.makeSymlink("nowhere", "dangling-link");
    tree.setModified("file-link", localEpoch(2017, 2, 3, 14, 4, 0));
    tree.setModified("dangling-link", localEpoch(2017, 2, 3, 14, 4, 2));
    tree.setModified("sub", localEpoch(2000, 1, 1));

    for (const bool subdirectories : { false, true }) {
        // Links to files and dangling links are files with their own time; directories, and links
        // to them, are not.
        const core::JobState state = countListed(tree.path(), 2, subdirectories);
        EXPECT_EQ(
            names(state), (std::vector<std::string> { "file-link", "dangling-link", "old.log" }))
            << subdirectories;
    }
}

TEST(ListByCount, LeavesTheLocaleFormatsOfAgeListingsAlone)
{
    TempTree tree;
    writeFilesOneMinuteApart(tree, { "a.log", "b.log" });
    core::JobState state = emptyState();
    listByCount(state, tree.path(), 1);
    ASSERT_EQ(state.Table.cell(core::Column::Date, 0), "20170203");

    state.Mode = core::SelectionMode::Age;
    state.DayCount = 1;
    core::Refresh(state);
    std::vector<std::vector<std::string>> ageRows = rows(state);
    std::sort(ageRows.begin(), ageRows.end());
    const std::string dir = tree.path();
    EXPECT_EQ(ageRows,
        (std::vector<std::vector<std::string>> { { "a.log", "0 kb", "03.02.2017", "14:05:08", dir },
            { "b.log", "0 kb", "03.02.2017", "14:06:08", dir } }));
    EXPECT_EQ(core::statusTotal(state), "0 KB Gesamt");
}

TEST(ListByCount, CountsAFileWhoseTimeHasNoLocalDateAsTheNewest)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows file times run from 1601 to the year 30828: no file takes a time "
                    "without a local date";
#endif
    const auto tree = testing_support::tmpfsTree();
    if (!tree)
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    // Written newest first, so that the order of the directory is not the answer. The key of the
    // year 30000 reads after that of the latest time, "2147483647…", as a text.
    const std::pair<const char *, std::time_t> files[] = {
        { "far-past", -(std::time_t { 1 } << 62) },
        { "far-future", std::time_t { 1 } << 62 },
        { "year-30000", localEpoch(30000, 1, 1) },
        { "year-3000", localEpoch(3000, 1, 1) },
        { "year-2017", localEpoch(2017, 2, 3, 14, 5, 9) },
    };
    for (const auto &[name, time] : files) {
        tree->writeFile(name);
        tree->setModified(name, time);
    }
    const std::vector<std::string> listed = names(countListed(tree->path(), 2));
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()),
        (std::set<std::string> { "year-2017", "year-3000", "year-30000" }));
    // Keeping none lists them too, last, as the latest time there is.
    const auto cells = rows(countListed(tree->path(), 0));
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(cells[3],
        (std::vector<std::string> { "far-future", "", "21474836471231", "235959", tree->path() }));
    EXPECT_EQ(cells[4][0], "far-past");
}

TEST(MakeSortKey, WritesFixedDigitsWhateverTheYear)
{
    EXPECT_EQ(core::MakeSortKey(entry("backup.zip", { 2017, 2, 3, 14, 5, 8 })),
        "20170203140508:backup.zip");
    EXPECT_EQ(core::MakeSortKey(entry("a", { 980, 12, 31, 23, 59, 58 })), "09801231235958:a");
    EXPECT_EQ(core::MakeSortKey(entry("a", { 12345, 1, 1, 0, 0, 0 })), "123450101000000:a");
    EXPECT_EQ(core::MakeSortKey(entry("a", { -44, 3, 15, 0, 0, 0 })), "-440315000000:a");
}

// Sorting the buffer compares numbers and names instead of key texts; whatever the years and the
// names, the order must be the one of the keys.
TEST(SortBuffer, OrdersEntriesAsTheirKeys)
{
    std::mt19937 random(2017);
    const std::string letters = "aAbB_zZ.0\xC3\xA4";
    const std::int32_t years[] = { -1, 0, 999, 1980, 2017, 9999, 10000, 123456 };
    std::vector<std::string> entryNames;
    for (int i = 0; i < 600; ++i) {
        std::string name;
        for (std::size_t length = random() % 4 + 1; length > 0; --length)
            name.push_back(letters[random() % letters.size()]);
        entryNames.push_back(name + std::to_string(i));
    }
    core::SortBuffer buffer;
    std::vector<std::string> keys;
    for (const std::string &name : entryNames) {
        const platform::LocalTime time { years[random() % std::size(years)],
            static_cast<std::uint8_t>(random() % 2 + 1), 1, 0, 0,
            static_cast<std::uint8_t>(random() % 2 * 2) };
        buffer.add(entry(name, time));
        keys.push_back(core::MakeSortKey(entry(name, time)));
    }
    std::sort(keys.begin(), keys.end(),
        [](const std::string &a, const std::string &b) { return core::compareSortKeys(a, b) < 0; });
    ASSERT_EQ(buffer.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        ASSERT_EQ(core::MakeSortKey(buffer.at(i)), keys[i]) << i;
}

TEST(SortBuffer, RefusesEntriesWhenFull)
{
    core::SortBuffer buffer(2);
    buffer.add(entry("b", { 2017, 1, 1 }));
    buffer.add(entry("a", { 2017, 1, 1 }));
    try {
        buffer.add(entry("c", { 2016, 1, 1 }));
        FAIL() << "a full buffer took an entry";
    } catch (const core::AppError &error) {
        EXPECT_STREQ(error.what(), "Zeile kann nicht eingefügt werden");
    }
    ASSERT_EQ(buffer.size(), 2u);
    EXPECT_EQ(buffer.at(0).name, "a");
    EXPECT_EQ(buffer.at(1).name, "b");
}

TEST(ListByCount, CountsOnlyTheFilesThePatternsChoose)
{
    TempTree tree;
    // Five archives a day apart, and newer files beside them that no pattern chooses.
    for (int day = 1; day <= 5; ++day) {
        const std::string name = "x" + std::to_string(day) + ".tar";
        tree.writeFile(name);
        tree.setModified(name, localEpoch(2020, 1, day, 12));
    }
    tree.writeFile("notiz.txt");
    tree.writeFile("x9.tar.part");
    const struct
    {
        const char *patterns;
        const char *exceptions;
        std::vector<std::string> listed;
    } cases[] = {
        { "*.tar", "", { "x1.tar", "x2.tar", "x3.tar" } },
        { "*.TAR", "x1*", { "x2.tar", "x3.tar" } },
        { "", "*.txt", { "x1.tar", "x2.tar", "x3.tar", "x4.tar" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.patterns) + " / " + c.exceptions);
        core::JobState state = emptyState();
        state.Patterns = core::NamePatterns::parse(c.patterns, "Muster");
        state.Exceptions = core::NamePatterns::parse(c.exceptions, "Ausnahmen");
        listByCount(state, tree.path(), 2);
        EXPECT_EQ(names(state), c.listed);
    }
}
