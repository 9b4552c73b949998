#include "deletion_testing.h"
#include "support/system_limits.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#ifndef _WIN32
#include <unistd.h>
#endif

// How a run reaches each listed file's folder: through trees deeper than a path reaches, past
// folders moved since the listing, and without descriptors to spare.

using namespace deletion_testing;
using testing_support::withSystemSeparators;

TEST(DeleteListed, ReachesFilesBeyondTheLongestPathAndComesBackUp)
{
    // Two deep branches: whichever is deleted first, the run climbs all the way up from its
    // bottom to reach the other.
    TempTree tree;
    std::vector<std::string> files;
    for (const std::string branch : { "data/a/", "data/b/" }) {
        std::string level = branch;
        for (int depth = 0; depth < 250; ++depth) {
            level += "ein-recht-langer-name/";
            if (depth % 50 == 49)
                files.push_back(level + "alt.log");
        }
    }
#ifdef _WIN32
    // Wine keeps the files on Linux, whose paths end at 4096 bytes: the tree cannot be made
    // there, though it fits into a Windows path.
    try {
        for (const std::string &file : files)
            writeOld(tree, { file });
    } catch (const std::runtime_error &error) {
        GTEST_SKIP() << "the system makes no path this long: "
                     << std::string(error.what()).substr(0, 60);
    }
#else
    for (const std::string &file : files)
        writeOld(tree, { file });
#endif
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log", true);
    ASSERT_EQ(state.Table.fileCount(), files.size());
    ASSERT_GT(listedPaths(state).back().size(), 4095u);
    core::DeleteListed(state);
    for (const std::string &file : files)
        EXPECT_FALSE(tree.exists(file)) << file.size();
}
TEST(DeleteListed, KeepsTheFilesOfAFolderNoLongerWhereItWasListed)
{
    // Each subfolder is moved away after the listing and something that looks alike is left in
    // its place: a link to it, or a new folder holding a file of the same name and time.
    TempTree tree;
    writeOld(tree, { "data/verlinkt/a.log", "data/neu/b.log", "data/bleibt/c.log" });
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log", true);
    ASSERT_EQ(state.Table.fileCount(), 3u);
    std::rename((tree / "data/verlinkt").c_str(), (tree / "weg-verlinkt").c_str());
#ifdef _WIN32
    try {
        tree.makeSymlink(tree / "weg-verlinkt", "data/verlinkt");
    } catch (const std::runtime_error &error) {
        GTEST_SKIP() << "the system makes no symbolic links (Wine 8, or Windows without the "
                        "developer mode): "
                     << error.what();
    }
#else
    tree.makeSymlink(tree / "weg-verlinkt", "data/verlinkt");
#endif
    std::rename((tree / "data/neu").c_str(), (tree / "weg-neu").c_str());
    writeOld(tree, { "data/neu/b.log" });

    const core::DeletionReport report = core::DeleteListed(state);
    EXPECT_TRUE(tree.exists("weg-verlinkt/a.log"));
    EXPECT_TRUE(tree.exists("weg-neu/b.log"));
    EXPECT_TRUE(tree.exists("data/neu/b.log"));
    EXPECT_FALSE(tree.exists("data/bleibt/c.log"));
    EXPECT_EQ(report.deleted, 1u);
    std::vector<std::string> expected;
    for (const std::string &path : listedPaths(state)) {
        expected.push_back(path == withSystemSeparators(tree / "data/bleibt/c.log")
                ? path
                : stayedLine(path, "Verzeichnis geändert"));
    }
    EXPECT_EQ(loggedFileLines(tree), expected);
    for (const core::StayedFile &file : report.stayed)
        EXPECT_EQ(file.outcome, core::Outcome::DirectoryChanged) << file.row;
}

#ifndef _WIN32
namespace {

// A chain of `depth` folders "d" below "data", a listed file in each (the top's included), built
// relative to open folders since the path goes far beyond what one system call takes. The folder
// at `renamedLevel` (1 for the top's child), when not 0, is renamed after the listing.
struct DeepChainRun
{
    core::DeletionReport report;
    double seconds = 0;
    std::size_t listed = 0;
};

DeepChainRun deleteDeepChain(const TempTree &tree, int depth, int renamedLevel)
{
    tree.makeDirectory("data");
    int fd = open((tree / "data").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int renamedParent = -1;
    const timespec times[2] = { { kOld, 0 }, { kOld, 0 } };
    for (int level = 0; level <= depth; ++level) {
        close(openat(fd, "alt.log", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        utimensat(fd, "alt.log", times, 0);
        if (level == depth)
            break;
        mkdirat(fd, "d", 0700);
        const int child = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (level + 1 == renamedLevel)
            renamedParent = fd;
        else
            close(fd);
        fd = child;
    }
    close(fd);

    DeepChainRun run;
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log", true);
    run.listed = state.Table.fileCount();
    if (renamedParent >= 0) {
        renameat(renamedParent, "d", renamedParent, "umbenannt");
        close(renamedParent);
    }
    const auto start = std::chrono::steady_clock::now();
    run.report = core::DeleteListed(state);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

// Removes what deleteDeepChain built, from the bottom up: far quicker than a recursive removal,
// which goes through the whole path again for each level.
void removeDeepChain(const TempTree &tree)
{
    int fd = open((tree / "data").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int depth = 0;
    for (int child; fd >= 0; fd = child, ++depth) {
        unlinkat(fd, "alt.log", 0);
        child = openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child < 0)
            child = openat(fd, "umbenannt", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child < 0)
            break;
        close(fd);
    }
    for (; fd >= 0 && depth > 0; --depth) {
        const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = parent;
        if (unlinkat(fd, "d", AT_REMOVEDIR) != 0)
            unlinkat(fd, "umbenannt", AT_REMOVEDIR);
    }
    close(fd);
}

} // namespace

// The bounds below are far above what the runs take (well under a second each on a small
// machine, a few seconds under the sanitizers); they catch only a run that goes back to the top
// for every row or checks the whole chain on every step.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kDeepRunBound = 300;
#else
constexpr double kDeepRunBound = 60;
#endif
#endif

TEST(DeleteListed, PassesOverTheRowsBelowAFolderRenamedDeepInTheTree)
{
#ifdef _WIN32
    GTEST_SKIP() << "a chain of 8000 folders is far longer than the 32767 characters of a Windows "
                    "path";
#else
    TempTree tree;
    const DeepChainRun run = deleteDeepChain(tree, 8000, 4000);
    removeDeepChain(tree);
    ASSERT_EQ(run.listed, 8001u);
    EXPECT_LT(run.seconds, kDeepRunBound);
    // The files above the renamed folder go; those in it and below stay, each with its reason.
    EXPECT_EQ(run.report.deleted, 4000u);
    ASSERT_EQ(run.report.stayed.size(), 4001u);
    for (const core::StayedFile &file : run.report.stayed)
        ASSERT_EQ(file.outcome, core::Outcome::DirectoryChanged) << file.row;
#endif
}

TEST(DeleteListed, DeletesAFileInEachOfTwentyThousandLevels)
{
#ifdef _WIN32
    GTEST_SKIP() << "a chain of 20000 folders is far longer than the 32767 characters of a "
                    "Windows path";
#else
    TempTree tree;
    const DeepChainRun run = deleteDeepChain(tree, 20000, 0);
    removeDeepChain(tree);
    ASSERT_EQ(run.listed, 20001u);
    EXPECT_LT(run.seconds, kDeepRunBound);
    EXPECT_EQ(run.report.deleted, 20001u);
    EXPECT_TRUE(run.report.stayed.empty());
#endif
}

TEST(DeleteListed, TellsTooManyOpenFilesRatherThanAChangedFolder)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no limit of open handles a process could lower";
#else
    TempTree tree;
    writeOld(tree, { "data/a.log", "data/sub/b.log" });
    const core::JobState state = listedOld(tree / "data", "", true);
    core::DeletionReport report;
    {
        testing_support::DescriptorLimit limit(64);
        limit.leaveFree(0);
        report = core::DeleteListed(state, 1);
    }
    EXPECT_EQ(report.deleted, 0u);
    ASSERT_EQ(report.stayed.size(), 2u);
    for (const core::StayedFile &file : report.stayed)
        EXPECT_EQ(core::messages::notDeletedReason(file.outcome, file.error),
            "Zu viele geöffnete Dateien");
#endif
}
