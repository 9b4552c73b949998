// What the walk meets only on Windows: read-only files, files others hold open, streams and "\"
// in names, junctions, paths beyond the old length limit.
#include "platform/tree_walk.h"
#include "platform/win32/wide_text.h"
#include "support/listed_identities.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>
#include <winioctl.h>

namespace {

using platform::Removal;
using platform::win32::longPath;
using testing_support::ListedIdentities;
using testing_support::TempTree;
using testing_support::withSystemSeparators;

// The long path form of `relative` below `tree`.
std::wstring systemPath(const TempTree &tree, const std::string &relative)
{
    return longPath(withSystemSeparators(tree / relative));
}

// Makes `link` (a path below `tree`) a junction to the folder `target`. Returns why it could
// not, empty when it could.
std::string makeJunction(const TempTree &tree, const std::string &link, const std::string &target)
{
    const std::wstring linkPath = systemPath(tree, link);
    const std::wstring targetPath = systemPath(tree, target);
    // A junction is an empty folder with a mount point's reparse data: the target as the native
    // path ("\??\C:\…") and as the name shown.
    if (!CreateDirectoryW(linkPath.c_str(), nullptr))
        return "CreateDirectoryW failed with " + std::to_string(GetLastError());
    const std::wstring substitute = L"\\??\\" + targetPath.substr(4);
    const std::wstring print = targetPath.substr(4);
    std::vector<WORD> data(8 + substitute.size() + print.size() + 2);
    const auto bytes
        = [](std::size_t characters) { return static_cast<WORD>(characters * sizeof(wchar_t)); };
    data[4] = 0; // the substitute name's offset and length, then the printed name's
    data[5] = bytes(substitute.size());
    data[6] = bytes(substitute.size() + 1);
    data[7] = bytes(print.size());
    std::copy(substitute.begin(), substitute.end(), data.begin() + 8);
    std::copy(print.begin(), print.end(), data.begin() + 9 + substitute.size());
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(data.data(), &tag, sizeof tag);
    data[2] = static_cast<WORD>(data.size() * sizeof(WORD) - 8); // after the header
    const HANDLE folder = CreateFileW(linkPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const BOOL set = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, data.data(),
        static_cast<DWORD>(data.size() * sizeof(WORD)), nullptr, 0, &returned, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(folder);
    if (!set) {
        RemoveDirectoryW(linkPath.c_str());
        return "FSCTL_SET_REPARSE_POINT failed with " + std::to_string(error);
    }
    const DWORD attributes = GetFileAttributesW(linkPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return "the call reported success, but no junction is there";
    return {};
}

} // namespace

TEST(TreeWalkWin32, LeavesWhatItMustNotDelete)
{
    TempTree tree;
    for (const char *name : { "readonly.log", "open.log", "sub" })
        tree.writeFile(std::string("data/") + name, "x");
    // Read-only, as listed: the system refuses the deletion, and the attribute is left as it is.
    ASSERT_TRUE(
        SetFileAttributesW(systemPath(tree, "data/readonly.log").c_str(), FILE_ATTRIBUTE_READONLY));
    const ListedIdentities listed(tree);
    // Held open by another program that does not share its deletion.
    const HANDLE open = CreateFileW(systemPath(tree, "data/open.log").c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);

    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", listed["data"]));
    const platform::RemoveResult readOnly
        = walk.removeFile("readonly.log", listed["data/readonly.log"]);
    EXPECT_EQ(readOnly.removal, Removal::Refused);
    EXPECT_EQ(readOnly.error, (platform::SystemError { platform::ErrorKind::AccessDenied, 5 }));
    const platform::RemoveResult inUse = walk.removeFile("open.log", listed["data/open.log"]);
    EXPECT_EQ(inUse.removal, Removal::Refused);
    EXPECT_EQ(inUse.error, (platform::SystemError { platform::ErrorKind::InUse, 32 }));
    // A name that would reach another entry than one of the current folder: a stream of a file,
    // a path.
    EXPECT_NE(walk.removeFile("sub:stream", listed["data/sub"]).removal, Removal::Removed);
    EXPECT_NE(walk.removeFile("..\\data\\sub", listed["data/sub"]).removal, Removal::Removed);
    CloseHandle(open);

    for (const char *name : { "readonly.log", "open.log", "sub" })
        EXPECT_TRUE(tree.exists(std::string("data/") + name)) << name;
    EXPECT_EQ(
        GetFileAttributesW(systemPath(tree, "data/readonly.log").c_str()) & FILE_ATTRIBUTE_READONLY,
        static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(walk.hasCurrent());
}

TEST(TreeWalkWin32, NeverFollowsAJunctionInAFoldersPlace)
{
    // The folder the walk deletes in, below the selected folder or the selected folder itself,
    // is moved away and a junction to its new place takes its name: the walk in it notices
    // within sixteen removals and deletes nothing more, and a walk about to enter the folder does
    // not.
    constexpr int kFiles = 40;
    const struct
    {
        const char *moved; // the folder the walk deletes in
        const char *to;
    } cases[] = {
        { "data/sub", "outside/sub" },
        { "data", "saved" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.moved);
        TempTree tree;
        const std::string folder = std::string(c.moved) + "/";
        for (int i = 0; i < kFiles; ++i)
            tree.writeFile(folder + std::to_string(i) + ".log", "x");
        tree.makeDirectory("data/sub");
        tree.makeDirectory("outside");
        const ListedIdentities listed(tree);
        platform::TreeWalk inside;
        platform::TreeWalk above;
        ASSERT_TRUE(inside.openTop(tree / "data\\", listed["data"]));
        if (folder != "data/") {
            ASSERT_TRUE(inside.enterChild("sub", listed["data/sub"]));
        }
        ASSERT_TRUE(above.openTop(tree / "data", listed["data"]));
        ASSERT_TRUE(MoveFileW(systemPath(tree, c.moved).c_str(), systemPath(tree, c.to).c_str()));
        const std::string notMade = makeJunction(tree, c.moved, c.to);
        if (!notMade.empty())
            GTEST_SKIP() << "No junction made on this system, so none tried: " << notMade;

        EXPECT_FALSE(above.enterChild("sub", listed["data/sub"]));
        int removed = 0;
        while (removed < kFiles
            && inside
                    .removeFile(std::to_string(removed) + ".log",
                        listed[folder + std::to_string(removed) + ".log"])
                    .removal
                == Removal::Removed)
            ++removed;
        EXPECT_LE(removed, 16);
        EXPECT_FALSE(inside.hasCurrent());
        EXPECT_TRUE(tree.exists(std::string(c.to) + "/39.log"));
    }
}

TEST(TreeWalkWin32, ReachesPathsBeyondTheOldLengthLimit)
{
    // Eight folders of 40 characters: the bottom's path is far longer than 260 characters. The
    // walk reaches it from the top and as a top of its own.
    TempTree tree;
    const std::string name(40, 'n');
    std::string bottom = "data";
    for (int level = 0; level < 8; ++level)
        bottom += "/" + name;
    tree.writeFile(bottom + "/1.log", "x");
    tree.writeFile(bottom + "/2.log", "x");
    ASSERT_GT((tree / bottom).size(), 360U);
    const ListedIdentities listed(tree);

    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", listed["data"]));
    std::string path = "data";
    for (int level = 0; level < 8; ++level) {
        path += "/" + name;
        ASSERT_TRUE(walk.enterChild(name, listed[path])) << level;
    }
    EXPECT_EQ(walk.removeFile("1.log", listed[bottom + "/1.log"]).removal, Removal::Removed);
    ASSERT_TRUE(walk.openTop(withSystemSeparators(tree / bottom), listed[bottom]));
    EXPECT_EQ(walk.removeFile("2.log", listed[bottom + "/2.log"]).removal, Removal::Removed);
    EXPECT_FALSE(tree.exists(bottom + "/1.log") || tree.exists(bottom + "/2.log"));
}
