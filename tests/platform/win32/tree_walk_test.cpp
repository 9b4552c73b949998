#include "platform/tree_walk.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/wide_text.h"

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

// A fresh folder in the system's temporary folder for one test, made and removed with Win32
// calls in the long path form, so that paths of any length work; paths below it are given with
// "/".
class Tree
{
public:
    Tree()
    {
        wchar_t temp[MAX_PATH + 1] {};
        GetTempPathW(MAX_PATH + 1, temp);
        static int s_count = 0;
        m_root = platform::win32::utf8FromWide(temp) + "ablage-walk-"
            + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++s_count);
        EXPECT_TRUE(CreateDirectoryW(longPath(m_root).c_str(), nullptr));
    }
    ~Tree() { removeAll(longPath(m_root)); }
    Tree(const Tree &) = delete;
    Tree &operator=(const Tree &) = delete;

    std::string operator/(const std::string &relative) const
    {
        std::string path = m_root + "\\" + relative;
        for (char &c : path) {
            if (c == '/')
                c = '\\';
        }
        return path;
    }

    // Makes the folder `relative` and the folders above it.
    void makeDirectory(const std::string &relative) const
    {
        makeParents(relative);
        EXPECT_TRUE(CreateDirectoryW(longPath(*this / relative).c_str(), nullptr)) << relative;
    }

    // Writes the file `relative`, making the folders above it.
    void writeFile(const std::string &relative, const std::string &bytes = "x") const
    {
        makeParents(relative);
        const HANDLE file = CreateFileW(longPath(*this / relative).c_str(), GENERIC_WRITE, 0,
            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << relative;
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
    }

    bool exists(const std::string &relative) const
    {
        return GetFileAttributesW(longPath(*this / relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool move(const std::string &from, const std::string &to) const
    {
        return MoveFileW(longPath(*this / from).c_str(), longPath(*this / to).c_str());
    }

    // The identity the search records for the entry, looked at without following a link.
    platform::EntryIdentity identityOf(const std::string &relative) const
    {
        const HANDLE handle = CreateFileW(longPath(*this / relative).c_str(), FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        platform::EntryIdentity identity;
        EXPECT_NE(handle, INVALID_HANDLE_VALUE) << relative;
        EXPECT_TRUE(platform::win32::identityOfHandle(handle, identity)) << relative;
        CloseHandle(handle);
        return identity;
    }

private:
    void makeParents(const std::string &relative) const
    {
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1))
            CreateDirectoryW(longPath(*this / relative.substr(0, slash)).c_str(), nullptr);
    }

    static void removeAll(const std::wstring &path)
    {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            DeleteFileW(path.c_str());
            return;
        }
        // A link or a junction is removed itself, never what it leads to.
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            WIN32_FIND_DATAW found {};
            const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do {
                    const std::wstring name = found.cFileName;
                    if (name != L"." && name != L"..")
                        removeAll(path + L"\\" + name);
                } while (FindNextFileW(search, &found));
                FindClose(search);
            }
        }
        RemoveDirectoryW(path.c_str());
    }

    std::string m_root;
};

enum class Link { Symbolic, Junction };

// Makes `link` (a path below `tree`) a directory link or a junction to the folder `target`.
// Returns why it could not, empty when it could.
std::string makeLink(
    const Tree &tree, Link kind, const std::string &link, const std::string &target)
{
    const std::wstring linkPath = longPath(tree / link);
    const std::wstring targetPath = longPath(tree / target);
    if (kind == Link::Symbolic) {
        // Wine 8 reports success and makes nothing: the link is looked for afterwards.
        if (!CreateSymbolicLinkW(linkPath.c_str(), targetPath.c_str(),
                SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
            return "CreateSymbolicLinkW failed with " + std::to_string(GetLastError());
    } else {
        // A junction is an empty folder with a mount point's reparse data: the target as the
        // native path ("\\??\C:\…") and as the name shown.
        if (!CreateDirectoryW(linkPath.c_str(), nullptr))
            return "CreateDirectoryW failed with " + std::to_string(GetLastError());
        const std::wstring substitute = L"\\??\\" + targetPath.substr(4);
        const std::wstring print = targetPath.substr(4);
        std::vector<WORD> data(8 + substitute.size() + print.size() + 2);
        const auto bytes = [](std::size_t characters) {
            return static_cast<WORD>(characters * sizeof(wchar_t));
        };
        data[4] = 0; // the substitute name's offset and length, then the printed name's
        data[5] = bytes(substitute.size());
        data[6] = bytes(substitute.size() + 1);
        data[7] = bytes(print.size());
        std::copy(substitute.begin(), substitute.end(), data.begin() + 8);
        std::copy(print.begin(), print.end(), data.begin() + 9 + substitute.size());
        const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
        std::memcpy(data.data(), &tag, sizeof tag);
        data[2] = static_cast<WORD>(data.size() * sizeof(WORD) - 8); // after the header
        const HANDLE folder = CreateFileW(linkPath.c_str(), GENERIC_WRITE, 0, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        DWORD returned = 0;
        const BOOL set = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, data.data(),
            static_cast<DWORD>(data.size() * sizeof(WORD)), nullptr, 0, &returned, nullptr);
        const DWORD error = GetLastError();
        CloseHandle(folder);
        if (!set) {
            RemoveDirectoryW(linkPath.c_str());
            return "FSCTL_SET_REPARSE_POINT failed with " + std::to_string(error);
        }
    }
    const DWORD attributes = GetFileAttributesW(linkPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return "the call reported success, but no link is there";
    return {};
}

// "data/d/d/…/d" with `levels` folders below "data".
std::string chain(int levels)
{
    std::string path = "data";
    for (int level = 0; level < levels; ++level)
        path += "/d";
    return path;
}

// Gives `relative` a last-write time well after now, as a program writing to it would; false
// when the system refused.
bool setWrittenLater(const Tree &tree, const std::string &relative)
{
    FILETIME later {};
    GetSystemTimeAsFileTime(&later);
    later.dwHighDateTime += 1;
    const HANDLE file = CreateFileW(longPath(tree / relative).c_str(), FILE_WRITE_ATTRIBUTES, 0,
        nullptr, OPEN_EXISTING, 0, nullptr);
    const bool set = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &later);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return set;
}

} // namespace

TEST(TreeWalkWin32, DeletesListedFilesLevelByLevel)
{
    Tree tree;
    tree.writeFile("data/a.log");
    tree.makeDirectory("data/sub/deeper");
    tree.writeFile("data/sub/b.log");
    tree.writeFile("data/sub/deeper/c.log");
    tree.writeFile("data/sub/deeper/keep.log");
    const platform::EntryIdentity a = tree.identityOf("data/a.log");
    const platform::EntryIdentity b = tree.identityOf("data/sub/b.log");
    const platform::EntryIdentity c = tree.identityOf("data/sub/deeper/c.log");

    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", tree.identityOf("data")));
    EXPECT_EQ(walk.removeFile("a.log", a).removal, Removal::Removed);
    // A folder that is not the one listed is not entered, and the walk stays where it is.
    EXPECT_FALSE(walk.enterChild("sub", tree.identityOf("data/sub/deeper")));
    EXPECT_FALSE(walk.enterChild("none", tree.identityOf("data/sub")));
    ASSERT_TRUE(walk.enterChild("sub", tree.identityOf("data/sub")));
    EXPECT_EQ(walk.removeFile("b.log", b).removal, Removal::Removed);
    ASSERT_TRUE(walk.enterChild("deeper", tree.identityOf("data/sub/deeper")));
    EXPECT_EQ(walk.removeFile("c.log", c).removal, Removal::Removed);
    EXPECT_EQ(walk.removeFile("c.log", c).removal, Removal::Gone);
    ASSERT_TRUE(walk.enterParent(tree.identityOf("data/sub")));
    ASSERT_TRUE(walk.enterParent(tree.identityOf("data")));
    EXPECT_FALSE(walk.enterParent(tree.identityOf("data")));
    EXPECT_FALSE(walk.hasCurrent());

    EXPECT_FALSE(tree.exists("data/a.log") || tree.exists("data/sub/b.log")
        || tree.exists("data/sub/deeper/c.log"));
    EXPECT_TRUE(tree.exists("data/sub/deeper/keep.log"));
}

TEST(TreeWalkWin32, LeavesWhatItMustNotDelete)
{
    Tree tree;
    for (const char *name :
        { "readonly.log", "replaced.log", "rewritten.log", "folder.log", "open.log", "sub" })
        tree.writeFile(std::string("data/") + name);
    // Read-only, as listed: the system refuses the deletion, and the attribute is left as it is.
    ASSERT_TRUE(
        SetFileAttributesW(longPath(tree / "data/readonly.log").c_str(), FILE_ATTRIBUTE_READONLY));
    std::vector<platform::EntryIdentity> listed;
    for (const char *name :
        { "readonly.log", "replaced.log", "rewritten.log", "folder.log", "open.log", "sub" })
        listed.push_back(tree.identityOf(std::string("data/") + name));

    // Another file under the listed name, a file written since the listing, a folder in a file's
    // place.
    ASSERT_TRUE(DeleteFileW(longPath(tree / "data/replaced.log").c_str()));
    tree.writeFile("data/replaced.log");
    ASSERT_TRUE(setWrittenLater(tree, "data/rewritten.log"));
    ASSERT_TRUE(DeleteFileW(longPath(tree / "data/folder.log").c_str()));
    tree.makeDirectory("data/folder.log");
    // Held open by another program that does not share its deletion.
    const HANDLE open = CreateFileW(longPath(tree / "data/open.log").c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);

    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", tree.identityOf("data")));
    const platform::RemoveResult readOnly = walk.removeFile("readonly.log", listed[0]);
    EXPECT_EQ(readOnly.removal, Removal::Refused);
    EXPECT_EQ(readOnly.error, (platform::SystemError { platform::ErrorKind::AccessDenied, 5 }));
    EXPECT_EQ(walk.removeFile("replaced.log", listed[1]).removal, Removal::Changed);
    EXPECT_EQ(walk.removeFile("rewritten.log", listed[2]).removal, Removal::Changed);
    EXPECT_EQ(walk.removeFile("folder.log", listed[3]).removal, Removal::Changed);
    const platform::RemoveResult inUse = walk.removeFile("open.log", listed[4]);
    EXPECT_EQ(inUse.removal, Removal::Refused);
    EXPECT_EQ(inUse.error, (platform::SystemError { platform::ErrorKind::InUse, 32 }));
    // A name that would reach another entry than one of the current folder: a stream of a file,
    // a path.
    EXPECT_NE(walk.removeFile("sub:stream", listed[5]).removal, Removal::Removed);
    EXPECT_NE(walk.removeFile("..\\data\\sub", listed[5]).removal, Removal::Removed);
    CloseHandle(open);

    for (const char *name :
        { "readonly.log", "replaced.log", "rewritten.log", "folder.log", "open.log", "sub" })
        EXPECT_TRUE(tree.exists(std::string("data/") + name)) << name;
    EXPECT_EQ(
        GetFileAttributesW(longPath(tree / "data/readonly.log").c_str()) & FILE_ATTRIBUTE_READONLY,
        static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(walk.hasCurrent());
}

enum class Left { Nothing, NewFolder, SymbolicLink, Junction };

// The listed folder "sub" is moved out of the tree while one walk is in it and another is about
// to enter it, and its place is left as `left` says; a link or a junction leads to its new place.
// The walk in it notices within sixteen removals and deletes nothing more; the other does not
// enter it. Returns why the link or junction could not be made, empty when the case was tried.
std::string moveWhileWalking(Left left)
{
    constexpr int kFiles = 40;
    Tree tree;
    for (int i = 0; i < kFiles; ++i)
        tree.writeFile("data/sub/" + std::to_string(i) + ".log");
    tree.makeDirectory("outside");
    const platform::EntryIdentity sub = tree.identityOf("data/sub");
    std::vector<platform::EntryIdentity> files;
    for (int i = 0; i < kFiles; ++i)
        files.push_back(tree.identityOf("data/sub/" + std::to_string(i) + ".log"));
    platform::TreeWalk inside;
    platform::TreeWalk above;
    if (!inside.openTop(tree / "data", tree.identityOf("data")) || !inside.enterChild("sub", sub)
        || !above.openTop(tree / "data", tree.identityOf("data"))
        || !tree.move("data/sub", "outside/sub")) {
        ADD_FAILURE() << "the walks could not start";
        return {};
    }
    if (left == Left::NewFolder)
        tree.makeDirectory("data/sub");
    const std::string notMade = left == Left::SymbolicLink
        ? makeLink(tree, Link::Symbolic, "data/sub", "outside/sub")
        : left == Left::Junction ? makeLink(tree, Link::Junction, "data/sub", "outside/sub")
                                 : std::string();
    if (!notMade.empty())
        return notMade;

    EXPECT_FALSE(above.enterChild("sub", sub));
    EXPECT_TRUE(above.hasCurrent());
    int removed = 0;
    for (int i = 0; i < kFiles; ++i) {
        const Removal removal = inside.removeFile(std::to_string(i) + ".log", files[i]).removal;
        if (removal == Removal::Removed) {
            EXPECT_EQ(removed, i) << "a removal after the move was noticed";
            ++removed;
        } else {
            EXPECT_EQ(removal, Removal::DirectoryChanged);
        }
    }
    EXPECT_LE(removed, 16);
    EXPECT_FALSE(inside.hasCurrent());
    EXPECT_TRUE(tree.exists("outside/sub/39.log"));
    return {};
}

TEST(TreeWalkWin32, LeavesAFolderMovedOutOfTheTree)
{
    for (const Left left : { Left::Nothing, Left::NewFolder }) {
        SCOPED_TRACE(static_cast<int>(left));
        moveWhileWalking(left);
    }
}

TEST(TreeWalkWin32, NeverFollowsALinkOrJunctionInAFoldersPlace)
{
    const std::string link = moveWhileWalking(Left::SymbolicLink);
    const std::string junction = moveWhileWalking(Left::Junction);
    if (!link.empty() || !junction.empty())
        GTEST_SKIP() << "Not made on this system, so not tried: directory link: "
                     << (link.empty() ? "tried" : link)
                     << "; junction: " << (junction.empty() ? "tried" : junction) << ".";
}

TEST(TreeWalkWin32, ReachesPathsBeyondTheOldLengthLimit)
{
    // Eight folders of 40 characters: the bottom's path is far longer than 260 characters. The
    // walk reaches it from the top and as a top of its own.
    Tree tree;
    const std::string name(40, 'n');
    std::string bottom = "data";
    for (int level = 0; level < 8; ++level)
        bottom += "/" + name;
    tree.writeFile(bottom + "/1.log");
    tree.writeFile(bottom + "/2.log");
    ASSERT_GT((tree / bottom).size(), 360U);

    platform::TreeWalk walk;
    ASSERT_TRUE(walk.openTop(tree / "data", tree.identityOf("data")));
    std::string path = "data";
    for (int level = 0; level < 8; ++level) {
        path += "/" + name;
        ASSERT_TRUE(walk.enterChild(name, tree.identityOf(path))) << level;
    }
    EXPECT_EQ(
        walk.removeFile("1.log", tree.identityOf(bottom + "/1.log")).removal, Removal::Removed);
    ASSERT_TRUE(walk.openTop(tree / bottom, tree.identityOf(bottom)));
    EXPECT_EQ(
        walk.removeFile("2.log", tree.identityOf(bottom + "/2.log")).removal, Removal::Removed);
    EXPECT_FALSE(tree.exists(bottom + "/1.log") || tree.exists(bottom + "/2.log"));
}

TEST(TreeWalkWin32, ClimbsBackAboveTheFoldersKeptOpen)
{
    // Many walks at once keep only three folders open each: the folders above are opened again
    // from the top by their names on the way up, each checked against the listing.
    constexpr int kLevels = 12;
    Tree tree;
    tree.writeFile(chain(kLevels) + "/bottom.log");
    tree.writeFile(chain(1) + "/top.log");
    platform::TreeWalk walk(1000);
    ASSERT_TRUE(walk.openTop(tree / "data", tree.identityOf("data")));
    for (int level = 1; level <= kLevels; ++level)
        ASSERT_TRUE(walk.enterChild("d", tree.identityOf(chain(level)))) << level;
    EXPECT_EQ(
        walk.removeFile("bottom.log", tree.identityOf(chain(kLevels) + "/bottom.log")).removal,
        Removal::Removed);
    for (int level = kLevels - 1; level >= 1; --level)
        ASSERT_TRUE(walk.enterParent(tree.identityOf(chain(level)))) << level;
    EXPECT_EQ(walk.removeFile("top.log", tree.identityOf(chain(1) + "/top.log")).removal,
        Removal::Removed);

    // A folder found again that is not the one listed ends the walk.
    for (int level = 2; level <= kLevels; ++level)
        ASSERT_TRUE(walk.enterChild("d", tree.identityOf(chain(level)))) << level;
    for (int level = kLevels - 1; level > 4; --level)
        ASSERT_TRUE(walk.enterParent(tree.identityOf(chain(level)))) << level;
    EXPECT_FALSE(walk.enterParent(tree.identityOf(chain(3))));
    EXPECT_FALSE(walk.hasCurrent());
}

TEST(TreeWalkWin32, StopsWhenTheSelectedFolderItselfIsMovedAway)
{
    // The selected folder, given with or without a final separator, moves away while the walk
    // deletes in it or below it, and a new folder or a junction to its new place takes its name:
    // within sixteen removals the walk notices and deletes nothing more.
    struct Case
    {
        const char *top;
        const char *sub;
        Left then;
    };
    const Case cases[] = {
        { "data", "", Left::NewFolder },
        { "data/", "sub/", Left::NewFolder },
        { "data/", "", Left::Junction },
    };
    constexpr int kFiles = 40;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.top) + " " + c.sub);
        Tree tree;
        const std::string dir = std::string("data/") + c.sub;
        std::vector<platform::EntryIdentity> files;
        for (int i = 0; i < kFiles; ++i) {
            tree.writeFile(dir + std::to_string(i) + ".log");
            files.push_back(tree.identityOf(dir + std::to_string(i) + ".log"));
        }
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(tree / c.top, tree.identityOf("data")));
        if (*c.sub) {
            ASSERT_TRUE(walk.enterChild("sub", tree.identityOf("data/sub")));
        }
        ASSERT_TRUE(tree.move("data", "saved"));
        if (c.then == Left::NewFolder)
            tree.makeDirectory("data");
        if (c.then == Left::Junction && !makeLink(tree, Link::Junction, "data", "saved").empty())
            continue; // no junction made on this system

        int removed = 0;
        while (removed < kFiles
            && walk.removeFile(std::to_string(removed) + ".log", files[removed]).removal
                == Removal::Removed)
            ++removed;
        EXPECT_LE(removed, 16);
        EXPECT_FALSE(walk.hasCurrent());
    }
}
TEST(TreeWalkWin32, RemovesEveryNameOfAHardLinkedFileButNoneRewritten)
{
    // Three names of one file in two folders: removing one changes the change time under the
    // others. A name rewritten before its turn stays.
    for (const bool rewrite : { false, true }) {
        Tree tree;
        tree.writeFile("data/a/1.log");
        tree.makeDirectory("data/b");
        for (const char *name : { "data/a/2.log", "data/b/3.log" }) {
            if (!CreateHardLinkW(longPath(tree / name).c_str(),
                    longPath(tree / "data/a/1.log").c_str(), nullptr))
                GTEST_SKIP() << "no hard links here: error " << GetLastError();
        }
        const platform::EntryIdentity listed = tree.identityOf("data/a/1.log");
        platform::TreeWalk walk;
        ASSERT_TRUE(walk.openTop(tree / "data", tree.identityOf("data")));
        ASSERT_TRUE(walk.enterChild("a", tree.identityOf("data/a")));
        EXPECT_EQ(walk.removeFile("1.log", listed).removal, Removal::Removed);
        EXPECT_EQ(walk.removeFile("2.log", listed).removal, Removal::Removed);
        if (rewrite) {
            ASSERT_TRUE(setWrittenLater(tree, "data/b/3.log"));
        }
        ASSERT_TRUE(walk.enterParent(tree.identityOf("data")));
        ASSERT_TRUE(walk.enterChild("b", tree.identityOf("data/b")));
        EXPECT_EQ(walk.removeFile("3.log", listed).removal,
            rewrite ? Removal::Changed : Removal::Removed);
    }
}
