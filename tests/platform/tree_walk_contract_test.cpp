// What the deletion's walk promises on every system, tested against the portable temporary tree.
#include "platform/tree_walk.h"
#include "support/listed_identities.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using platform::Removal;
using testing_support::ListedIdentities;
using testing_support::TempTree;
using testing_support::withSystemSeparators;

namespace {

constexpr int kFiles = 40;
// Trees far deeper than the levels a walk checks on each move. Wine looks up every level of a
// path on each call: three hundred levels take minutes there.
#ifdef _WIN32
constexpr int kDeep = 60;
constexpr int kFar = 50;
#else
constexpr int kDeep = 1000;
constexpr int kFar = 200;
#endif

std::string numbered(int i)
{
    return std::to_string(i) + ".log";
}

// "data/d/d/…/d" with `levels` folders below "data".
std::string chain(int levels)
{
    std::string path = "data";
    for (int level = 0; level < levels; ++level)
        path += "/d";
    return path;
}

// Renames an entry of the tree as another program would, replacing a file of the new name.
bool move(const TempTree &tree, const std::string &from, const std::string &to)
{
    std::error_code error;
    std::filesystem::rename(
        withSystemSeparators(tree / from), withSystemSeparators(tree / to), error);
    return !error;
}

// Walks from "data" down to the bottom of chain(`levels`).
void walkDown(
    const TempTree &tree, const ListedIdentities &listed, platform::TreeWalk &walk, int levels)
{
    ASSERT_TRUE(walk.openTop(tree / "data", listed["data"]));
    for (int level = 1; level <= levels; ++level)
        ASSERT_TRUE(walk.enterChild("d", listed[chain(level)])) << level;
}

// Removes the numbered files of `folder` in order as long as each is removed; how many were.
int removedInARow(platform::TreeWalk &walk, const ListedIdentities &listed,
    const std::string &folder, int from = 0)
{
    int removed = 0;
    for (int i = from; i < kFiles; ++i) {
        const Removal removal = walk.removeFile(numbered(i), listed[folder + numbered(i)]).removal;
        if (removal != Removal::Removed) {
            EXPECT_EQ(removal, Removal::DirectoryChanged) << i;
            EXPECT_EQ(walk.removeFile(numbered(kFiles - 1), listed[folder + numbered(kFiles - 1)])
                          .removal,
                Removal::DirectoryChanged)
                << "a removal after the change was noticed";
            break;
        }
        ++removed;
    }
    return removed;
}

// Makes `folder` the working folder for the life of the object.
class WorkingFolder
{
public:
    explicit WorkingFolder(const std::string &folder)
        : m_saved(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(m_saved); }
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

private:
    std::filesystem::path m_saved;
};

} // namespace

TEST(TreeWalkContract, DeletesListedFilesLevelByLevel)
{
    TempTree tree;
    const std::string umlaut = "gel\xC3\xB6scht.log";
    for (const std::string &name : { std::string("data/a.log"), std::string("data/sub/b.log"),
             "data/sub/deeper/" + umlaut, std::string("data/sub/deeper/keep.log") })
        tree.writeFile(name, "x");
    const ListedIdentities listed(tree);

    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", listed["data"]));
    EXPECT_EQ(walk.removeFile("a.log", listed["data/a.log"]).removal, Removal::Removed);
    // A folder that is not the one listed is not entered, and the walk stays where it is.
    EXPECT_FALSE(walk.enterChild("sub", listed["data/sub/deeper"]));
    EXPECT_FALSE(walk.enterChild("none", listed["data/sub"]));
    ASSERT_TRUE(walk.enterChild("sub", listed["data/sub"]));
    EXPECT_EQ(walk.removeFile("b.log", listed["data/sub/b.log"]).removal, Removal::Removed);
    ASSERT_TRUE(walk.enterChild("deeper", listed["data/sub/deeper"]));
    const platform::EntryIdentity removed = listed["data/sub/deeper/" + umlaut];
    EXPECT_EQ(walk.removeFile(umlaut, removed).removal, Removal::Removed);
    EXPECT_EQ(walk.removeFile(umlaut, removed).removal, Removal::Gone);
    ASSERT_TRUE(walk.enterParent(listed["data/sub"]));
    ASSERT_TRUE(walk.enterParent(listed["data"]));
    // Nothing above the listed top is entered.
    EXPECT_FALSE(walk.enterParent(listed["data"]));
    EXPECT_FALSE(walk.hasCurrent());

    EXPECT_FALSE(tree.exists("data/a.log") || tree.exists("data/sub/b.log")
        || tree.exists("data/sub/deeper/" + umlaut));
    EXPECT_TRUE(tree.exists("data/sub/deeper/keep.log"));
}

TEST(TreeWalkContract, LeavesWhatChangedSinceTheListing)
{
    TempTree tree;
    for (const char *name : { "replaced.log", "rewritten.log", "folder.log" }) {
        tree.writeFile(std::string("data/") + name, "x");
        tree.setModified(std::string("data/") + name, 1'000'000'000);
    }
    const ListedIdentities listed(tree);
    // Another file under the listed name with the listed time, a file written since the listing,
    // a folder in a file's place.
    tree.writeFile("new.log", "y");
    tree.setModified("new.log", 1'000'000'000);
    ASSERT_TRUE(move(tree, "new.log", "data/replaced.log"));
    tree.setModified("data/rewritten.log", 1'000'000'002);
    ASSERT_TRUE(std::filesystem::remove(withSystemSeparators(tree / "data/folder.log")));
    tree.makeDirectory("data/folder.log");

    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", listed["data"]));
    for (const std::string name : { "replaced.log", "rewritten.log", "folder.log" }) {
        EXPECT_EQ(walk.removeFile(name, listed["data/" + name]).removal, Removal::Changed) << name;
        EXPECT_TRUE(tree.exists("data/" + name)) << name;
    }
    EXPECT_TRUE(walk.hasCurrent());
}

TEST(TreeWalkContract, RemovesAnEmptiedFolderOnlyWhileItIsTheListedOneAndEmpty)
{
    // The folder "data/x" held one file, which is deleted before the folder; meanwhile another
    // program changes what lies under the name.
    const struct
    {
        const char *change;
        void (*apply)(const TempTree &tree);
        Removal removal;
    } cases[] = {
        { "nothing", [](const TempTree &) {}, Removal::Removed },
        { "a file put into it", [](const TempTree &tree) { tree.writeFile("data/x/neu.log"); },
            Removal::Changed },
        { "a folder put into it", [](const TempTree &tree) { tree.makeDirectory("data/x/y"); },
            Removal::Changed },
        { "another empty folder in its place",
            [](const TempTree &tree) {
                ASSERT_TRUE(move(tree, "data/x", "moved"));
                tree.makeDirectory("data/x");
            },
            Removal::Changed },
        { "a file in its place",
            [](const TempTree &tree) {
                ASSERT_TRUE(move(tree, "data/x", "moved"));
                tree.writeFile("data/x");
            },
            Removal::Changed },
        { "removed already",
            [](const TempTree &tree) { ASSERT_TRUE(move(tree, "data/x", "moved")); },
            Removal::Gone },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.change);
        TempTree tree;
        tree.writeFile("data/x/alt.log");
        const ListedIdentities listed(tree);
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(tree / "data", listed["data"]));
        ASSERT_TRUE(walk.enterChild("x", listed["data/x"]));
        ASSERT_EQ(walk.removeFile("alt.log", listed["data/x/alt.log"]).removal, Removal::Removed);
        ASSERT_TRUE(walk.enterParent(listed["data"]));
        c.apply(tree);
        EXPECT_EQ(walk.removeDirectory("x", listed["data/x"]).removal, c.removal);
        EXPECT_EQ(tree.exists("data/x"), c.removal == Removal::Changed);
        EXPECT_TRUE(walk.hasCurrent());
    }
}

TEST(TreeWalkContract, StopsDeletingInAFolderMovedOutOfTheTreeWhileInIt)
{
    // One walk holds the folder open, another is about to enter it; the folder is moved out of
    // the listed tree, and its place is left empty, taken by a new folder of the same name, or by
    // a link to its new place. The walk in it notices within sixteen removals and deletes nothing
    // more; the other does not enter it and stays where it is.
    enum class Left { Nothing, NewFolder, Link };
    std::string notTried;
    for (const Left left : { Left::Nothing, Left::NewFolder, Left::Link }) {
        SCOPED_TRACE(static_cast<int>(left));
        TempTree tree;
        for (int i = 0; i < kFiles; ++i)
            tree.writeFile("data/sub/" + numbered(i), "x");
        tree.makeDirectory("outside");
        const ListedIdentities listed(tree);
        platform::TreeWalk inside;
        platform::TreeWalk above;
        ASSERT_TRUE(inside.openTop(tree / "data", listed["data"]));
        ASSERT_TRUE(inside.enterChild("sub", listed["data/sub"]));
        ASSERT_TRUE(above.openTop(tree / "data", listed["data"]));

        ASSERT_TRUE(move(tree, "data/sub", "outside/sub"));
        if (left == Left::NewFolder)
            tree.makeDirectory("data/sub");
        if (left == Left::Link) {
            try {
                tree.makeSymlink(tree / "outside/sub", "data/sub");
            } catch (const std::runtime_error &error) {
                notTried = error.what();
                continue;
            }
        }

        EXPECT_FALSE(above.enterChild("sub", listed["data/sub"]));
        EXPECT_TRUE(above.hasCurrent());
        EXPECT_LE(removedInARow(inside, listed, "data/sub/"), 16);
        EXPECT_FALSE(inside.hasCurrent());
        EXPECT_TRUE(tree.exists("outside/sub/" + numbered(kFiles - 1)));
    }
    if (!notTried.empty())
        GTEST_SKIP() << "A link in the folder's place was not tried: " << notTried;
}

TEST(TreeWalkContract, EntersNothingBelowAFolderMovedAwayAFewLevelsUp)
{
    TempTree tree;
    tree.makeDirectory(chain(30));
    tree.makeDirectory("outside");
    const ListedIdentities listed(tree);
    platform::TreeWalk walk;
    walkDown(tree, listed, walk, 29);
    // A level ten above the current folder moves out of the tree: the next folder entered
    // below is no longer reached from the top by its listed names.
    ASSERT_TRUE(move(tree, chain(20), "outside/d"));
    EXPECT_FALSE(walk.enterChild("d", listed[chain(30)]));
    EXPECT_FALSE(walk.hasCurrent());
}

TEST(TreeWalkContract, StopsWhenAFolderFarAboveMoves)
{
    // Far below the levels checked on each move, the walk still checks the whole way from the
    // top at least every sixteen removals, and a second after the last time at the latest.
    using namespace std::chrono_literals;
    const struct
    {
        int levels;
        std::chrono::milliseconds pause; // after the move
        int mostRemoved; // after the move
    } cases[] = {
        { kDeep, 0ms, 16 },
        { kFar, 1100ms, 0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.levels);
        TempTree tree;
        tree.makeDirectory("outside");
        const std::string bottom = chain(c.levels) + "/";
        for (int i = 0; i < kFiles; ++i)
            tree.writeFile(bottom + numbered(i), "x");
        const ListedIdentities listed(tree);
        platform::TreeWalk walk;
        walkDown(tree, listed, walk, c.levels);
        EXPECT_EQ(
            walk.removeFile(numbered(0), listed[bottom + numbered(0)]).removal, Removal::Removed);

        ASSERT_TRUE(move(tree, chain(1), "outside/d"));
        std::this_thread::sleep_for(c.pause);
        EXPECT_LE(removedInARow(walk, listed, bottom, 1), c.mostRemoved);
        EXPECT_FALSE(walk.hasCurrent());
        EXPECT_TRUE(tree.exists("outside/d" + bottom.substr(6) + numbered(kFiles - 1)));
    }
}

TEST(TreeWalkContract, StopsWhenTheSelectedFolderItselfIsMovedAway)
{
    // The walk is given the selected folder's path as the listing had it: with or without a
    // final separator, relative to the working folder, through a link of the user's. The folder
    // moves away, and a new folder or a link to its new place takes its name: within sixteen
    // removals the walk notices and deletes nothing more. Nothing moved, the user's link is no
    // change.
    enum class Then { Nothing, NewFolder, Link };
    const struct
    {
        const char *top;
        const char *sub; // where the walk deletes below the top
        bool relative;
        Then then;
    } cases[] = {
        { "data", "", false, Then::NewFolder },
        { "data/", "", false, Then::Link },
        { "data/", "", true, Then::NewFolder },
        { "data", "sub/", true, Then::Link },
        { "data/", "sub/", false, Then::NewFolder },
        { "via/", "", false, Then::Nothing },
    };
    std::string notTried;
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.top) + " " + c.sub + (c.relative ? " relative" : ""));
        TempTree tree;
        const std::string folder = std::string("data/") + c.sub;
        for (int i = 0; i < kFiles; ++i)
            tree.writeFile(folder + numbered(i), "x");
        const ListedIdentities listed(tree);
        try {
            tree.makeSymlink(tree / "data", "via");
        } catch (const std::runtime_error &error) {
            if (c.then == Then::Nothing || c.then == Then::Link) {
                notTried = error.what();
                continue;
            }
        }
        std::optional<WorkingFolder> working;
        if (c.relative)
            working.emplace(tree.path());
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(
            withSystemSeparators((c.relative ? "" : tree.path()) + c.top), listed["data"]));
        if (*c.sub) {
            ASSERT_TRUE(walk.enterChild("sub", listed["data/sub"]));
        }
        if (c.then != Then::Nothing) {
            ASSERT_TRUE(move(tree, "data", "saved"));
        }
        if (c.then == Then::NewFolder)
            tree.makeDirectory("data");
        if (c.then == Then::Link)
            tree.makeSymlink(tree / "saved", "data");

        const int removed = removedInARow(walk, listed, folder);
        if (c.then == Then::Nothing) {
            EXPECT_EQ(removed, kFiles);
        } else {
            EXPECT_LE(removed, 16);
            EXPECT_FALSE(walk.hasCurrent());
        }
    }
    if (!notTried.empty())
        GTEST_SKIP() << "The cases with links were not tried: " << notTried;
}

TEST(TreeWalkContract, RemovesEveryNameOfAHardLinkedFileButNoneChangedSinceTheListing)
{
    // Three names of one old file, two in one folder and one in another ("cp -al" backups). Each
    // removal changes the status-change time under the other names; a change by another hand
    // before the last name is removed (even one that keeps the modification time) keeps it.
    enum class Before { Nothing, Modified, ModeChanged, Replaced };
    const std::pair<Before, Removal> cases[] = {
        { Before::Nothing, Removal::Removed },
        { Before::Modified, Removal::Changed },
#ifndef _WIN32
        // Wine leaves a file's change time as it was when its attributes change.
        { Before::ModeChanged, Removal::Changed },
#endif
        { Before::Replaced, Removal::Changed },
    };
    for (const auto &[before, last] : cases) {
        SCOPED_TRACE(static_cast<int>(before));
        TempTree tree;
        tree.writeFile("data/a/1.log", "x");
        tree.setModified("data/a/1.log", 1'000'000'000);
        tree.makeDirectory("data/b");
        for (const char *name : { "data/a/2.log", "data/b/3.log" }) {
            std::error_code error;
            std::filesystem::create_hard_link(withSystemSeparators(tree / "data/a/1.log"),
                withSystemSeparators(tree / name), error);
            if (error)
                GTEST_SKIP() << "no hard links here: " << error.message();
        }
        const ListedIdentities listed(tree);
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(tree / "data", listed["data"]));
        ASSERT_TRUE(walk.enterChild("a", listed["data/a"]));
        EXPECT_EQ(walk.removeFile("1.log", listed["data/a/1.log"]).removal, Removal::Removed);
        EXPECT_EQ(walk.removeFile("2.log", listed["data/a/2.log"]).removal, Removal::Removed);
        if (before == Before::Modified)
            tree.setModified("data/b/3.log", 1'000'000'002);
        if (before == Before::ModeChanged)
            std::filesystem::permissions(
                withSystemSeparators(tree / "data/b/3.log"), std::filesystem::perms::owner_read);
        if (before == Before::Replaced) {
            tree.writeFile("new.log", "y");
            tree.setModified("new.log", 1'000'000'000);
            ASSERT_TRUE(move(tree, "new.log", "data/b/3.log"));
        }
        ASSERT_TRUE(walk.enterParent(listed["data"]));
        ASSERT_TRUE(walk.enterChild("b", listed["data/b"]));
        EXPECT_EQ(walk.removeFile("3.log", listed["data/b/3.log"]).removal, last);
    }
}

TEST(TreeWalkContract, ParallelWalksRemoveTheNamesOfOneFileInDifferentFolders)
{
    // Two walks at once, each in its own folder, remove the two names of the same files: neither
    // may take the other's removal for a change.
    constexpr int kNames = 300;
    TempTree tree;
    tree.makeDirectory("data/b");
    for (int i = 0; i < kNames; ++i) {
        tree.writeFile("data/a/" + numbered(i), "x");
        std::filesystem::create_hard_link(withSystemSeparators(tree / ("data/a/" + numbered(i))),
            withSystemSeparators(tree / ("data/b/" + numbered(i))));
    }
    const ListedIdentities listed(tree);
    std::vector<Removal> removals[2];
    auto removeAll = [&](int side) {
        platform::TreeWalk walk(2);
        const std::string folder = side == 0 ? "data/a" : "data/b";
        if (!walk.openTop(tree / "data", listed["data"])
            || !walk.enterChild(folder.substr(5), listed[folder]))
            return;
        for (int i = 0; i < kNames; ++i)
            removals[side].push_back(
                walk.removeFile(numbered(i), listed[folder + "/" + numbered(i)]).removal);
    };
    std::thread other(removeAll, 1);
    removeAll(0);
    other.join();
    for (const auto &side : removals)
        EXPECT_EQ(std::count(side.begin(), side.end(), Removal::Removed), kNames);
}

TEST(TreeWalkContract, ClimbsBackAboveTheFoldersKeptOpen)
{
    // Many walks at once keep only three folders open each: the folders above are opened again
    // from the top by their names on the way up, each checked against the listing.
    constexpr int kLevels = 12;
    TempTree tree;
    tree.writeFile(chain(kLevels) + "/bottom.log", "x");
    tree.writeFile(chain(1) + "/top.log", "x");
    const ListedIdentities listed(tree);
    platform::TreeWalk walk(1000);
    walkDown(tree, listed, walk, kLevels);
    EXPECT_EQ(walk.removeFile("bottom.log", listed[chain(kLevels) + "/bottom.log"]).removal,
        Removal::Removed);
    for (int level = kLevels - 1; level >= 1; --level)
        ASSERT_TRUE(walk.enterParent(listed[chain(level)])) << level;
    EXPECT_EQ(walk.removeFile("top.log", listed[chain(1) + "/top.log"]).removal, Removal::Removed);

    // A folder found again that is not the one listed ends the walk.
    for (int level = 2; level <= kLevels; ++level)
        ASSERT_TRUE(walk.enterChild("d", listed[chain(level)])) << level;
    for (int level = kLevels - 1; level > 4; --level)
        ASSERT_TRUE(walk.enterParent(listed[chain(level)])) << level;
    EXPECT_FALSE(walk.enterParent(listed[chain(3)]));
    EXPECT_FALSE(walk.hasCurrent());
}
