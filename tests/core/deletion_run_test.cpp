#include "core/deletion_run.h"
#include "core/errors.h"
#include "core/selection.h"
#include "support/temp_tree.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::localEpochDaysFromToday;
using testing_support::TempTree;

namespace {

constexpr std::time_t kOld = 1'500'000'000; // July 2017

core::JobState listedOld(const std::string &directory, const std::string &log, bool sub = false)
{
    core::JobState state(platform::germanFormats());
    state.SelectedDirectory = directory;
    state.DayCount = 30;
    state.IncludeSubdirectories = sub;
    state.LogFileName = log;
    core::Refresh(state);
    return state;
}

void writeOld(const TempTree &tree, std::initializer_list<std::string> names)
{
    for (const std::string &name : names) {
        tree.writeFile(name, "x");
        tree.setModified(name, kOld);
    }
}

// The full paths of the listing, in table order.
std::vector<std::string> listedPaths(const core::JobState &state)
{
    std::vector<std::string> paths;
    for (std::size_t row = 0; row < state.Table.fileCount(); ++row)
        paths.push_back(state.Table.path(row));
    return paths;
}

// A run's lines as the log holds them: the empty line, the start line with `count`, one line per
// path.
std::string expectedRun(
    const std::vector<std::string> &paths, const std::string &stamp, std::size_t count = SIZE_MAX)
{
    std::string text = "\r\nStart der Dateilöschung von "
        + std::to_string(count == SIZE_MAX ? paths.size() : count) + " Dateien\r\n";
    for (const std::string &path : paths)
        text += stamp + " " + path + "\r\n";
    return text;
}

// Replaces every log time stamp by "STAMP", so that whole logs compare byte for byte.
std::string withoutStamps(const std::string &log)
{
    static const std::regex stamp(R"(\d\d\.\d\d\.\d{4}( \d\d:\d\d:\d\d)? )");
    return std::regex_replace(log, stamp, "STAMP ");
}

std::string deleteAndReport(const core::JobState &state)
{
    try {
        core::DeleteListed(state);
    } catch (const core::AppError &error) {
        return error.what();
    }
    return "";
}

} // namespace

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
    EXPECT_EQ(withoutStamps(tree.readFile("protokoll.log")), expectedRun(firstPaths, "STAMP"));

    writeOld(tree, { "data/d.log" });
    core::DeleteListed(listedOld(tree / "data", log, true));
    EXPECT_EQ(withoutStamps(tree.readFile("protokoll.log")),
        expectedRun(firstPaths, "STAMP") + expectedRun({ tree / "data/d.log" }, "STAMP"));
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
    mkfifo((tree / "a-pipe").c_str(), 0600);
    const int held = open((tree / "held.log").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    struct Case
    {
        std::string log;
        std::string message;
    };
    const Case cases[] = {
        { tree / "missing/protokoll.log", "Ungültiger Dateiname" },
        { tree / "a-directory.log", "Dateizugriff verweigert" },
        { "/dev/full", "Zu wenig Speicherplatz" },
        { tree / "held.log", "E/A-Fehler 32" },
        { tree / std::string(4100, 'x'), "Ungültiger Dateiname" },
        { tree / "a-pipe", "E/A-Fehler 6" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(deleteAndReport(listedOld(tree / "data", c.log)), c.message)
            << c.log.substr(0, 80);
        EXPECT_TRUE(tree.exists("data/a.log")) << c.log.substr(0, 80);
    }
    EXPECT_EQ(tree.readFile("held.log"), "");
    close(held);
}

TEST(DeleteListed, StopsAtTheLineThatFillsTheLog)
{
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
    const std::string message = deleteAndReport(state);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(message, "E/A-Fehler 27");
    // Rows up to the failing line are deleted, none after it.
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(access(paths[i].c_str(), F_OK) == 0, i >= 3) << paths[i];
    const std::string log = tree.readFile("protokoll.log");
    EXPECT_EQ(withoutStamps(log.substr(0, log.rfind("\r\n") + 2)),
        withoutStamps(expectedRun({ paths[0], paths[1] }, stamp, 4)));
}

TEST(DeleteListed, LogsEveryAttemptAndDeletesOnlyWhatWasListed)
{
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

    core::DeleteListed(state);
    EXPECT_FALSE(tree.exists("data/-- Keine Dateien gefunden --"));
    EXPECT_FALSE(tree.exists("data/line\nbreak.log"));
    EXPECT_FALSE(tree.exists("data/bad-\xff\xfe.log"));
    EXPECT_TRUE(tree.exists("data/rewritten.log"));
    EXPECT_TRUE(tree.exists("data/replaced.log"));
    EXPECT_TRUE(tree.exists("outside/inside.log"));
    EXPECT_TRUE(tree.exists("outside/precious.log"));
    EXPECT_TRUE(tree.exists("moved-sub/inside.log"));

    // Every listed row has its line, deleted or not; a line break in a name cannot forge a line,
    // and other bytes are kept as they are.
    std::vector<std::string> logged;
    for (std::string path : listedPaths(state)) {
        for (char &c : path) {
            if (static_cast<unsigned char>(c) < 32)
                c = '?';
        }
        logged.push_back(path);
    }
    EXPECT_EQ(withoutStamps(tree.readFile("protokoll.log")), expectedRun(logged, "STAMP"));
    EXPECT_NE(tree.readFile("protokoll.log").find("data/bad-\xff\xfe.log\r\n"), std::string::npos);
}

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
    for (const std::string &file : files)
        writeOld(tree, { file });
    const core::JobState state = listedOld(tree / "data", tree / "protokoll.log", true);
    ASSERT_EQ(state.Table.fileCount(), files.size());
    ASSERT_GT(listedPaths(state).back().size(), 4095u);
    core::DeleteListed(state);
    for (const std::string &file : files)
        EXPECT_FALSE(tree.exists(file)) << file.size();
}
