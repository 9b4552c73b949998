#include "core/run_log.h"
#include "deletion_testing.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#ifdef _WIN32
#include "platform/win32/wide_text.h"

#include <windows.h>
#else
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

// The log of a run: its lines and the runs that its failures stop before or while they delete.

using namespace deletion_testing;
using testing_support::withSystemSeparators;

TEST(DeleteListed, AppendsOneBlockPerRunToTheLog)
{
    TempTree tree;
    writeOld(tree, { "data/a.log", "data/b.log", "data/sub/c.log" });
    const std::string log = tree / "protokoll.log";

    const core::JobState first = listedOld(tree / "data", log, true);
    const std::vector<std::string> firstPaths = listedPaths(first);
    ASSERT_EQ(firstPaths.size(), 3u);
    core::DeleteListed(first);
    EXPECT_FALSE(
        tree.exists("data/a.log") || tree.exists("data/b.log") || tree.exists("data/sub/c.log"));
    EXPECT_TRUE(tree.exists("data/sub"));
    EXPECT_EQ(withoutStamps(tree.readLog("protokoll.log")), expectedRun(firstPaths, "STAMP"));

    writeOld(tree, { "data/d.log" });
    core::DeleteListed(listedOld(tree / "data", log, true));
    EXPECT_EQ(withoutStamps(tree.readLog("protokoll.log")),
        expectedRun(firstPaths, "STAMP")
            + expectedRun({ withSystemSeparators(tree / "data/d.log") }, "STAMP"));
}

TEST(DeleteListed, StampsLinesWithTheDateAloneAtMidnight)
{
    const platform::LocaleFormats german = platform::germanFormats();
    EXPECT_EQ(core::logTimestamp({ 2017, 6, 13, 9, 26, 50 }, german), "13.06.2017 09:26:50");
    EXPECT_EQ(core::logTimestamp({ 2017, 6, 13, 0, 0, 0 }, german), "13.06.2017");
    EXPECT_EQ(core::logTimestamp({ 2017, 6, 13, 0, 0, 1 }, german), "13.06.2017 00:00:01");
}

TEST(DeleteListed, WritesNoLogWhenThereIsNothingToLog)
{
    TempTree tree;
    tree.writeFile("data/new.log");
    // Nothing listed: no file touched, no log created.
    core::DeleteListed(listedOld(tree / "data", tree / "protokoll.log"));
    EXPECT_FALSE(tree.exists("protokoll.log"));
    EXPECT_TRUE(tree.exists("data/new.log"));

    // No log configured: the files go, and nothing is written anywhere.
    writeOld(tree, { "data/old.log" });
    core::DeleteListed(listedOld(tree / "data", ""));
    EXPECT_FALSE(tree.exists("data/old.log"));
    EXPECT_FALSE(tree.exists("protokoll.log"));
}

TEST(DeleteListed, DeletesNothingWhenTheLogCannotBeStarted)
{
    TempTree tree;
    writeOld(tree, { "data/a.log" });
    tree.makeDirectory("a-directory.log");
    struct Case
    {
        std::string log;
        std::string message;
    };
#ifdef _WIN32
    // Another run holds the log open for writing and shares only reading. Windows has no pipe
    // in the file system and no device that is always full.
    const HANDLE held = CreateFileW(platform::win32::longPath(tree / "held.log").c_str(),
        GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Case cases[] = {
        { tree / "missing\\protokoll.log", "Ungültiger Dateiname" },
        { tree / "a-directory.log", "Dateizugriff verweigert" },
        { tree / "held.log", "Die Protokolldatei wird von einem anderen Lauf benutzt" },
        { tree / std::string(4100, 'x'), "Ungültiger Dateiname" },
    };
#else
    mkfifo((tree / "a-pipe").c_str(), 0600);
    const int held = open((tree / "held.log").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const Case cases[] = {
        { tree / "missing/protokoll.log", "Ungültiger Dateiname" },
        { tree / "a-directory.log", "Dateizugriff verweigert" },
        { "/dev/full", "Zu wenig Speicherplatz" },
        { tree / "held.log", "Die Protokolldatei wird von einem anderen Lauf benutzt" },
        { tree / std::string(4100, 'x'), "Ungültiger Dateiname" },
        { tree / "a-pipe", "E/A-Fehler 6" },
    };
#endif
    for (const Case &c : cases) {
        // The error names the log, whatever went wrong with it.
        const RunError error = runAndCatch(listedOld(tree / "data", c.log));
        EXPECT_EQ(error.message, c.message) << c.log.substr(0, 80);
        EXPECT_EQ(error.path, c.log) << c.log.substr(0, 80);
        EXPECT_TRUE(tree.exists("data/a.log")) << c.log.substr(0, 80);
    }
    EXPECT_EQ(tree.readLog("held.log"), "");
#ifdef _WIN32
    CloseHandle(held);
#else
    close(held);
#endif
}

TEST(DeleteListed, StopsAtTheLineThatFillsTheLog)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no limit of a process's file size that would fill the log";
#else
    TempTree tree;
    writeOld(tree, { "data/1.log", "data/2.log", "data/3.log", "data/4.log" });
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log");
    const std::vector<std::string> paths = listedPaths(state);
    // Room for the start lines and the first two file lines; the third line fails.
    const std::string stamp = "08.12.2026 10:00:00";
    const std::string fits = expectedRun({ paths[0], paths[1] }, stamp, 4);
    rlimit previous;
    getrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit { fits.size() + 10, previous.rlim_max };
    setrlimit(RLIMIT_FSIZE, &limit);
    const RunError error = runAndCatch(state);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(error.message, "E/A-Fehler 27");
    EXPECT_EQ(error.path, tree / "protokoll.log");
    // The four attempts were made before their lines were written together; the last two files
    // went without their lines, and the error names each.
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_NE(access(paths[i].c_str(), F_OK), 0) << paths[i];
    EXPECT_EQ(error.notes,
        std::vector<std::string>({ "Gelöscht, aber nicht protokolliert: " + paths[2],
            "Gelöscht, aber nicht protokolliert: " + paths[3] }));
    // The part of the third line that fitted is cut off again: the log holds whole lines only.
    EXPECT_EQ(withoutStamps(tree.readLog("protokoll.log")),
        withoutStamps(expectedRun({ paths[0], paths[1] }, stamp, 4)));
#endif
}
