#include "deletion_testing.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

#ifdef _WIN32
#include "platform/win32/wide_text.h"

#include <windows.h>
#else
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

// What a run deletes and what it leaves, and the reason it logs for each file that stayed.

using namespace deletion_testing;
using testing_support::withSystemSeparators;

TEST(DeleteListed, LogsEveryAttemptAndDeletesOnlyWhatWasListed)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows names hold no line break and no bytes that are not UTF-8, and Wine 8 "
                    "makes no links";
#endif
    TempTree tree;
    writeOld(tree,
        { "data/gone.log", "data/-- Keine Dateien gefunden --", "data/rewritten.log",
            "data/replaced.log", "data/line\nbreak.log", "data/bad-\xff\xfe.log",
            "data/sub/inside.log", "outside/precious.log" });
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log", true);
    ASSERT_EQ(state.Table.fileCount(), 7u);
    ASSERT_FALSE(state.Table.isEmptyListing());

    // Between listing and deletion: one file vanishes, one is rewritten, one is replaced by a new
    // file of the same name and time, and the subdirectory becomes a link to an outside folder.
    std::remove((tree / "data/gone.log").c_str());
    tree.writeFile("data/rewritten.log", "new content");
    std::remove((tree / "data/replaced.log").c_str());
    writeOld(tree, { "data/replaced.log" });
    std::rename((tree / "data/sub").c_str(), (tree / "moved-sub").c_str());
    tree.makeSymlink(tree / "outside", "data/sub");
    writeOld(tree, { "outside/inside.log" });

    const core::DeletionReport report = core::DeleteListed(state);
    EXPECT_FALSE(tree.exists("data/-- Keine Dateien gefunden --"));
    EXPECT_FALSE(tree.exists("data/line\nbreak.log"));
    EXPECT_FALSE(tree.exists("data/bad-\xff\xfe.log"));
    EXPECT_TRUE(tree.exists("data/rewritten.log"));
    EXPECT_TRUE(tree.exists("data/replaced.log"));
    EXPECT_TRUE(tree.exists("outside/inside.log"));
    EXPECT_TRUE(tree.exists("outside/precious.log"));
    EXPECT_TRUE(tree.exists("moved-sub/inside.log"));

    // Every listed row has its line, deleted or not, and a file that stayed says why; a line
    // break in a name cannot forge a line, and other bytes are kept as they are. A file gone
    // before its attempt is not there any more, as asked: it counts as deleted.
    const std::map<std::string, std::pair<core::Outcome, std::string>> stayed = {
        { "rewritten.log", { core::Outcome::Changed, "seit der Auflistung geändert" } },
        { "replaced.log", { core::Outcome::Changed, "seit der Auflistung geändert" } },
        { "inside.log", { core::Outcome::DirectoryChanged, "Verzeichnis geändert" } },
    };
    std::vector<std::string> logged;
    std::size_t stayedSeen = 0;
    for (std::size_t row = 0; row < state.Table.fileCount(); ++row) {
        std::string path = state.Table.path(row);
        platform::maskControlBytes(path);
        const auto it = stayed.find(state.Table.cell(core::Column::Name, row));
        if (it == stayed.end()) {
            logged.push_back(path);
            continue;
        }
        logged.push_back(stayedLine(path, it->second.second));
        ASSERT_LT(stayedSeen, report.stayed.size());
        EXPECT_EQ(report.stayed[stayedSeen].row, row);
        EXPECT_EQ(report.stayed[stayedSeen].outcome, it->second.first) << path;
        ++stayedSeen;
    }
    EXPECT_EQ(report.stayed.size(), 3u);
    EXPECT_EQ(report.deleted, 4u);
    EXPECT_EQ(withoutStamps(tree.readLog("protokoll.log")), expectedRun(logged, "STAMP"));
    EXPECT_NE(tree.readLog("protokoll.log").find("data/bad-\xff\xfe.log\r\n"), std::string::npos);
}

namespace {

#ifdef _WIN32
// Sets or clears the read-only attribute, which keeps Windows from deleting a file.
bool setImmutable(const std::string &path, bool on)
{
    const std::wstring wide = platform::win32::longPath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD readOnly = FILE_ATTRIBUTE_READONLY;
    return SetFileAttributesW(wide.c_str(), on ? attributes | readOnly : attributes & ~readOnly);
}
#else
// Sets or clears the immutable flag, which keeps even root from deleting a file. False where the
// file system or the user's rights do not allow it.
bool setImmutable(const std::string &path, bool on)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
}
#endif

} // namespace

TEST(DeleteListed, LogsWhyTheSystemRefusedADeletion)
{
    TempTree tree;
    writeOld(tree, { "data/fest.log", "data/frei.log" });
    if (!setImmutable(tree / "data/fest.log", true))
        GTEST_SKIP() << "the file system here cannot make a file immutable";
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log");
    const core::DeletionReport report = core::DeleteListed(state);
    setImmutable(tree / "data/fest.log", false);

    EXPECT_TRUE(tree.exists("data/fest.log"));
    EXPECT_FALSE(tree.exists("data/frei.log"));
    ASSERT_EQ(report.stayed.size(), 1u);
    EXPECT_EQ(report.stayed[0].outcome, core::Outcome::Refused);
#ifdef _WIN32
    EXPECT_EQ(report.stayed[0].error, platform::systemError(ERROR_ACCESS_DENIED));
#else
    EXPECT_EQ(report.stayed[0].error, platform::systemError(EPERM));
#endif
    EXPECT_EQ(report.deleted, 1u);
    std::vector<std::string> expected;
    for (const std::string &path : listedPaths(state))
        expected.push_back(path == withSystemSeparators(tree / "data/fest.log")
                ? stayedLine(path, "Dateizugriff verweigert")
                : path);
    EXPECT_EQ(loggedFileLines(tree), expected);
}

TEST(DeleteListed, LogsAFileInAFolderWithoutWritePermissionAsNotDeleted)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows permissions are no mode bits: a read-only folder's files can go";
#else
    if (geteuid() == 0)
        GTEST_SKIP() << "root deletes in a folder without write permission anyway";
    TempTree tree;
    writeOld(tree, { "data/alt.log" });
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log");
    chmod((tree / "data").c_str(), 0555);
    const core::DeletionReport report = core::DeleteListed(state);
    chmod((tree / "data").c_str(), 0755);

    EXPECT_TRUE(tree.exists("data/alt.log"));
    ASSERT_EQ(report.stayed.size(), 1u);
    EXPECT_EQ(report.stayed[0].outcome, core::Outcome::Refused);
    EXPECT_EQ(loggedFileLines(tree),
        std::vector<std::string> { stayedLine(tree / "data/alt.log", "Dateizugriff verweigert") });
#endif
}

TEST(DeleteListed, KeepsAnEntryPutInAFilesPlaceWithItsInodeAndTime)
{
    // A file system that hands a freed inode to the next new entry (ext4 does) gives each
    // newcomer the listed file's device and inode; its time is then set to the listed one. Only
    // its status-change time, or its type, tells it from the file that was listed.
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no pipes in the file system, and Wine 8 makes no links";
#else
    TempTree tree;
    writeOld(tree, { "data/neu.log", "data/link.log", "data/pipe.log" });
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log");
    ASSERT_EQ(state.Table.fileCount(), 3u);
    std::remove((tree / "data/neu.log").c_str());
    writeOld(tree, { "data/neu.log" });
    std::remove((tree / "data/link.log").c_str());
    tree.makeSymlink("neu.log", "data/link.log");
    tree.setModified("data/link.log", kOld);
    std::remove((tree / "data/pipe.log").c_str());
    ASSERT_EQ(mkfifo((tree / "data/pipe.log").c_str(), 0600), 0);
    tree.setModified("data/pipe.log", kOld);

    const core::DeletionReport report = core::DeleteListed(state);
    EXPECT_TRUE(tree.exists("data/neu.log"));
    EXPECT_TRUE(tree.exists("data/link.log"));
    EXPECT_TRUE(tree.exists("data/pipe.log"));
    EXPECT_EQ(report.deleted, 0u);
    ASSERT_EQ(report.stayed.size(), 3u);
    std::vector<std::string> expected;
    for (const std::string &path : listedPaths(state))
        expected.push_back(stayedLine(path, "seit der Auflistung geändert"));
    EXPECT_EQ(loggedFileLines(tree), expected);
#endif
}

namespace {

// Takes the identity of the searched directory and the entry of one of its files.
class ProbeVisitor : public platform::TreeVisitor
{
public:
    explicit ProbeVisitor(std::string name)
        : m_name(std::move(name))
    {
    }
    void enterDirectory(std::string_view, const platform::EntryIdentity &identity) override
    {
        top = identity;
    }
    void file(const platform::FileEntry &entry) override
    {
        if (entry.name == m_name) {
            probe = entry;
            probe.name = m_name;
        }
    }
    void leaveDirectory() override { }

    platform::EntryIdentity top;
    platform::FileEntry probe;

private:
    std::string m_name;
};

} // namespace

TEST(DeleteListed, RefusesToDeleteInTheRootOfTheSystemHoweverItIsSpelled)
{
    // A table of a single file in the root, as a listing of the root by each spelling gives it:
    // a run that is not refused deletes that file and nothing else of the system.
    TempTree tree;
#ifdef _WIN32
    const std::string drive
        = std::string(std::getenv("SystemDrive") ? std::getenv("SystemDrive") : "C:");
    const std::string root = drive + "\\";
    const std::vector<std::string> spellings
        = { root, drive + "/", root + "Windows\\..\\", root + ".\\" };
#else
    const std::string root = "/";
    tree.makeSymlink("/", "zur-wurzel");
    const std::vector<std::string> spellings = { "/", "//", "/.", "/tmp/..", tree / "zur-wurzel" };
#endif
    const std::string name = "ablagekehrer-probe-" + std::to_string(getpid()) + ".log";
    std::FILE *created = std::fopen((root + name).c_str(), "w");
    if (!created)
        GTEST_SKIP() << "no file can be made in the root of the system here";
    std::fclose(created);
    for (const std::string &spelling : spellings) {
        ProbeVisitor visitor(name);
        platform::searchTree(spelling, false, visitor);
        core::JobState state(platform::germanFormats());
        state.LogFileName = tree / "protokoll.log";
        state.Table.addDirectory(core::ListingTable::kNoParent, spelling, visitor.top);
        state.Table.addFile(0, visitor.probe);
        const RunError error = runAndCatch(state);
        EXPECT_EQ(error.message, "Im Wurzelverzeichnis des Systems wird nichts gelöscht")
            << spelling;
        EXPECT_EQ(error.path, spelling);
        EXPECT_EQ(access((root + name).c_str(), F_OK), 0) << spelling;
        EXPECT_FALSE(tree.exists("protokoll.log")) << spelling;
    }
    std::remove((root + name).c_str());
}

TEST(DeleteListed, RemovesTheFoldersItEmptiedDeepestFirstAndNoOther)
{
    TempTree tree;
    writeOld(tree,
        { "data/top.log", "data/2026/11/03/a.log", "data/2026/11/03/b.log", "data/2026/11/04/c.log",
            "data/2026/12/01/d.log", "data/voll/e.log", "data/jung/f.log" });
    tree.makeDirectory("data/leer");
    tree.writeFile("data/jung/heute.log");
    core::JobState state = listedOld(tree / "data", tree / "protokoll.log", true);
    state.RemoveEmptiedFolders = true;
    ASSERT_EQ(state.Table.fileCount(), 7u);
    // A file put into a folder after the listing keeps it, as the confirmed listing did not
    // empty it.
    tree.writeFile("data/voll/neu.log");

    const core::DeletionReport report = core::DeleteListed(state);
    EXPECT_EQ(report.deleted, 7u);
    EXPECT_EQ(report.foldersRemoved, 6u);
    EXPECT_EQ(report.foldersStayed, 1u);
    EXPECT_FALSE(tree.exists("data/2026"));
    for (const char *stays : { "data/voll/neu.log", "data/jung/heute.log", "data/leer" })
        EXPECT_TRUE(tree.exists(stays)) << stays;

    // After the files, a line per folder attempted, its path ending in the separator, each folder
    // before its parent.
    const std::vector<std::string> lines = loggedFileLines(tree);
    ASSERT_EQ(lines.size(), 7u + 7u);
    const std::vector<std::string> folderLines(lines.begin() + 7, lines.end());
    std::vector<std::string> folders;
    for (const char *folder :
        { "2026/", "2026/11/", "2026/11/03/", "2026/11/04/", "2026/12/", "2026/12/01/" })
        folders.push_back(withSystemSeparators(tree / "data/" + folder));
    folders.push_back(
        stayedLine(withSystemSeparators(tree / "data/voll/"), "seit der Auflistung geändert"));
    std::vector<std::string> sorted = folderLines;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, folders);
    for (std::size_t i = 0; i < folderLines.size(); ++i)
        for (std::size_t j = i + 1; j < folderLines.size(); ++j)
            EXPECT_FALSE(folderLines[j].starts_with(folderLines[i])) << folderLines[i];
}
