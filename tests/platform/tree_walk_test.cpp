#include "platform/linux/entry_identity.h"
#include "platform/tree_walk.h"
#include "support/system_limits.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using testing_support::TempTree;

namespace {

// The identity the listing would have recorded for `path`, looked at without following a link.
platform::EntryIdentity identityOf(const std::string &path)
{
    struct stat info
    {
    };
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return platform::identityOf(info);
}

// "data/d/d/…/d" with `levels` folders below "data".
std::string chain(int levels)
{
    std::string path = "data";
    for (int level = 0; level < levels; ++level)
        path += "/d";
    return path;
}

// Walks from "data" down to the bottom of chain(`levels`).
void walkDown(const TempTree &tree, platform::TreeWalk &walk, int levels)
{
    ASSERT_TRUE(walk.openTop(tree / "data", identityOf(tree / "data")));
    for (int level = 1; level <= levels; ++level)
        ASSERT_TRUE(walk.enterChild("d", identityOf(tree / chain(level)))) << level;
}

} // namespace

TEST(TreeWalk, StopsDeletingInAFolderMovedOutOfTheTreeWhileInIt)
{
    // The walk holds the folder open; the folder is moved out of the listed tree, and its place
    // is left empty, taken by a link to its new place, or by a new folder of the same name. The
    // walk notices within sixteen removals and deletes nothing more.
    enum class Left { Nothing, Link, NewFolder };
    constexpr int kFiles = 40;
    for (const Left left : { Left::Nothing, Left::Link, Left::NewFolder }) {
        TempTree tree;
        for (int i = 0; i < kFiles; ++i)
            tree.writeFile("data/sub/" + std::to_string(i) + ".log", "x");
        tree.makeDirectory("outside");
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(tree / "data", identityOf(tree / "data")));
        ASSERT_TRUE(walk.enterChild("sub", identityOf(tree / "data/sub")));
        std::vector<platform::EntryIdentity> files;
        for (int i = 0; i < kFiles; ++i)
            files.push_back(identityOf(tree / ("data/sub/" + std::to_string(i) + ".log")));

        ASSERT_EQ(std::rename((tree / "data/sub").c_str(), (tree / "outside/sub").c_str()), 0);
        if (left == Left::Link)
            tree.makeSymlink(tree / "outside/sub", "data/sub");
        if (left == Left::NewFolder)
            tree.makeDirectory("data/sub");

        int removed = 0;
        for (int i = 0; i < kFiles; ++i) {
            const platform::Removal removal
                = walk.removeFile(std::to_string(i) + ".log", files[i]).removal;
            if (removal == platform::Removal::Removed) {
                EXPECT_EQ(removed, i) << "a removal after the move was noticed";
                ++removed;
            } else {
                EXPECT_EQ(removal, platform::Removal::DirectoryChanged);
            }
        }
        EXPECT_LE(removed, 16) << static_cast<int>(left);
        EXPECT_FALSE(walk.hasCurrent());
        EXPECT_TRUE(tree.exists("outside/sub/39.log")) << static_cast<int>(left);
    }
}

TEST(TreeWalk, EntersNothingBelowAFolderMovedAwayAFewLevelsUp)
{
    TempTree tree;
    tree.makeDirectory(chain(30));
    tree.makeDirectory("outside");
    platform::TreeWalk walk;
    walkDown(tree, walk, 29);
    const platform::EntryIdentity bottom = identityOf(tree / chain(30));
    // A level ten above the current folder moves out of the tree: the next folder entered
    // below is no longer reached from the top by its listed names.
    ASSERT_EQ(std::rename((tree / chain(20)).c_str(), (tree / "outside/d").c_str()), 0);
    EXPECT_FALSE(walk.enterChild("d", bottom));
    EXPECT_FALSE(walk.hasCurrent());
}

TEST(TreeWalk, NoticesAFolderMovedFarAboveWithinASecond)
{
    TempTree tree;
    constexpr int kLevels = 200;
    tree.makeDirectory(chain(kLevels));
    tree.makeDirectory("outside");
    for (const char *name : { "1.log", "2.log" })
        tree.writeFile(chain(kLevels) + "/" + name, "x");
    const platform::EntryIdentity first = identityOf(tree / (chain(kLevels) + "/1.log"));
    const platform::EntryIdentity second = identityOf(tree / (chain(kLevels) + "/2.log"));
    platform::TreeWalk walk;
    walkDown(tree, walk, kLevels);
    EXPECT_EQ(walk.removeFile("1.log", first).removal, platform::Removal::Removed);

    // Far above the levels checked on every step; the whole way from the top is checked again
    // at the latest a second after the last time.
    ASSERT_EQ(std::rename((tree / chain(1)).c_str(), (tree / "outside/d").c_str()), 0);
    usleep(1'100'000);
    EXPECT_EQ(walk.removeFile("2.log", second).removal, platform::Removal::DirectoryChanged);
    EXPECT_TRUE(tree.exists("outside/d" + chain(kLevels).substr(6) + "/2.log"));
}

TEST(TreeWalk, StopsWithinSixteenRemovalsWhenAFolderFarAboveMoves)
{
    // A thousand levels down, far below the levels checked on each move, the walk still checks
    // the whole chain every sixteen removals, long before a second has passed.
    constexpr int kLevels = 1000;
    constexpr int kFiles = 40;
    TempTree tree;
    tree.makeDirectory("outside");
    std::vector<platform::EntryIdentity> files;
    for (int i = 0; i < kFiles; ++i) {
        tree.writeFile(chain(kLevels) + "/" + std::to_string(i) + ".log", "x");
        files.push_back(identityOf(tree / (chain(kLevels) + "/" + std::to_string(i) + ".log")));
    }
    platform::TreeWalk walk;
    walkDown(tree, walk, kLevels);
    ASSERT_EQ(std::rename((tree / chain(1)).c_str(), (tree / "outside/d").c_str()), 0);

    int removed = 0;
    while (removed < kFiles
        && walk.removeFile(std::to_string(removed) + ".log", files[removed]).removal
            == platform::Removal::Removed)
        ++removed;
    EXPECT_LE(removed, 16);
    EXPECT_FALSE(walk.hasCurrent());
}

TEST(TreeWalk, TellsTheSystemsReasonWhenItCannotMoveOrCheck)
{
    // Nothing changed in the tree: a folder without search permission, and no descriptor left
    // to enter a folder or to check the chain, are the system's refusals, not a folder moved.
    constexpr int kFiles = 20;
    TempTree tree;
    tree.makeDirectory("data/sub/d");
    tree.makeDirectory("data/sub/locked");
    std::vector<platform::EntryIdentity> files;
    for (int i = 0; i < kFiles; ++i) {
        tree.writeFile("data/sub/" + std::to_string(i) + ".log", "x");
        files.push_back(identityOf(tree / ("data/sub/" + std::to_string(i) + ".log")));
    }
    const platform::EntryIdentity d = identityOf(tree / "data/sub/d");
    const platform::EntryIdentity locked = identityOf(tree / "data/sub/locked");
    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", identityOf(tree / "data")));
    ASSERT_TRUE(walk.enterChild("sub", identityOf(tree / "data/sub")));
    if (geteuid() != 0) { // root searches any folder
        ASSERT_EQ(chmod((tree / "data/sub/locked").c_str(), 0), 0);
        EXPECT_EQ(walk.enterChild("locked", locked).error.kind, platform::ErrorKind::AccessDenied);
        chmod((tree / "data/sub/locked").c_str(), 0700);
    }

    testing_support::DescriptorLimit limit(64);
    limit.leaveFree(0);
    const platform::MoveResult entered = walk.enterChild("d", d);
    EXPECT_FALSE(entered);
    EXPECT_EQ(entered.error.kind, platform::ErrorKind::TooManyOpenFiles);
    ASSERT_TRUE(walk.hasCurrent());
    platform::RemoveResult result;
    int removed = 0;
    while (removed < kFiles
        && (result = walk.removeFile(std::to_string(removed) + ".log", files[removed])).removal
            == platform::Removal::Removed)
        ++removed;
    EXPECT_LE(removed, 16);
    EXPECT_EQ(result.removal, platform::Removal::Refused);
    EXPECT_EQ(result.error.kind, platform::ErrorKind::TooManyOpenFiles);
}

TEST(TreeWalk, FewerWalksUnderALowDescriptorLimit)
{
    {
        testing_support::DescriptorLimit limit(12);
        EXPECT_EQ(platform::walksWithinDescriptorLimit(4), 1u);
    }
    testing_support::DescriptorLimit limit(1024);
    EXPECT_EQ(platform::walksWithinDescriptorLimit(4), 4u);
}

TEST(TreeWalk, StopsWhenTheSelectedFolderItselfIsMovedAway)
{
    // The walk is given the selected folder's path as the listing had it: with a final "/",
    // relative to the working folder, through a link of the user's. The folder moves away, and a
    // new folder or a link to its new place takes its name: within sixteen removals the walk
    // notices and deletes nothing more. Nothing moved, the user's link is no change.
    enum class Then { Nothing, NewFolder, Link };
    struct Case
    {
        const char *top;
        const char *sub; // where the walk deletes below the top
        bool relative;
        Then then;
    };
    const Case cases[] = {
        { "data", "", false, Then::NewFolder },
        { "data/", "", false, Then::Link },
        { "data", "sub/", true, Then::Link },
        { "data/", "sub/", false, Then::NewFolder },
        { "via/", "", false, Then::Nothing },
    };
    constexpr int kFiles = 40;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.top) + " " + c.sub);
        TempTree tree;
        const std::string dir = std::string("data/") + c.sub;
        std::vector<platform::EntryIdentity> files;
        for (int i = 0; i < kFiles; ++i) {
            tree.writeFile(dir + std::to_string(i) + ".log", "x");
            files.push_back(identityOf(tree / (dir + std::to_string(i) + ".log")));
        }
        tree.makeSymlink(tree / "data", "via");
        const int cwd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (c.relative) {
            ASSERT_EQ(chdir(tree.path().c_str()), 0);
        }
        platform::TreeWalk walk;
        ASSERT_TRUE(
            walk.openTop((c.relative ? "" : tree.path()) + c.top, identityOf(tree / "data")));
        if (*c.sub) {
            ASSERT_TRUE(walk.enterChild("sub", identityOf(tree / "data/sub")));
        }
        if (c.then != Then::Nothing) {
            ASSERT_EQ(std::rename((tree / "data").c_str(), (tree / "saved").c_str()), 0);
        }
        if (c.then == Then::NewFolder)
            tree.makeDirectory("data");
        if (c.then == Then::Link)
            tree.makeSymlink(tree / "saved", "data");

        int removed = 0;
        while (removed < kFiles
            && walk.removeFile(std::to_string(removed) + ".log", files[removed]).removal
                == platform::Removal::Removed)
            ++removed;
        EXPECT_EQ(fchdir(cwd), 0);
        close(cwd);
        if (c.then == Then::Nothing) {
            EXPECT_EQ(removed, kFiles);
        } else {
            EXPECT_LE(removed, 16);
            EXPECT_FALSE(walk.hasCurrent());
        }
    }
}

TEST(TreeWalk, RemovesEveryNameOfAHardLinkedFileButNoneChangedSinceTheListing)
{
    // Three names of one old file, two in one folder and one in another ("cp -al" backups). Each
    // removal changes the status-change time under the other names; a change by another hand
    // before the last name is removed (even one that keeps the modification time) keeps it.
    using platform::Removal;
    enum class Before { Nothing, Modified, ModeChanged, Replaced };
    const std::pair<Before, Removal> cases[] = {
        { Before::Nothing, Removal::Removed },
        { Before::Modified, Removal::Changed },
        { Before::ModeChanged, Removal::Changed },
        { Before::Replaced, Removal::Changed },
    };
    for (const auto &[before, last] : cases) {
        TempTree tree;
        tree.writeFile("data/a/1.log", "x");
        tree.setModified("data/a/1.log", 1'000'000'000);
        ASSERT_EQ(link((tree / "data/a/1.log").c_str(), (tree / "data/a/2.log").c_str()), 0);
        tree.makeDirectory("data/b");
        ASSERT_EQ(link((tree / "data/a/1.log").c_str(), (tree / "data/b/3.log").c_str()), 0);
        const platform::EntryIdentity listed = identityOf(tree / "data/a/1.log");
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(tree / "data", identityOf(tree / "data")));
        ASSERT_TRUE(walk.enterChild("a", identityOf(tree / "data/a")));
        EXPECT_EQ(walk.removeFile("1.log", listed).removal, Removal::Removed);
        EXPECT_EQ(walk.removeFile("2.log", listed).removal, Removal::Removed);
        if (before == Before::Modified)
            tree.setModified("data/b/3.log", 1'000'000'002);
        if (before == Before::ModeChanged) {
            ASSERT_EQ(chmod((tree / "data/b/3.log").c_str(), 0600), 0);
        }
        if (before == Before::Replaced) {
            tree.writeFile("new.log", "y");
            tree.setModified("new.log", 1'000'000'000);
            ASSERT_EQ(std::rename((tree / "new.log").c_str(), (tree / "data/b/3.log").c_str()), 0);
        }
        ASSERT_TRUE(walk.enterParent(identityOf(tree / "data")));
        ASSERT_TRUE(walk.enterChild("b", identityOf(tree / "data/b")));
        EXPECT_EQ(walk.removeFile("3.log", listed).removal, last) << static_cast<int>(before);
    }
}

TEST(TreeWalk, ParallelWalksRemoveTheNamesOfOneFileInDifferentFolders)
{
    // Two walks at once, each in its own folder, remove the two names of the same files: neither
    // may take the other's removal for a change.
    constexpr int kFiles = 300;
    TempTree tree;
    tree.makeDirectory("data/b");
    std::vector<platform::EntryIdentity> listed;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = std::to_string(i) + ".log";
        tree.writeFile("data/a/" + name, "x");
        ASSERT_EQ(
            link((tree / ("data/a/" + name)).c_str(), (tree / ("data/b/" + name)).c_str()), 0);
        listed.push_back(identityOf(tree / ("data/a/" + name)));
    }
    std::vector<platform::Removal> removals[2];
    auto removeAll = [&](int side) {
        platform::TreeWalk walk(2);
        walk.openTop(tree / "data", identityOf(tree / "data"));
        const std::string folder = side == 0 ? "a" : "b";
        walk.enterChild(folder, identityOf(tree / ("data/" + folder)));
        for (int i = 0; i < kFiles; ++i)
            removals[side].push_back(
                walk.removeFile(std::to_string(i) + ".log", listed[i]).removal);
    };
    std::thread other(removeAll, 1);
    removeAll(0);
    other.join();
    for (const auto &side : removals)
        EXPECT_EQ(std::count(side.begin(), side.end(), platform::Removal::Removed), kFiles);
}

TEST(TreeWalk, EntersNoFolderMountedOverSinceTheListing)
{
    // A tmpfs, or a bind mount of another folder of the same file system, mounted over a listed
    // folder after the listing is another directory than the one listed.
    for (const bool bind : { false, true }) {
        TempTree tree;
        tree.writeFile("data/sub/old.log", "x");
        tree.writeFile("outside/old.log", "x");
        const platform::EntryIdentity listed = identityOf(tree / "data/sub");
        const testing_support::Mount mount(
            tree / "data/sub", bind ? tree / "outside" : std::string());
        if (!mount.mounted())
            GTEST_SKIP() << mount.why();
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(tree / "data", identityOf(tree / "data")));
        EXPECT_FALSE(walk.enterChild("sub", listed)) << bind;
    }
}
