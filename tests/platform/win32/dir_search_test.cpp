#include "platform/dir_search.h"
#include "platform/open_levels.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/wide_text.h"
#include "support/run_on_host.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

using platform::win32::longPath;
using platform::win32::utf8FromWide;
using platform::win32::wideFromUtf8;
using testing_support::runOnHost;

namespace {

using testing_support::TempTree;

// The tree's own folder as a user names it: without a final separator.
std::string folder(const TempTree &tree)
{
    return tree.path().substr(0, tree.path().size() - 1);
}

// Makes an empty file by its UTF-16 name: a name the test spells in UTF-16 itself, not one the
// conversions under test made from UTF-8. The Win32 error, or 0.
DWORD makeFileNamed(const std::wstring &path)
{
    const HANDLE file = CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(file);
    return 0;
}

// Records the search as events: "+name" entering a directory, "-" leaving it, the file's path
// below the searched directory for a file; and each file's entry.
class Recorder : public platform::TreeVisitor
{
public:
    void enterDirectory(std::string_view name, const platform::EntryIdentity &identity) override
    {
        m_path.push_back(std::string(name));
        events.push_back("+" + std::string(name));
        directories.push_back(identity);
    }
    void leaveDirectory() override
    {
        m_path.pop_back();
        events.push_back("-");
    }
    void file(const platform::FileEntry &entry) override
    {
        std::string path;
        for (std::size_t i = 1; i < m_path.size(); ++i)
            path += m_path[i] + "/";
        path += entry.name;
        events.push_back(path);
        files.push_back(path);
        entries.push_back(
            { std::string(entry.name), entry.sizeBytes, entry.modified, entry.identity });
        entries.back().name = path;
    }

    struct Entry
    {
        std::string name;
        std::uint64_t sizeBytes;
        platform::LocalTime modified;
        platform::EntryIdentity identity;
    };
    const Entry &entry(const std::string &path) const
    {
        const auto at = std::find_if(
            entries.begin(), entries.end(), [&](const Entry &e) { return e.name == path; });
        EXPECT_NE(at, entries.end()) << path;
        return *at;
    }

    std::vector<std::string> events;
    std::vector<std::string> files;
    std::vector<Entry> entries;
    std::vector<platform::EntryIdentity> directories;

private:
    std::vector<std::string> m_path;
};

// The events a search must give, from the system's own enumeration (FindFirstFileW) in its own
// order: directories that are no reparse point entered when descending, the others skipped.
void expectedEvents(const std::wstring &directory, const std::string &prefix, bool descend,
    std::vector<std::string> &events)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            events.push_back(prefix + utf8FromWide(name));
        } else if (descend && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            events.push_back("+" + utf8FromWide(name));
            expectedEvents(
                directory + L"\\" + name, prefix + utf8FromWide(name) + "/", true, events);
            events.push_back("-");
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::vector<std::string> expectedEvents(const TempTree &tree, bool descend)
{
    std::vector<std::string> events { "+" };
    expectedEvents(longPath(folder(tree)), "", descend, events);
    events.push_back("-");
    return events;
}

std::set<std::string> asSet(const std::vector<std::string> &files)
{
    return { files.begin(), files.end() };
}

platform::EntryIdentity identityOfPath(const std::wstring &path)
{
    platform::EntryIdentity identity;
    const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(platform::win32::identityOfHandle(handle, identity)) << GetLastError();
    CloseHandle(handle);
    return identity;
}

// A FILETIME of `seconds` since the Unix epoch and `ticks` of 100 nanoseconds.
FILETIME fileTimeOf(std::int64_t seconds, std::int64_t ticks)
{
    const auto value = static_cast<std::uint64_t>(116444736000000000 + seconds * 10000000 + ticks);
    return { static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(value >> 32) };
}

void setWriteTime(const std::wstring &path, const FILETIME &time)
{
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time)) << GetLastError();
    CloseHandle(file);
}

} // namespace

TEST(SearchTree, ReportsFilesAndNestingInTheSystemsOrder)
{
    TempTree tree;
    tree.writeFile("plain.txt", std::string(5, 'x'));
    tree.writeFile("second.log");
    tree.makeDirectory("sub");
    tree.writeFile("sub/inner.txt");
    tree.makeDirectory("sub/deeper");
    tree.writeFile("sub/deeper/deepest.txt");
    tree.makeDirectory("empty");
    tree.writeFile("z-last.txt");

    Recorder flat;
    ASSERT_FALSE(platform::searchTree(folder(tree), false, flat).error);
    EXPECT_EQ(flat.events, expectedEvents(tree, false));
    EXPECT_EQ(
        asSet(flat.files), (std::set<std::string> { "plain.txt", "second.log", "z-last.txt" }));

    Recorder deep;
    ASSERT_FALSE(platform::searchTree(tree.path(), true, deep).error);
    EXPECT_EQ(deep.events, expectedEvents(tree, true));
    EXPECT_EQ(asSet(deep.files),
        (std::set<std::string> {
            "plain.txt", "second.log", "z-last.txt", "sub/inner.txt", "sub/deeper/deepest.txt" }));

    // Forward slashes name the same folder.
    std::string forward = folder(tree);
    std::replace(forward.begin(), forward.end(), '\\', '/');
    Recorder slashes;
    ASSERT_FALSE(platform::searchTree(forward, true, slashes).error);
    EXPECT_EQ(slashes.events, deep.events);
}

TEST(SearchTree, GivesSizesTimesAndTheIdentityTheDeletionChecks)
{
    TempTree tree;
    tree.writeFile("summer.txt", std::string(12345, 'x'));
    tree.writeFile("winter.txt");
    tree.writeFile("before-1970.txt", std::string(1, 'x'));
    // 2021-07-15 10:20:31.1234567 UTC, 2020-01-10 08:00:00 UTC, 1969-12-31 23:59:59.5 UTC.
    setWriteTime(longPath(tree / "summer.txt"), fileTimeOf(1626344431, 1234567));
    setWriteTime(longPath(tree / "winter.txt"), fileTimeOf(1578643200, 0));
    setWriteTime(longPath(tree / "before-1970.txt"), fileTimeOf(-1, 5000000));

    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(folder(tree), true, recorder).error);
    const auto &summer = recorder.entry("summer.txt");
    const auto &winter = recorder.entry("winter.txt");
    const auto &early = recorder.entry("before-1970.txt");
    EXPECT_EQ(summer.sizeBytes, 12345U);
    EXPECT_EQ(winter.sizeBytes, 0U);
    EXPECT_EQ(summer.identity.modifiedSeconds, 1626344431);
    EXPECT_EQ(summer.identity.modifiedNanoseconds, 123456700U);
    EXPECT_EQ(winter.identity.modifiedSeconds, 1578643200);
    EXPECT_EQ(winter.identity.modifiedNanoseconds, 0U);
    EXPECT_EQ(early.identity.modifiedSeconds, -1);
    EXPECT_EQ(early.identity.modifiedNanoseconds, 500000000U);

    // The deletion reads the identity from the file's handle: it must be the search's, field
    // for field, and the volume the directory's.
    for (const auto &entry : recorder.entries) {
        EXPECT_EQ(entry.identity, identityOfPath(longPath(tree / entry.name))) << entry.name;
        EXPECT_EQ(
            entry.identity.type, static_cast<std::uint32_t>(platform::win32::EntryType::File));
        EXPECT_EQ(entry.identity.volume, recorder.directories.front().volume);
    }
    EXPECT_EQ(recorder.directories.front(), identityOfPath(longPath(folder(tree))));
    EXPECT_NE(summer.identity.fileId, winter.identity.fileId);
}

TEST(SearchTree, GivesLocalTimesWithTheOffsetOfTheirOwnDate)
{
    TempTree tree;
    tree.writeFile("summer.txt");
    tree.writeFile("winter.txt");
    setWriteTime(longPath(tree / "summer.txt"), fileTimeOf(1626344431, 1234567));
    setWriteTime(longPath(tree / "winter.txt"), fileTimeOf(1578643200, 0));
    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(folder(tree), false, recorder).error);
    // Berlin's summer and winter offsets, the seconds made even.
    EXPECT_EQ(
        recorder.entry("summer.txt").modified, (platform::LocalTime { 2021, 7, 15, 12, 20, 30 }));
    EXPECT_EQ(
        recorder.entry("winter.txt").modified, (platform::LocalTime { 2020, 1, 10, 9, 0, 0 }));
}

TEST(SearchTree, ReportsNamesBeyondTheAnsiCodePageAsUtf8)
{
    TempTree tree;
    const std::vector<std::pair<std::wstring, std::string>> names {
        { L"Gr\u00fc\u00dfe \u00c4rger.txt",
            "Gr\xc3\xbc\xc3\x9f"
            "e \xc3\x84rger.txt" },
        { L"\u03a9\u03bc\u03ad\u03b3\u03b1.txt", "\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1.txt" },
        { L"\u65e5\u672c\u8a9e.txt", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt" },
        { L"\U0001F600.txt", "\xf0\x9f\x98\x80.txt" },
    };
    tree.makeDirectory("\xc3\x96rdner");
    for (const auto &[wide, utf8] : names)
        ASSERT_EQ(makeFileNamed(longPath(tree / "\xc3\x96rdner") + L"\\" + wide), 0U);

    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(folder(tree), true, recorder).error);
    std::set<std::string> expected;
    for (const auto &name : names)
        expected.insert("\xc3\x96rdner/" + name.second);
    EXPECT_EQ(asSet(recorder.files), expected);
    // The search can also start inside a folder of such a name.
    Recorder inside;
    ASSERT_FALSE(platform::searchTree(tree / "\xc3\x96rdner", false, inside).error);
    EXPECT_EQ(inside.files.size(), names.size());
}

TEST(SearchTree, CarriesAnUnpairedSurrogateAsWtf8)
{
    TempTree tree;
    const std::wstring lone = L"lone\xD800.txt";
    const DWORD refused = makeFileNamed(longPath(folder(tree)) + L"\\" + lone);
    if (refused != 0)
        GTEST_SKIP() << "The system refuses a name with an unpaired surrogate: error " << refused;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((longPath(folder(tree)) + L"\\*.txt").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    if (std::wstring(found.cFileName) != lone)
        GTEST_SKIP() << "The system keeps the name, but not its unpaired surrogate.";

    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(folder(tree), false, recorder).error);
    ASSERT_EQ(recorder.files, (std::vector<std::string> { "lone\xed\xa0\x80.txt" }));
    // The name converts back to the very file, as the deletion needs it.
    EXPECT_EQ(recorder.entries.front().identity,
        identityOfPath(longPath(folder(tree)) + L"\\" + wideFromUtf8(recorder.files.front())));
}

TEST(SearchTree, SearchesPathsLongerThan260Characters)
{
    TempTree tree;
    const std::string level(60, 'l');
    std::string deep;
    for (int i = 0; i < 5; ++i) {
        deep += (deep.empty() ? "" : "/") + level + std::to_string(i);
        tree.makeDirectory(deep);
    }
    tree.writeFile(deep + "/far.txt", std::string(7, 'x'));
    ASSERT_GT((tree / deep).size(), 300U);

    Recorder fromTop;
    ASSERT_FALSE(platform::searchTree(folder(tree), true, fromTop).error);
    EXPECT_EQ(fromTop.files, (std::vector<std::string> { deep + "/far.txt" }));
    EXPECT_EQ(fromTop.entries.front().sizeBytes, 7U);

    Recorder fromDeep;
    ASSERT_FALSE(
        platform::searchTree(testing_support::withSystemSeparators(tree / deep), true, fromDeep)
            .error);
    EXPECT_EQ(fromDeep.files, (std::vector<std::string> { "far.txt" }));
}

namespace {

// Makes `link` a junction to the directory `target`, as mklink /J does; the Win32 error, or 0.
DWORD makeJunction(const std::wstring &link, const std::wstring &target)
{
    if (!CreateDirectoryW(link.c_str(), nullptr))
        return GetLastError();
    // The target in the NT form the reparse point holds, and as it is shown.
    const std::wstring substitute = L"\\??\\" + target.substr(4);
    const std::wstring print = target.substr(4);
    const auto substituteBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    const auto printBytes = static_cast<WORD>(print.size() * sizeof(wchar_t));
    // The mount point's reparse data: tag, length, reserved, then the names' offsets and lengths
    // and both names, each ending in NUL.
    std::vector<unsigned char> data(16 + substituteBytes + printBytes + 4);
    const auto put16 = [&](std::size_t at, WORD value) { std::memcpy(&data[at], &value, 2); };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(&data[0], &tag, 4);
    put16(4, static_cast<WORD>(data.size() - 8));
    put16(8, 0);
    put16(10, substituteBytes);
    put16(12, static_cast<WORD>(substituteBytes + 2));
    put16(14, printBytes);
    std::memcpy(&data[16], substitute.data(), substituteBytes);
    std::memcpy(&data[16 + substituteBytes + 2], print.data(), printBytes);
    const HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD returned = 0;
    const bool set = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, data.data(),
        static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
    const DWORD error = set ? 0 : GetLastError();
    CloseHandle(handle);
    if (error != 0)
        RemoveDirectoryW(link.c_str());
    return error;
}

// Makes `link` a symbolic link to the directory `target`: through the system where it can, else,
// under Wine, whose CreateSymbolicLinkW reports success and makes nothing, as a link of the host
// (ln -s), which Wine shows as a directory with a reparse point. Whether a link exists after.
bool makeDirectoryLink(const std::wstring &link, const std::wstring &target)
{
    CreateSymbolicLinkW(link.c_str(), target.c_str(),
        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    return runOnHost("/bin/ln", { L"-s", target, link },
        [&] { return GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

} // namespace

TEST(SearchTree, NeverFollowsDirectoryLinksOrJunctions)
{
    // The tree goes first, while its links still lead somewhere: Wine does not list a dangling
    // one, which would keep the tree from being removed.
    TempTree outside;
    TempTree tree;
    outside.writeFile("secret.txt");
    tree.makeDirectory("real");
    tree.writeFile("real/inside.txt");
    tree.makeDirectory("sub");

    const bool linked
        = makeDirectoryLink(longPath(tree / "sub/link-out"), longPath(folder(outside)))
        && makeDirectoryLink(longPath(tree / "sub/link-up"), longPath(folder(tree)));
    const DWORD junctionError
        = makeJunction(longPath(tree / "sub/junction-out"), longPath(folder(outside)));
    if (junctionError == 0) {
        EXPECT_EQ(makeJunction(longPath(tree / "sub/junction-in"), longPath(tree / "real")), 0U);
    }
    if (!linked && junctionError != 0) {
        GTEST_SKIP() << "The system makes neither directory links nor junctions (error "
                     << junctionError << ").";
    }
    if (linked) {
        const DWORD attributes = GetFileAttributesW(longPath(tree / "sub/link-up").c_str());
        EXPECT_EQ(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    }

    Recorder recorder;
    ASSERT_FALSE(platform::searchTree(folder(tree), true, recorder).error);
    // Neither entered nor reported as files: only what lies in the tree itself, once.
    EXPECT_EQ(recorder.files, (std::vector<std::string> { "real/inside.txt" }));
    EXPECT_EQ(recorder.events, expectedEvents(tree, true));
    EXPECT_EQ(recorder.directories.size(), 3U);

    // The searched folder itself is followed when it is a link.
    if (linked) {
        Recorder throughLink;
        const platform::SearchOutcome outcome = platform::searchTree(
            testing_support::withSystemSeparators(tree / "sub/link-out"), true, throughLink);
        ASSERT_FALSE(outcome.error) << outcome.error.code;
        EXPECT_EQ(throughLink.files, (std::vector<std::string> { "secret.txt" }));
    } else {
        GTEST_SKIP() << "Junctions checked; the system makes no directory links.";
    }
    if (junctionError != 0)
        GTEST_SKIP() << "Directory links checked; the system makes no junctions: error "
                     << junctionError;
}

namespace {

// Counts the process's handles while the search is at its deepest, and can run something there.
class DeepRecorder : public Recorder
{
public:
    explicit DeepRecorder(std::size_t deepest)
        : m_deepest(deepest)
    {
    }
    void enterDirectory(std::string_view name, const platform::EntryIdentity &identity) override
    {
        Recorder::enterDirectory(name, identity);
        if (++m_depth != m_deepest)
            return;
        GetProcessHandleCount(GetCurrentProcess(), &handlesAtDeepest);
        if (atDeepest)
            atDeepest();
    }
    void leaveDirectory() override
    {
        Recorder::leaveDirectory();
        --m_depth;
    }

    DWORD handlesAtDeepest = 0;
    std::function<void()> atDeepest;

private:
    std::size_t m_deepest;
    std::size_t m_depth = 0;
};

// A chain of `levels` folders, each with a file and three folders holding a file each; the chain
// goes on in the folder the system lists first, so that the search comes back to levels it closed
// to go deeper with subdirectories left to open there. Returns the chain's folders.
std::vector<std::string> makeChain(const TempTree &tree, int levels)
{
    std::vector<std::string> chain;
    std::string level;
    for (int i = 0; i < levels; ++i) {
        const std::string prefix = level.empty() ? "" : level + "/";
        tree.writeFile(prefix + "file.txt");
        for (const char *side : { "a", "b", "c" }) {
            tree.makeDirectory(prefix + side);
            tree.writeFile(prefix + side + "/beside.txt");
        }
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW(longPath(tree / (level + "/*")).c_str(), &found);
        std::wstring first;
        do {
            const std::wstring name = found.cFileName;
            if (first.empty() && name.size() == 1 && name != L".")
                first = name;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        level = prefix + utf8FromWide(first);
        chain.push_back(level);
    }
    return chain;
}

} // namespace

TEST(SearchTree, ReopensClosedLevelsByPathInTheSystemsOrderWithFewHandles)
{
    TempTree tree;
    const std::size_t keptOpen = platform::directoriesKeptOpen();
    const std::size_t levels = keptOpen + 22;
    makeChain(tree, static_cast<int>(levels));
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);

    DeepRecorder recorder(levels + 1);
    ASSERT_FALSE(platform::searchTree(folder(tree), true, recorder).error);
    EXPECT_EQ(recorder.files.size(), levels * 4U);
    EXPECT_EQ(recorder.events, expectedEvents(tree, true));
    // A handle per level would be `levels` + 1 more.
    EXPECT_LT(recorder.handlesAtDeepest, handlesBefore + keptOpen + 7);
}

TEST(SearchTree, DropsTheRestOfALevelMovedWhileItWasClosed)
{
    TempTree tree;
    // Level `closed`, shut while the search is deeper, is moved away and another folder of its
    // name put in its place: the search must not go on in the impostor.
    const std::size_t closed = platform::directoriesKeptOpen() + 2;
    const std::vector<std::string> chain = makeChain(tree, static_cast<int>(closed + 10));
    const std::string level = chain[closed - 1];
    const std::string moved = chain[closed - 2] + "/moved";
    bool wasMoved = false;
    DWORD moveError = 0;
    DeepRecorder recorder(closed + 11);
    recorder.atDeepest = [&] {
        wasMoved = MoveFileW(longPath(tree / level).c_str(), longPath(tree / moved).c_str());
        moveError = wasMoved ? 0 : GetLastError();
        if (wasMoved) {
            tree.makeDirectory(level);
            for (const char *side : { "/a", "/b", "/c" }) {
                tree.makeDirectory(level + side);
                tree.writeFile(level + side + "/impostor.txt");
            }
        }
    };
    ASSERT_FALSE(platform::searchTree(folder(tree), true, recorder).error);
    if (!wasMoved)
        GTEST_SKIP() << "The system does not move a folder the search is inside: error "
                     << moveError;
    for (const std::string &file : recorder.files)
        EXPECT_EQ(file.find("impostor"), std::string::npos) << file;
    // The levels above the moved one are searched whole: the folders beside the chain hold the
    // files counted here, from the root down to the level above the moved one.
    const auto above = static_cast<std::ptrdiff_t>(closed - 1);
    EXPECT_EQ(std::count_if(recorder.files.begin(), recorder.files.end(),
                  [&](const std::string &file) {
                      return file.ends_with("beside.txt")
                          && std::count(file.begin(), file.end(), '/') <= above;
                  }),
        above * 3);
}
