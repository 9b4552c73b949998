#include "startup/headless.h"
#include "support/temp_tree.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include "platform/win32/wide_text.h"

#include <windows.h>
#else
#include <sys/wait.h>
#endif

using testing_support::localEpoch;
using testing_support::readAndClose;
using testing_support::TempTree;
using testing_support::withSystemSeparators;

namespace {

using Events = std::vector<std::pair<platform::EventKind, std::string>>;

struct HeadlessRun
{
    int exitCode;
    std::string out;
    std::string err;
    // What went to the system's log of events.
    Events events;
};

HeadlessRun run(const std::vector<std::string> &arguments, const std::string &settingsPath)
{
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    Events events;
    const int code = startup::runHeadless(startup::parseCommandLine(arguments), settingsPath,
        platform::germanFormats(), out, err,
        [&](platform::EventKind kind, std::string_view line) { events.emplace_back(kind, line); });
    return { code, readAndClose(out), readAndClose(err), std::move(events) };
}

} // namespace

TEST(Headless, PrintsAListingForScriptsOneLinePerFile)
{
    TempTree tree;
#ifdef _WIN32
    const std::string oddName = "\xC3\xA4rger.log";
    const std::string oddShown = oddName;
#else
    // Every name stays on its line, and the escapes read back to the name.
    const std::string oddName = "tab\tline\nback\\slash\x01.log";
    const std::string oddShown = "tab\\tline\\nback\\\\slash\\x01.log";
#endif
    tree.writeFile("data/winter.log", std::string(4097, 'x'));
    tree.writeFile("data/" + oddName);
    tree.setModified("data/winter.log", localEpoch(2017, 1, 13, 9, 26, 51));
    tree.setModified("data/" + oddName, localEpoch(2017, 7, 13, 9, 26, 50));
    tree.makeDirectory("leer");

    const std::string dir = withSystemSeparators(tree / "data/");
    const std::string winter = dir + "winter.log\t4097\t2017-01-13T09:26:51+01:00\n";
    const std::string summer = dir + oddShown + "\t0\t2017-07-13T09:26:50+02:00\n";
    const HeadlessRun listing = run({ "/liste:tsv", "GO", "/TAGE:5", "/VERZEICHNIS:" + dir }, "");
    EXPECT_EQ(listing.exitCode, 0);
    EXPECT_EQ(listing.err, "");
    EXPECT_TRUE(listing.out == winter + summer || listing.out == summer + winter) << listing.out;
    EXPECT_TRUE(tree.exists("data/winter.log"));

    const HeadlessRun empty = run({ "/LISTE:TSV", "/VERZEICHNIS:" + (tree / "leer") }, "");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "");
    const HeadlessRun unknown = run({ "/LISTE:CSV", "/VERZEICHNIS:" + dir }, "");
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(
        unknown.err, "Ablagekehrer: '/LISTE:CSV': unbekannte Form der Liste (nur /LISTE:TSV)\n");
}

TEST(Headless, PrintsTheListingWithoutDeletingAnything)
{
    TempTree tree;
#ifdef _WIN32
    // Windows names hold no control characters: a name beyond ASCII instead.
    const std::string oddName = "\xC3\xA4rger.log";
    const std::string oddShown = oddName;
#else
    // A control character in a name is shown as "?", so that it cannot break the line.
    const std::string oddName = "line\nbreak.log";
    const std::string oddShown = "line?break.log";
#endif
    tree.writeFile("data/alt.log", std::string(4096, 'x'));
    tree.writeFile("data/" + oddName);
    tree.setModified("data/alt.log", localEpoch(2017, 5, 13, 9, 26, 51));
    tree.setModified("data/" + oddName, localEpoch(2017, 5, 13, 9, 26, 50));
    tree.writeFile("a.ini", "[Pfade]\n1=" + (tree / "data") + "\n");

    // "/LISTE" only lists, even with "GO".
    const HeadlessRun listing = run({ "/TAGE:5", "/liste", "GO", "SOFORT" }, tree / "a.ini");
    EXPECT_EQ(listing.exitCode, 0);
    EXPECT_EQ(listing.err, "");
    const std::string dir = withSystemSeparators(tree / "data/");
    const std::string first = "alt.log\t4 kb\t13.05.2017\t09:26:50\t" + dir + "\n";
    const std::string second = oddShown + "\t0 kb\t13.05.2017\t09:26:50\t" + dir + "\n";
    const std::string header = "Dateiname\tGröße\tDatum\tUhrzeit\tVerzeichnis\n";
    const std::string status = "2 Dateien\t4 KB Gesamt\n";
    EXPECT_TRUE(listing.out == header + first + second + status
        || listing.out == header + second + first + status)
        << listing.out;
    EXPECT_TRUE(tree.exists("data/alt.log"));

    EXPECT_EQ(run({ "/TAGE:5" }, tree / "a.ini").out, listing.out);

    tree.makeDirectory("new");
    const HeadlessRun empty = run({ "/VERZEICHNIS:" + (tree / "new") }, tree / "a.ini");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, header + "-- Keine Dateien gefunden --\t\t\t\t\n0 Dateien\t0 KB Gesamt\n");
}

TEST(Headless, ReportsErrorsOnOneLineWithExitCodeOne)
{
    const HeadlessRun bad = run({ "/TAGE:abc" }, "");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "Ablagekehrer: 'ABC' ist kein gültiger Integerwert.\n");

    const HeadlessRun empty = run({ "/TAGE:" }, "");
    EXPECT_EQ(empty.err, "Ablagekehrer: '' ist kein gültiger Integerwert.\n");

    const HeadlessRun notice = run({ "/ANZAHL:5", "/SUB", "/LISTE" }, "");
    EXPECT_EQ(notice.exitCode, 1);
    EXPECT_EQ(notice.out, "");
    EXPECT_EQ(notice.err, "Ablagekehrer: /Anzahl und /Sub ist nicht kombinierbar!\n");
}

TEST(Headless, PrintsTheCountListingWithFixedDatesAndNoTotal)
{
    TempTree tree;
    const char *files[] = { "new.tar", "older.tar", "oldest.tar", "newest.tar" };
    const int days[] = { 3, 2, 1, 4 };
    for (int i = 0; i < 4; ++i) {
        tree.writeFile(std::string("data/") + files[i], std::string(4096, 'x'));
        tree.setModified(std::string("data/") + files[i], localEpoch(2017, 2, days[i], 9, 5, 7));
    }
    tree.writeFile("data/sub/ancient.tar");
    tree.setModified("data/sub/ancient.tar", localEpoch(2001, 1, 1));
    tree.writeFile("a.ini", "[Pfade]\n1=" + (tree / "data") + "\n");

    const HeadlessRun listing = run({ "/anzahl:2", "/LISTE" }, tree / "a.ini");
    EXPECT_EQ(listing.exitCode, 0);
    EXPECT_EQ(listing.err, "");
    const std::string dir = withSystemSeparators(tree / "data/");
    EXPECT_EQ(listing.out,
        "Dateiname\tGröße\tDatum\tUhrzeit\tVerzeichnis\n"
        "oldest.tar\t\t20170201\t090506\t"
            + dir + "\nolder.tar\t\t20170202\t090506\t" + dir + "\n2 Dateien\t\n");

    const HeadlessRun nothing = run({ "/ANZAHL:4", "/LISTE" }, tree / "a.ini");
    EXPECT_EQ(nothing.out,
        "Dateiname\tGröße\tDatum\tUhrzeit\tVerzeichnis\n-- Keine Dateien gefunden --\t\t\t\t\n"
        "0 Dateien\t\n");
}

TEST(Unattended, DeletesLogsAndSaysNothing)
{
    TempTree tree;
    tree.writeFile("data/old.log");
    tree.writeFile("data/today.log");
    tree.setModified("data/old.log", localEpoch(2017, 5, 13, 9, 26, 51));
    tree.writeFile("a.ini",
        "[Pfade]\n1=" + (tree / "data") + "\n[Optionen]\nProtokoll=" + (tree / "run.log") + "\n");

    const HeadlessRun go = run({ "SOFORT" }, tree / "a.ini");
    EXPECT_EQ(go.exitCode, 0);
    EXPECT_EQ(go.out + go.err, "");
    EXPECT_FALSE(tree.exists("data/old.log"));
    EXPECT_TRUE(tree.exists("data/today.log"));
    EXPECT_NE(
        tree.readLog("run.log").find("Start der Dateilöschung von 1 Dateien"), std::string::npos);

    // Nothing old: nothing deleted, the log untouched.
    const std::string log = tree.readLog("run.log");
    EXPECT_EQ(run({ "GO" }, tree / "a.ini").exitCode, 0);
    EXPECT_EQ(tree.readLog("run.log"), log);

    // No day count above zero keeps today: everything listed goes.
    tree.writeFile("zero.ini", "[Pfade]\n1=" + (tree / "data") + "\n[Optionen]\nTage=0\n");
    EXPECT_EQ(run({ "GO" }, tree / "zero.ini").exitCode, 0);
    EXPECT_FALSE(tree.exists("data/today.log"));
}

TEST(Unattended, FailsVisiblyAndDeletesNothingOnAnError)
{
    TempTree tree;
    tree.writeFile("data/old.log");
    tree.setModified("data/old.log", 0);
    tree.writeFile("a.ini", "[Pfade]\n1=" + (tree / "data") + "\n");

    const HeadlessRun missingLog
        = run({ "GO", "/PROTOKOLL:" + (tree / "missing/run.log") }, tree / "a.ini");
    EXPECT_EQ(missingLog.exitCode, 1);
    EXPECT_EQ(missingLog.err,
        "Ablagekehrer: " + (tree / "missing/run.log") + ": Ungültiger Dateiname.\n");

    const HeadlessRun notice = run({ "/ANZAHL:1", "/SUB", "GO" }, tree / "a.ini");
    EXPECT_EQ(notice.exitCode, 1);
    EXPECT_EQ(notice.err, "Ablagekehrer: /Anzahl und /Sub ist nicht kombinierbar!\n");

    const HeadlessRun badNumber = run({ "GO", "/TAGE:x" }, tree / "a.ini");
    EXPECT_EQ(badNumber.exitCode, 1);
    EXPECT_TRUE(tree.exists("data/old.log"));
}

TEST(Unattended, WithoutAFolderDeletesNothingAnywhere)
{
    // Run from inside a folder of old files: no selection must ever mean the current folder or "/".
    TempTree tree;
    tree.writeFile("cwd/old.log");
    tree.setModified("cwd/old.log", 0);
    tree.writeFile("a.ini", "[Pfade]\n1=" + (tree / "elsewhere") + "\n");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(tree / "cwd");
    const HeadlessRun beyond = run({ "/ID:5", "/SUB", "GO" }, tree / "a.ini");
    const HeadlessRun none = run({ "/SUB", "GO" }, tree / "missing.ini");
    std::filesystem::current_path(previous);
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(tree.exists("cwd/old.log"));
}

TEST(Unattended, CountModeDeletesAllButTheNewestAndLogsThemOldestFirst)
{
    TempTree tree;
    // The older a file, the later its name: neither the names nor the creation give the order.
    const char *newestFirst[] = { "a.tar", "b.tar", "c.tar", "d.tar", "e.tar" };
    for (int i = 0; i < 5; ++i) {
        tree.writeFile(std::string("data/") + newestFirst[i]);
        tree.setModified(std::string("data/") + newestFirst[i], localEpoch(2017, 2, 10 - i, 9));
    }
    tree.writeFile("data/sub/ancient.tar");
    tree.setModified("data/sub/ancient.tar", 0);
    tree.writeFile("a.ini",
        "[Pfade]\n1=" + (tree / "data") + "\n[Optionen]\nProtokoll=" + (tree / "run.log") + "\n");

    const HeadlessRun go = run({ "/ANZAHL:3", "GO" }, tree / "a.ini");
    EXPECT_EQ(go.exitCode, 0);
    EXPECT_EQ(go.out + go.err, "");
    for (const char *kept : { "data/a.tar", "data/b.tar", "data/c.tar", "data/sub/ancient.tar" })
        EXPECT_TRUE(tree.exists(kept)) << kept;
    EXPECT_FALSE(tree.exists("data/d.tar"));
    EXPECT_FALSE(tree.exists("data/e.tar"));
    // The log's time stamps keep the locale's date and time formats after a count listing.
    static const std::regex stamp(R"(\r\n\d\d\.\d\d\.\d{4}( \d\d:\d\d:\d\d)? )");
    EXPECT_EQ(std::regex_replace(tree.readLog("run.log"), stamp, "\r\nSTAMP "),
        "\r\nStart der Dateilöschung von 2 Dateien\r\nSTAMP "
            + withSystemSeparators(tree / "data/e.tar") + "\r\nSTAMP "
            + withSystemSeparators(tree / "data/d.tar") + "\r\n");
}

namespace {

// A folder of one old file and a settings file offering it, with a log; what a refused or
// misdirected run must leave exactly as it was.
struct OldFolder
{
    TempTree tree;
    std::string ini = tree / "a.ini";

    OldFolder()
    {
        tree.writeFile("data/old.log");
        tree.setModified("data/old.log", 0);
        tree.writeFile("a.ini",
            "[Pfade]\n1=" + (tree / "data") + "\n[Optionen]\nProtokoll=" + (tree / "run.log")
                + "\n");
    }
    bool untouched() const { return tree.exists("data/old.log") && !tree.exists("run.log"); }
};

} // namespace

TEST(Headless, RefusesArgumentsThatMatchNoSwitchBeforeTouchingAnything)
{
    const OldFolder folder;
    using Args = std::vector<std::string>;
    const std::pair<Args, std::string> cases[] = {
        { { "/TAGE:5", folder.tree / "data", "GO" }, folder.tree / "data" },
        { { "/ANZHAL:5", "GO" }, "/ANZHAL:5" },
        { { "-go" }, "-go" },
        { { "/sofortig", "/LISTE" }, "/sofortig" },
        { { "SOFORT", "ergo" }, "ergo" },
    };
    for (const auto &[arguments, refused] : cases) {
        const HeadlessRun refusal = run(arguments, folder.ini);
        EXPECT_EQ(refusal.exitCode, 2) << refused;
        EXPECT_EQ(refusal.out, "") << refused;
        EXPECT_EQ(refusal.err,
            "Ablagekehrer: '" + refused + "' ist kein gültiges Argument (siehe --help)\n");
        EXPECT_TRUE(folder.untouched()) << refused;
    }
}

TEST(Headless, PathsHoldingGoOrSofortStartNothing)
{
    const OldFolder folder;
    folder.tree.writeFile("django-GO-logs/Sofort.log");
    folder.tree.setModified("django-GO-logs/Sofort.log", 0);
    using Args = std::vector<std::string>;
    for (const Args &arguments : { Args { "/PROTOKOLL:" + (folder.tree / "cargo.log") },
             Args { "/VERZEICHNIS:" + (folder.tree / "django-GO-logs") },
             Args { "/INI:" + folder.ini, "/SUBGO" } }) {
        const HeadlessRun listing = run(arguments, folder.ini);
        EXPECT_EQ(listing.exitCode, 0) << arguments[0];
        EXPECT_NE(listing.out.find("1 Dateien"), std::string::npos) << arguments[0];
    }
    EXPECT_TRUE(folder.untouched());
    EXPECT_TRUE(folder.tree.exists("django-GO-logs/Sofort.log"));
    EXPECT_FALSE(folder.tree.exists("cargo.log"));
}

TEST(Headless, FolderSwitchCleansExactlyThatFolderInsteadOfTheList)
{
    const OldFolder folder;
    folder.tree.writeFile("other/Alt.log");
    folder.tree.setModified("other/Alt.log", 0);
    const HeadlessRun go
        = run({ "/ID:1", "/Verzeichnis:" + (folder.tree / "other"), "/id:1", "go" }, folder.ini);
    EXPECT_EQ(go.exitCode, 0);
    EXPECT_EQ(go.err, "");
    EXPECT_FALSE(folder.tree.exists("other/Alt.log"));
    EXPECT_TRUE(folder.tree.exists("data/old.log"));
    EXPECT_NE(
        folder.tree.readLog("run.log").find(withSystemSeparators(folder.tree / "other/Alt.log")),
        std::string::npos);
}

TEST(Headless, SettingsFileThatIsAPipeIsAnErrorNotAWait)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no pipes in the file system";
#else
    const OldFolder folder;
    const std::string pipe = folder.tree / "pipe.ini";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::vector<std::string> &arguments :
        { std::vector<std::string> { "GO" }, { "GO", "/INI:" + pipe } }) {
        const HeadlessRun failed = run(arguments, pipe);
        EXPECT_EQ(failed.exitCode, 1);
        EXPECT_EQ(failed.err, "Ablagekehrer: " + pipe + ": Keine gewöhnliche Datei.\n");
    }
    EXPECT_TRUE(folder.untouched());
#endif
}

TEST(Headless, NoFolderToCleanIsAnErrorThatNamesIt)
{
    const OldFolder folder;
    folder.tree.writeFile("empty.ini", "[Pfade]\n1=*\n");
    folder.tree.writeFile(
        "nul-byte.ini", "[Pfade]\n1=" + (folder.tree / "data") + std::string(1, '\0') + "x\n");
    folder.tree.writeFile("file");
    const std::string missing = withSystemSeparators(folder.tree / "missing/");
    struct Case
    {
        std::vector<std::string> arguments;
        std::string settings;
        std::string err;
    };
    const Case cases[] = {
        { { "/VERZEICHNIS:" + missing, "GO" }, folder.ini, missing + ": Ungültiger Dateiname." },
        { { "/VERZEICHNIS:" + (folder.tree / "file"), "/LISTE" }, folder.ini,
            withSystemSeparators(folder.tree / "file/") + ": Ungültiger Dateiname." },
        { { "/ID:7", "GO" }, folder.ini,
            folder.ini + ": Kein Verzeichnis Nr. 7 unter [Pfade] (1 eingetragen)" },
        { { "GO" }, folder.tree / "empty.ini",
            (folder.tree / "empty.ini") + ": Kein Verzeichnis unter [Pfade] eingetragen." },
        { { "/SUB" }, "",
            "Kein Verzeichnis: keine Einstellungsdatei gefunden und kein /VERZEICHNIS: "
            "angegeben." },
        { { "GO", "/INI:" + (folder.tree / "missing.ini") }, folder.ini,
            (folder.tree / "missing.ini") + ": Ungültiger Dateiname." },
        // A NUL byte in a settings value would cut the path and clean another folder.
        { { "GO" }, folder.tree / "nul-byte.ini",
            withSystemSeparators(folder.tree / "data?x/") + ": Ungültiger Dateiname." },
    };
    for (const Case &c : cases) {
        const HeadlessRun failed = run(c.arguments, c.settings);
        EXPECT_EQ(failed.exitCode, 1) << c.err;
        EXPECT_EQ(failed.out, "") << c.err;
        EXPECT_EQ(failed.err, "Ablagekehrer: " + c.err + "\n");
        // Nobody reads an unattended run's standard error: its error is an event as well.
        const bool unattended = std::count(c.arguments.begin(), c.arguments.end(), "GO") == 1;
        const Events expected = unattended
            ? Events { { platform::EventKind::Error, "Ablagekehrer: " + c.err } }
            : Events {};
        EXPECT_EQ(failed.events, expected);
        EXPECT_TRUE(folder.untouched()) << c.err;
    }
}

TEST(Headless, FilesThatMayNotBeDeletedAreNamedAndFailTheRun)
{
    const OldFolder folder;
    folder.tree.writeFile("data/other.log");
    folder.tree.setModified("data/other.log", 0);
#ifdef _WIN32
    // Windows deletes no read-only file.
    for (const char *name : { "data/old.log", "data/other.log" }) {
        ASSERT_TRUE(SetFileAttributesW(
            platform::win32::longPath(folder.tree / name).c_str(), FILE_ATTRIBUTE_READONLY));
    }
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    const int code = startup::runHeadless(
        startup::parseCommandLine({ "GO" }), folder.ini, platform::germanFormats(), out, err);
#else
    // Root may delete anything: the run is made by a user who may not, in a child process when
    // the test runs as root.
    ASSERT_EQ(chmod(folder.tree.path().c_str(), 0777), 0);
    ASSERT_EQ(chmod((folder.tree / "data").c_str(), 0555), 0);
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    int code = -1;
    if (geteuid() == 0) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(99);
            _exit(startup::runHeadless(startup::parseCommandLine({ "GO" }), folder.ini,
                platform::germanFormats(), out, err));
        }
        int status = 0;
        waitpid(child, &status, 0);
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
        code = startup::runHeadless(
            startup::parseCommandLine({ "GO" }), folder.ini, platform::germanFormats(), out, err);
    }
    chmod((folder.tree / "data").c_str(), 0755);
    ASSERT_NE(code, 99) << "no user to run as";
#endif
    EXPECT_EQ(code, 1);
    EXPECT_EQ(readAndClose(out), "");
    const std::string errors = readAndClose(err);
    for (const char *name : { "data/old.log", "data/other.log" }) {
        EXPECT_TRUE(folder.tree.exists(name));
        const std::string line = "Ablagekehrer: " + withSystemSeparators(folder.tree / name)
            + ": nicht gelöscht: Dateizugriff verweigert.\n";
        EXPECT_NE(errors.find(line), std::string::npos) << errors;
    }
    const std::string log = folder.tree.readLog("run.log");
    EXPECT_NE(log.find(withSystemSeparators(folder.tree / "data/old.log")
                  + " (nicht gelöscht: Dateizugriff verweigert)"),
        std::string::npos)
        << log;
}

TEST(Headless, RunsEveryFolderByItsOwnRuleAndGoesOnPastOneThatFails)
{
    TempTree tree;
    const std::time_t old = localEpoch(2020, 1, 1, 12);
    for (const char *name : { "logs/a.log", "logs/b.txt", "backups/1.tar", "backups/2.tar" }) {
        tree.writeFile(name);
        tree.setModified(name, old);
    }
    tree.setModified("backups/2.tar", old + 60);
    tree.writeFile("a.ini",
        "[Pfade]\n1=" + (tree / "logs") + "\n2=" + (tree / "fehlt") + "\n3=" + (tree / "backups")
            + "\n[Pfad 1]\nMuster=*.log\nProtokoll=" + (tree / "logs.log")
            + "\n[Pfad 3]\nAnzahl=1\n[Optionen]\nTage=30\nProtokoll=" + (tree / "run.log") + "\n");
    const std::string missing
        = "Ablagekehrer: " + withSystemSeparators(tree / "fehlt/") + ": Ungültiger Dateiname.\n";

    // Each folder's listing in turn, an empty line between them; the missing one on standard
    // error.
    const HeadlessRun listing = run({ "/LISTE", "/ALLE" }, tree / "a.ini");
    EXPECT_EQ(listing.exitCode, 1);
    EXPECT_EQ(listing.err, missing);
    const std::string header = "Dateiname\tGröße\tDatum\tUhrzeit\tVerzeichnis\n";
    EXPECT_EQ(listing.out,
        header + "a.log\t0 kb\t01.01.2020\t12:00:00\t" + withSystemSeparators(tree / "logs/")
            + "\n1 Dateien\t0 KB Gesamt\n\n" + header + "1.tar\t\t20200101\t120000\t"
            + withSystemSeparators(tree / "backups/") + "\n1 Dateien\t\n");

    // A switch that chooses a folder or its rule is refused before anything happens.
    for (const char *perFolder : { "/TAGE:5", "/ID:1", "/MUSTER:*", "/SUB", "/LEEREORDNER" }) {
        const HeadlessRun refused = run({ "GO", "/ALLE", perFolder }, tree / "a.ini");
        EXPECT_EQ(refused.exitCode, 2) << perFolder;
        EXPECT_EQ(refused.err,
            "Ablagekehrer: '" + std::string(perFolder)
                + "' gilt einem Verzeichnis und ist mit /ALLE nicht kombinierbar (siehe "
                  "--help)\n");
    }
    EXPECT_TRUE(tree.exists("logs/a.log"));

    // Each folder deletes by its rule into its own log.
    const HeadlessRun go = run({ "GO", "/alle" }, tree / "a.ini");
    EXPECT_EQ(go.exitCode, 1);
    EXPECT_EQ(go.err, missing);
    EXPECT_FALSE(tree.exists("logs/a.log"));
    EXPECT_TRUE(tree.exists("logs/b.txt"));
    EXPECT_FALSE(tree.exists("backups/1.tar"));
    EXPECT_TRUE(tree.exists("backups/2.tar"));
    EXPECT_NE(tree.readLog("logs.log").find("a.log"), std::string::npos);
    EXPECT_EQ(tree.readLog("logs.log").find("1.tar"), std::string::npos);
    EXPECT_NE(tree.readLog("run.log").find("1.tar"), std::string::npos);
}
