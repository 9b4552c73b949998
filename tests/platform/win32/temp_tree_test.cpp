#include "platform/win32/wide_text.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <windows.h>

using platform::win32::longPath;

// The temporary trees the tests of the directory search and the deletion build on.
TEST(TempTree, BuildsFilesWithTimesAndRemovesEverything)
{
    std::string root;
    {
        const testing_support::TempTree tree;
        root = tree.path();
        EXPECT_TRUE(root.ends_with("\\"));
        tree.writeFile("a.log", "abc");
        tree.writeFile("sub/deeper/b.log");
        tree.writeSparseFile("sub/big.bin", std::uint64_t { 1 } << 33);
        tree.writeFile("gesch\xC3\xBCtzt.log");
        ASSERT_TRUE(SetFileAttributesW(
            longPath(tree / "gesch\xC3\xBCtzt.log").c_str(), FILE_ATTRIBUTE_READONLY));
        const std::time_t winter = testing_support::localEpoch(2017, 1, 15, 13, 0, 2);
        EXPECT_EQ(winter, 1484481602);
        EXPECT_EQ(testing_support::localEpoch(2017, 7, 15, 14, 0, 2), 1500120002);
        // Months and days beyond their range count on, as with mktime.
        EXPECT_EQ(testing_support::localEpoch(2016, 13, 15, 13, 0, 2), 1484481602);
        EXPECT_EQ(testing_support::localEpoch(2017, 2, -16, 13, 0, 2), 1484481602);
        tree.setModified("sub/deeper/b.log", winter);

        const HANDLE file = CreateFileW(longPath(tree / "sub/deeper/b.log").c_str(),
            FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME written;
        LARGE_INTEGER size;
        EXPECT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
        CloseHandle(file);
        const std::uint64_t ticks
            = (std::uint64_t { written.dwHighDateTime } << 32) | written.dwLowDateTime;
        EXPECT_EQ(ticks / 10'000'000 - 11'644'473'600, std::uint64_t { 1484481602 });

        const HANDLE big = CreateFileW(longPath(tree / "sub/big.bin").c_str(), FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(big, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(GetFileSizeEx(big, &size));
        CloseHandle(big);
        EXPECT_EQ(size.QuadPart, LONGLONG { 1 } << 33);

        EXPECT_EQ(tree.readFile("a.log"), "abc");
        EXPECT_TRUE(tree.exists("sub/deeper"));
        EXPECT_FALSE(tree.exists("sub/missing"));
        auto files = testing_support::regularFilesInSearchOrder(tree.path());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files,
            (std::vector<std::string> { tree / "a.log", tree / "gesch\xC3\xBCtzt.log",
                tree / "sub\\big.bin", tree / "sub\\deeper\\b.log" }));
    }
    EXPECT_EQ(GetFileAttributesW(longPath(root).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TempTree, RemovesLinksWithoutEnteringThem)
{
    const testing_support::TempTree outside;
    outside.writeFile("folder/keep.log", "x");
    outside.writeFile("keep.txt", "y");
    {
        const testing_support::TempTree tree;
        tree.makeDirectory("sub");
        try {
            tree.makeSymlink(outside / "folder", "sub/to-folder");
        } catch (const std::runtime_error &error) {
            GTEST_SKIP() << error.what() << " (Wine 8 makes no links)";
        }
        tree.makeSymlink(outside / "keep.txt", "to-file");
        tree.makeSymlink("missing", "dangling");
        EXPECT_TRUE(GetFileAttributesW(longPath(tree / "sub/to-folder").c_str())
            & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_TRUE(tree.exists("dangling"));
        EXPECT_EQ(tree.readFile("sub/to-folder/keep.log"), "x");
        // Links are neither listed nor followed.
        EXPECT_TRUE(testing_support::regularFilesInSearchOrder(tree.path()).empty());
    }
    EXPECT_EQ(outside.readFile("folder/keep.log"), "x");
    EXPECT_EQ(outside.readFile("keep.txt"), "y");
}
