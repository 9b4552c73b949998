// What the directory search promises on every system, tested against the portable temporary tree.
#include "platform/dir_search.h"
#include "platform/open_levels.h"
#include "platform/path_separator.h"
#include "support/search_recorder.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using testing_support::TempTree;

namespace {

using Recorder = testing_support::SearchRecorder;

} // namespace

TEST(SearchContract, SaysWhyTheDirectoryCouldNotBeSearched)
{
    TempTree tree;
    tree.writeFile("file.txt");
    const std::string separator(1, platform::kPathSeparator);
    const std::string cut = tree.path() + std::string(1, '\0') + "x";
    const struct
    {
        std::string directory;
        platform::ErrorKind kind;
        std::string path; // as reported: ending in a separator
    } cases[] = {
        { "", platform::ErrorKind::NotFound, "" },
        { tree / "missing/", platform::ErrorKind::NotFound, tree / "missing/" },
        { tree / "missing", platform::ErrorKind::NotFound, tree / "missing" + separator },
        { tree / "missing/below", platform::ErrorKind::NotFound,
            tree / "missing/below" + separator },
        { tree / "file.txt", platform::ErrorKind::NotADirectory, tree / "file.txt" + separator },
        // A NUL byte would cut the path short and name the tree itself.
        { cut, platform::ErrorKind::NotFound, cut + separator },
    };
    for (const auto &[directory, kind, path] : cases) {
        Recorder recorder;
        const platform::SearchOutcome outcome = platform::searchTree(directory, true, recorder);
        EXPECT_EQ(outcome.error.kind, kind) << directory << ": " << outcome.error.code;
        EXPECT_EQ(outcome.path, path);
        EXPECT_FALSE(outcome.inSubdirectory);
        EXPECT_TRUE(recorder.files.empty()) << directory;
        EXPECT_EQ(recorder.directoriesEntered, 0) << directory;
    }
}

TEST(SearchContract, KeepsDepthFirstNestingBeyondTheOpenLevels)
{
    // Several files on every level of a tree deeper than the levels kept open, so that the search
    // has to close directories and find them again on the way back up.
    TempTree tree;
    const int levels = static_cast<int>(platform::directoriesKeptOpen()) + 22;
    std::set<std::string> expected;
    std::string level;
    for (int depth = 0; depth < levels; ++depth) {
        for (const char *name : { "a", "m", "z" }) {
            tree.writeFile(level + name);
            expected.insert(level + name);
        }
        level += "d/";
    }
    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(tree.path(), true, recorder).error);
    EXPECT_EQ(recorder.files.size(), expected.size());
    EXPECT_EQ(std::set<std::string>(recorder.files.begin(), recorder.files.end()), expected);
    EXPECT_EQ(recorder.directoriesEntered, levels);
}

TEST(SearchContract, PassesOverTheSubdirectoriesTheVisitorDeclines)
{
    // A visitor that declines every subdirectory named "skip", at any depth.
    class Declining : public Recorder
    {
    public:
        bool entersSubdirectory(std::string_view name) override
        {
            asked.emplace(name);
            return name != "skip";
        }
        std::multiset<std::string> asked;
    };
    TempTree tree;
    for (const char *name :
        { "top.log", "a/1.log", "a/b/2.log", "skip/3.log", "a/skip/4.log", "a/skip/deeper/5.log" })
        tree.writeFile(name);
    Declining visitor;
    EXPECT_FALSE(platform::searchTree(tree.path(), true, visitor).error);
    EXPECT_EQ(std::multiset<std::string>(visitor.files.begin(), visitor.files.end()),
        (std::multiset<std::string> { "top.log", "a/1.log", "a/b/2.log" }));
    EXPECT_EQ(visitor.asked, (std::multiset<std::string> { "a", "b", "skip", "skip" }));
    EXPECT_EQ(visitor.directoriesEntered, 3);

    // Without descending, nothing is asked.
    Declining flat;
    EXPECT_FALSE(platform::searchTree(tree.path(), false, flat).error);
    EXPECT_TRUE(flat.asked.empty());
}

TEST(SearchContract, TellsOfTheEntriesItNeitherReportsNorEnters)
{
    class Counting : public Recorder
    {
    public:
        void passedOver() override { ++passed; }
        int passed = 0;
    };
    TempTree tree;
    tree.writeFile("a/1.log");
    tree.makeDirectory("elsewhere");
    try {
        tree.makeSymlink(tree / "elsewhere", "a/link");
    } catch (const std::runtime_error &error) {
        GTEST_SKIP() << error.what();
    }
    Counting visitor;
    EXPECT_FALSE(platform::searchTree(tree.path(), true, visitor).error);
    EXPECT_EQ(visitor.files, std::vector<std::string> { "a/1.log" });
    EXPECT_EQ(visitor.passed, 1) << "the link to a folder";
}
