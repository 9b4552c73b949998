#include "core/errors.h"
#include "startup/form_create.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

using testing_support::TempTree;
using testing_support::withSystemSeparators;

namespace {

struct Started
{
    core::JobState state { platform::germanFormats() };
    startup::StartupResult result;
};

Started start(const std::vector<std::string> &arguments, const std::string &settingsPath)
{
    Started started;
    started.result
        = startup::FormCreate(started.state, startup::parseCommandLine(arguments), settingsPath);
    return started;
}

} // namespace

TEST(FormCreate, CombinesSwitchesAndSettings)
{
    TempTree tree;
    tree.writeFile("a.ini",
        "[Pfade]\n" + withSystemSeparators("1=/srv/eins\n2=/srv/zwei/\n")
            + "[Optionen]\nTage=14\nProtokoll=/var/log/kehrer.log\n");
    const std::string ini = tree / "a.ini";
    const std::string eins = withSystemSeparators("/srv/eins/");
    const std::string zwei = withSystemSeparators("/srv/zwei/");

    const Started plain = start({}, ini);
    EXPECT_EQ(plain.state.Directories, (std::vector<std::string> { eins, zwei }));
    EXPECT_EQ(plain.state.SelectedDirectory, eins);
    EXPECT_EQ(plain.state.DayCount, 14);
    EXPECT_EQ(plain.state.Mode, core::SelectionMode::Age);
    EXPECT_EQ(plain.state.LogFileName, "/var/log/kehrer.log");
    EXPECT_FALSE(plain.result.unattendedRequested);

    const Started chosen = start({ "/id:2", "/tage:7", "/Protokoll:/tmp/Lauf.log", "go" }, ini);
    EXPECT_EQ(chosen.state.SelectedDirectory, zwei);
    EXPECT_EQ(chosen.state.DayCount, 7);
    EXPECT_EQ(chosen.state.LogFileName, "/tmp/Lauf.log");
    EXPECT_TRUE(chosen.result.unattendedRequested);

    EXPECT_EQ(start({ "/ID:0" }, ini).state.SelectedDirectory, eins);
    EXPECT_EQ(start({ "/ID:3" }, ini).state.SelectedDirectory, "");
    EXPECT_EQ(start({ "/ID:-1" }, ini).state.SelectedDirectory, "");
    EXPECT_EQ(start({ "/TAGE:0" }, ini).state.DayCount, 14);
    EXPECT_EQ(start({ "/TAGE:-3" }, tree / "missing.ini").state.DayCount, 35);
    EXPECT_EQ(start({ "/TAGE:100000" }, ini).state.DayCount, 32767);

    const Started counting = start({ "/ANZAHL:7", "/LISTE" }, ini);
    EXPECT_EQ(counting.state.Mode, core::SelectionMode::Count);
    EXPECT_EQ(counting.state.KeepCount, 7);
    EXPECT_TRUE(counting.result.listOnly);
}

TEST(FormCreate, KeepsUnclampedAndOddSettings)
{
    TempTree tree;
    tree.writeFile("zero.ini", "[Optionen]\nTage=0\n");
    tree.writeFile("far.ini", "[Optionen]\nTage=-100000\n");
    EXPECT_EQ(start({}, tree / "zero.ini").state.DayCount, 0);
    EXPECT_EQ(start({}, tree / "far.ini").state.DayCount, -32768);
    const Started none = start({}, tree / "missing.ini");
    EXPECT_TRUE(none.state.Directories.empty());
    EXPECT_EQ(none.state.SelectedDirectory, "");
    EXPECT_EQ(none.state.LogFileName, "");
}

TEST(FormCreate, RefusesCountModeWithSubdirectories)
{
    const Started started = start({ "/ANZAHL:5", "/SUB", "GO" }, "");
    EXPECT_TRUE(started.result.countWithSubdirectoriesNotice);
    EXPECT_FALSE(started.result.unattendedRequested);
}

TEST(FormCreate, StopsAtAConversionErrorWithOnlySubdirectoriesTaken)
{
    TempTree tree;
    tree.writeFile("a.ini", "[Pfade]\n1=/srv/eins\n[Optionen]\nTage=14\n");
    core::JobState state(platform::germanFormats());
    try {
        startup::FormCreate(state,
            startup::parseCommandLine({ "/SUB", "/TAGE:7", "GO", "/ANZAHL:zwei", "/ID:1" }),
            tree / "a.ini");
        FAIL() << "no conversion error";
    } catch (const core::AppError &error) {
        EXPECT_STREQ(error.what(), "'ZWEI' ist kein gültiger Integerwert");
    }
    EXPECT_TRUE(state.IncludeSubdirectories);
    EXPECT_TRUE(state.Directories.empty());
    EXPECT_EQ(state.DayCount, 30);
    EXPECT_EQ(state.KeepCount, 10);
    EXPECT_EQ(state.Mode, core::SelectionMode::Age);
}

TEST(FormCreate, TakesTheSelectedFoldersRuleUnderTheSwitches)
{
    TempTree tree;
    tree.writeFile("r.ini",
        "[Pfade]\n1=/srv/sicherung\n2=/srv/spool\n3=/srv/logs\n"
        "[Pfad 1]\nAnzahl=7\nMuster=*.tar\nProtokoll=/var/log/sicherung.log\n"
        "[Pfad 2]\nTage=2\nUnterverzeichnisse=1\nAusnahmen=aktuell\nBehalten=3\nLeereOrdner=1\n"
        "[Optionen]\nTage=14\nProtokoll=/var/log/kehrer.log\n");
    using Mode = core::SelectionMode;
    const struct
    {
        std::vector<std::string> arguments;
        Mode mode;
        int count; // the days in age mode, the files kept in count mode
        bool subdirectories;
        const char *patterns;
        const char *exceptions;
        int keepNewest;
        bool emptiedFolders;
        const char *log;
    } cases[] = {
        { {}, Mode::Count, 7, false, "*.tar", "", 0, false, "/var/log/sicherung.log" },
        { { "/TAGE:30" }, Mode::Age, 30, false, "*.tar", "", 0, false, "/var/log/sicherung.log" },
        { { "/MUSTER:*.tgz", "/PROTOKOLL:/tmp/x.log" }, Mode::Count, 7, false, "*.tgz", "", 0,
            false, "/tmp/x.log" },
        { { "/ID:2" }, Mode::Age, 2, true, "", "aktuell", 3, true, "/var/log/kehrer.log" },
        { { "/ID:2", "/AUSNAHMEN:", "/BEHALTEN:0", "/ANZAHL:4" }, Mode::Count, 4, true, "", "", 0,
            true, "/var/log/kehrer.log" },
        { { "/ID:3" }, Mode::Age, 14, false, "", "", 0, false, "/var/log/kehrer.log" },
        { { "/ID:3", "/SUB", "/BEHALTEN:5", "/leereordner" }, Mode::Age, 14, true, "", "", 5, true,
            "/var/log/kehrer.log" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "" : c.arguments.front());
        const Started started = start(c.arguments, tree / "r.ini");
        const core::JobState &state = started.state;
        EXPECT_EQ(state.Mode, c.mode);
        EXPECT_EQ(c.mode == Mode::Age ? state.DayCount : state.KeepCount, c.count);
        EXPECT_EQ(state.IncludeSubdirectories, c.subdirectories);
        EXPECT_EQ(state.Patterns.text(), c.patterns);
        EXPECT_EQ(state.Exceptions.text(), c.exceptions);
        EXPECT_EQ(state.KeepNewest, c.keepNewest);
        EXPECT_EQ(state.RemoveEmptiedFolders, c.emptiedFolders);
        EXPECT_EQ(state.LogFileName, c.log);
    }
}
