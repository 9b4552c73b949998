// What the walk meets only on Linux: a limit of descriptors, permissions to search, mounts.
#include "platform/linux/entry_identity.h"
#include "platform/tree_walk.h"
#include "support/system_limits.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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

} // namespace

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
