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
    return { static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
        static_cast<std::int64_t>(info.st_mtim.tv_sec),
        static_cast<std::int64_t>(info.st_ctim.tv_sec),
        static_cast<std::uint32_t>(info.st_mtim.tv_nsec),
        static_cast<std::uint32_t>(info.st_ctim.tv_nsec),
        static_cast<std::uint32_t>(info.st_mode & S_IFMT) };
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
