#include "platform/dir_search.h"
#include "support/search_recorder.h"
#include "support/system_limits.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testing_support::TempTree;

namespace {

using Recorder = testing_support::SearchRecorder;

std::set<std::string> asSet(const std::vector<std::string> &files)
{
    return { files.begin(), files.end() };
}

} // namespace

TEST(SearchTree, ReportsFilesAndSkipsLinksToDirectories)
{
    TempTree tree;
    tree.writeFile("plain.txt", "12345");
    tree.writeFile(".hidden");
    tree.writeFile("sub/inner.txt");
    tree.writeFile("outside/secret.txt");
    tree.makeSymlink(tree / "outside", "sub/link-to-dir");
    tree.makeSymlink("plain.txt", "link-to-file");
    tree.makeSymlink("nowhere", "dangling");
    tree.makeSymlink(".", "sub/loop");
    mkfifo((tree / "pipe").c_str(), 0600);

    Recorder flat;
    ASSERT_FALSE(platform::searchTree(tree.path(), false, flat).error);
    EXPECT_EQ(asSet(flat.files),
        (std::set<std::string> { "plain.txt", ".hidden", "link-to-file", "dangling", "pipe" }));
    EXPECT_EQ(flat.directoriesEntered, 1);

    Recorder deep;
    ASSERT_FALSE(platform::searchTree(tree.path(), true, deep).error);
    EXPECT_EQ(asSet(deep.files),
        (std::set<std::string> { "plain.txt", ".hidden", "link-to-file", "dangling", "pipe",
            "sub/inner.txt", "outside/secret.txt" }));
    // The link to a file is reported with its own size, not the target's five bytes.
    const auto link = std::find(deep.files.begin(), deep.files.end(), "link-to-file");
    EXPECT_EQ(deep.sizes[static_cast<std::size_t>(link - deep.files.begin())],
        std::string_view("plain.txt").size());
}

// A tree of `depth` levels below `tree`, each holding one file; returns the files' paths.
std::set<std::string> writeChain(const TempTree &tree, int depth)
{
    std::set<std::string> files;
    std::string level;
    for (int at = 0; at < depth; ++at) {
        tree.writeFile(level + "file");
        files.insert(level + "file");
        level += "d/";
    }
    return files;
}

TEST(SearchTree, ClosesLevelsEarlierUnderALowDescriptorLimit)
{
    TempTree tree;
    const std::set<std::string> expected = writeChain(tree, 200);
    Recorder recorder;
    platform::SearchOutcome outcome;
    {
        testing_support::DescriptorLimit limit(16);
        outcome = platform::searchTree(tree.path(), true, recorder);
    }
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(asSet(recorder.files), expected);
}

TEST(SearchTree, ReportsLargeDirectoriesWholeAndInDirectoryOrder)
{
    // Directories of more entries than are looked at in one batch, shared between two threads.
    TempTree tree;
    for (int i = 0; i < 1500; ++i)
        tree.writeFile("datei-" + std::to_string(i));
    for (const char *sub : { "a/", "b/", "a/c/" }) {
        for (int i = 0; i < 300; ++i)
            tree.writeFile(std::string(sub) + "datei-" + std::to_string(i));
    }
    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(tree.path(), true, recorder).error);
    std::vector<std::string> expected = testing_support::regularFilesInSearchOrder(tree.path());
    for (std::string &path : expected)
        path.erase(0, tree.path().size());
    EXPECT_EQ(recorder.files, expected);
    EXPECT_EQ(recorder.files.size(), 2400u);
}

TEST(SearchTree, ReadsSiblingDirectoriesAheadInDepthFirstOrder)
{
    // Many sibling directories, some with subdirectories of their own and some empty, so that
    // directories read ahead are held while the search descends elsewhere; under a descriptor
    // limit too, where they share the few directories kept open with the levels of the search.
    TempTree tree;
    for (int top = 0; top < 40; ++top) {
        const std::string folder = "ordner-" + std::to_string(top) + "/";
        tree.makeDirectory(folder);
        for (int i = 0; i < top % 5; ++i)
            tree.writeFile(folder + "datei-" + std::to_string(i));
        for (int sub = 0; sub < top % 4; ++sub) {
            const std::string below = folder + "unter-" + std::to_string(sub) + "/";
            for (int i = 0; i < 3; ++i)
                tree.writeFile(below + "tief/datei-" + std::to_string(i));
            tree.writeFile(below + "datei");
        }
    }
    tree.writeFile("oben");
    std::vector<std::string> expected = testing_support::regularFilesInSearchOrder(tree.path());
    for (std::string &path : expected)
        path.erase(0, tree.path().size());

    for (const int descriptors : { 0, 16, 12 }) {
        Recorder recorder;
        platform::SearchOutcome outcome;
        {
            std::optional<testing_support::DescriptorLimit> limit;
            if (descriptors > 0)
                limit.emplace(descriptors);
            outcome = platform::searchTree(tree.path(), true, recorder);
        }
        EXPECT_FALSE(outcome.error) << descriptors;
        EXPECT_EQ(recorder.files, expected) << descriptors;
        EXPECT_EQ(recorder.directoriesEntered, 1 + 40 + 2 * (10 * (0 + 1 + 2 + 3))) << descriptors;
    }
}

TEST(SearchTree, DescendsTwentyThousandLevels)
{
    TempTree tree;
    constexpr int kDepth = 20000;
    // Built relative to open directories: the path is far beyond what one system call takes.
    int fd = open(tree.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int depth = 0; depth < kDepth; ++depth) {
        ASSERT_EQ(mkdirat(fd, "d", 0700), 0);
        const int child = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    const int file = openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(file, 0);
    close(file);
    close(fd);

    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(tree.path(), true, recorder).error);
    ASSERT_EQ(recorder.files.size(), 1u);
    EXPECT_EQ(recorder.files[0].size(), kDepth * 2 + std::string_view("bottom.txt").size());
    EXPECT_EQ(recorder.directoriesEntered, kDepth + 1);
}

TEST(SearchTree, StaysOnTheFileSystemOfTheSearchedDirectory)
{
    // Folders holding a tmpfs, or a bind mount of a folder of the same file system, among
    // sibling folders that the search reads ahead, are passed over.
    TempTree tree;
    tree.writeFile("outside/bound.txt");
    for (int i = 0; i < 24; ++i)
        tree.writeFile("data/" + std::to_string(i) + "/kept.txt");
    std::vector<std::string> expected = testing_support::regularFilesInSearchOrder(tree / "data/");
    for (std::string &path : expected)
        path.erase(0, (tree / "data/").size());
    std::vector<std::unique_ptr<testing_support::Mount>> mounts;
    for (int i = 0; i < 24; i += 3) {
        const std::string folder = std::to_string(i);
        mounts.push_back(std::make_unique<testing_support::Mount>(
            tree / ("data/" + folder), i % 2 == 0 ? std::string() : tree / "outside"));
        if (!mounts.back()->mounted())
            GTEST_SKIP() << mounts.back()->why();
        std::erase(expected, folder + "/kept.txt");
    }
    tree.writeFile("data/0/mounted.txt");

    Recorder recorder;
    EXPECT_FALSE(platform::searchTree(tree / "data", true, recorder).error);
    EXPECT_EQ(recorder.files, expected);
}
