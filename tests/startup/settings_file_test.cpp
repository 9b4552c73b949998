#include "core/errors.h"
#include "core/messages.h"
#include "platform/environment.h"
#include "startup/settings_file.h"
#include "support/temp_tree.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using startup::readSettings;
using testing_support::withSystemSeparators;

TEST(SettingsFile, PathIsTheProgramPathWithIni)
{
    const std::pair<const char *, const char *> cases[] = { { "build/ablagekehrer",
                                                                "build/ablagekehrer.ini" },
        { "/opt/a.b/prog.exe", "/opt/a.b/prog.ini" }, { "/opt/a.b/prog", "/opt/a.b/prog.ini" },
        { "/x/.hidden", "/x/.hidden.ini" }, { "/x/.hidden.cfg", "/x/.hidden.ini" } };
    for (const auto &[program, expected] : cases) {
        EXPECT_EQ(startup::settingsFilePathFor(withSystemSeparators(program)),
            withSystemSeparators(expected))
            << program;
    }
}

TEST(SettingsFile, DirectoryListEndsAtTheFirstGapStarOrEmptyValue)
{
    using Dirs = std::vector<std::string>;
    const std::pair<const char *, Dirs> cases[] = { { "1=/a\n3=/c\n", { "/a/" } },
        { "1=/a/\n2=b\n3=*\n4=/d\n", { "/a/", "b/" } }, { "1=/a\n2=\n3=/c\n", { "/a/" } } };
    const testing_support::TempTree tree;
    EXPECT_TRUE(readSettings(tree / "none.ini").directories.empty());
    for (const auto &[pfade, expected] : cases) {
        tree.writeFile("p.ini", "[Pfade]\n" + withSystemSeparators(pfade));
        Dirs expectedHere;
        for (const std::string &directory : expected)
            expectedHere.push_back(withSystemSeparators(directory));
        EXPECT_EQ(readSettings(tree / "p.ini").directories, expectedHere) << pfade;
    }
#ifdef _WIN32
    // Windows takes either separator at the end: none is added after a "/".
    tree.writeFile("p.ini", "[Pfade]\n1=data/\n2=C:/x\n");
    EXPECT_EQ(readSettings(tree / "p.ini").directories, (Dirs { "data/", "C:/x\\" }));
#endif
}

TEST(SettingsFile, DayCountFallsBackOnlyWhenNotAnInteger)
{
    const testing_support::TempTree tree;
    EXPECT_EQ(readSettings(tree / "none.ini").dayCount, 35);
    EXPECT_EQ(readSettings(tree / "none.ini").logFileName, "");
    const std::pair<const char *, std::int32_t> cases[]
        = { { "0x1E", 30 }, { "0", 0 }, { "-5", -5 }, { "abc", 35 }, { "7 days", 35 } };
    for (const auto &[tage, expected] : cases) {
        tree.writeFile("o.ini", std::string("[Optionen]\nProtokoll=/var/App.log\nTage=") + tage);
        EXPECT_EQ(readSettings(tree / "o.ini").dayCount, expected) << tage;
        EXPECT_EQ(readSettings(tree / "o.ini").logFileName, "/var/App.log");
    }
}

#ifndef _WIN32
namespace {

// Sets an environment variable for one scope, or unsets it, and puts the old value back.
class ScopedVariable
{
public:
    ScopedVariable(const char *name, const std::optional<std::string> &value)
        : m_name(name)
    {
        if (const char *old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

} // namespace
#endif

TEST(SettingsFile, IsSearchedBesideTheProgramThenForTheUserThenForTheSystem)
{
    const testing_support::TempTree tree;
    const std::string program = withSystemSeparators(tree / "bin/ablagekehrer");
    const std::string beside = withSystemSeparators(tree / "bin/ablagekehrer.ini");
#ifdef _WIN32
    // The shell's known folders are the ones the environment names for the user and the machine.
    const std::string user
        = *platform::environmentValue("APPDATA") + "\\Ablagekehrer\\ablagekehrer.ini";
    const std::string machine
        = *platform::environmentValue("ProgramData") + "\\Ablagekehrer\\ablagekehrer.ini";
    EXPECT_EQ(startup::settingsSearchPath(program), (std::vector { beside, user, machine }));
    EXPECT_EQ(startup::settingsSearchPath(""), (std::vector { user, machine }));
    ASSERT_FALSE(platform::pathExists(user) || platform::pathExists(machine));
    EXPECT_EQ(startup::findSettingsFile(program), "");
    tree.writeFile("bin/ablagekehrer.ini");
    EXPECT_EQ(startup::findSettingsFile(program), beside);
#else
    const std::string xdg = tree / "xdg/ablagekehrer/ablagekehrer.ini";
    const std::string home = tree / "home/.config/ablagekehrer/ablagekehrer.ini";
    const std::string system = "/etc/ablagekehrer.ini";
    const ScopedVariable homeVariable("HOME", tree / "home");
    {
        const ScopedVariable config("XDG_CONFIG_HOME", tree / "xdg");
        EXPECT_EQ(startup::settingsSearchPath(program), (std::vector { beside, xdg, system }));
    }
    {
        // Unset, empty or relative: the user's configuration is in ~/.config.
        for (const std::optional<std::string> &config : { std::optional<std::string>(),
                 std::optional<std::string>(""), std::optional<std::string>("relative") }) {
            const ScopedVariable variable("XDG_CONFIG_HOME", config);
            EXPECT_EQ(startup::settingsSearchPath(program), (std::vector { beside, home, system }));
        }
    }
    EXPECT_EQ(startup::settingsSearchPath("").front(), home);

    // The first that exists is read.
    const ScopedVariable config("XDG_CONFIG_HOME", tree / "xdg");
    const bool systemHasOne = std::filesystem::exists(system);
    EXPECT_EQ(startup::findSettingsFile(program), systemHasOne ? system : "");
    tree.writeFile("xdg/ablagekehrer/ablagekehrer.ini");
    EXPECT_EQ(startup::findSettingsFile(program), xdg);
    tree.writeFile("bin/ablagekehrer.ini");
    EXPECT_EQ(startup::findSettingsFile(program), beside);
#endif
}

TEST(SettingsFile, FileThatCannotBeReadIsAnErrorThatNamesIt)
{
    const testing_support::TempTree tree;
    tree.makeDirectory("folder.ini");
    const std::pair<std::string, bool> cases[]
        = { { tree / "folder.ini", false }, { tree / "missing.ini", true } };
    for (const auto &[path, required] : cases) {
        try {
            readSettings(path, required);
            ADD_FAILURE() << path;
        } catch (const core::AppError &error) {
            EXPECT_EQ(error.path(), path);
        }
    }
    // A missing file that was only searched for gives the defaults.
    EXPECT_FALSE(readSettings(tree / "missing.ini").found);
}

#ifndef _WIN32
TEST(SettingsFile, RootRefusesAFileThatOthersMayHaveWritten)
{
    // Run by root, a settings file chooses what root deletes: one that another user owns or may
    // write, or whose folder (or a folder above it, unless sticky) another may write, is refused
    // with the reason, wherever it was found.
    if (geteuid() != 0)
        GTEST_SKIP() << "only root refuses settings files of others";
    namespace messages = core::messages;
    constexpr uid_t kOther = 65534;
    const testing_support::TempTree tree;
    const std::string folderRefused = messages::settingsFolderOthersMayWrite(tree / "d/");
    const std::string aboveRefused = messages::settingsFolderOthersMayWrite(tree.path());
    // What is done to the file "d/s.ini" (or its folder "d", or the tree above it), and the error.
    const std::pair<std::function<int()>, std::string> cases[] = {
        { [] { return 0; }, "" },
        { [&] { return chown((tree / "d/s.ini").c_str(), kOther, 0); },
            std::string(messages::kSettingsOtherOwner) },
        { [&] { return chmod((tree / "d/s.ini").c_str(), 0664); },
            std::string(messages::kSettingsOthersMayWrite) },
        { [&] { return chmod((tree / "d/s.ini").c_str(), 0646); },
            std::string(messages::kSettingsOthersMayWrite) },
        { [&] { return chmod((tree / "d").c_str(), 0777); }, folderRefused },
        { [&] { return chmod((tree / "d").c_str(), 01777); }, folderRefused },
        { [&] { return chown((tree / "d").c_str(), kOther, 0); }, folderRefused },
        { [&] { return chmod(tree.path().c_str(), 0775); }, aboveRefused },
        // Above the file's folder, a sticky folder (like /tmp) holding root's folder is safe.
        { [&] { return chmod(tree.path().c_str(), 01777); }, "" },
    };
    for (const auto &[change, refused] : cases) {
        ASSERT_EQ(chmod(tree.path().c_str(), 0700), 0);
        tree.makeDirectory("d");
        ASSERT_EQ(chmod((tree / "d").c_str(), 0755), 0);
        ASSERT_EQ(chown((tree / "d").c_str(), 0, 0), 0);
        tree.writeFile("d/s.ini", "[Pfade]\n1=/srv/alt\n");
        ASSERT_EQ(chown((tree / "d/s.ini").c_str(), 0, 0), 0);
        ASSERT_EQ(chmod((tree / "d/s.ini").c_str(), 0644), 0);
        ASSERT_EQ(change(), 0) << refused;
        try {
            EXPECT_EQ(readSettings(tree / "d/s.ini").directories.size(), 1u) << refused;
            EXPECT_EQ(refused, "");
        } catch (const core::AppError &error) {
            EXPECT_EQ(error.what(), refused);
            EXPECT_EQ(error.path(), tree / "d/s.ini");
        }
    }
}
#endif

TEST(SettingsFile, ReadsEachFoldersRuleAndRefusesOneThatCannotBeUsed)
{
    const testing_support::TempTree tree;
    const auto read = [&](const std::string &section) {
        tree.writeFile("r.ini", "[Pfade]\n1=/a\n2=/b\n[pfad 2]\n" + section);
        return readSettings(tree / "r.ini");
    };
    const startup::Settings plain = read("");
    EXPECT_EQ(plain.rules, std::vector<core::FolderRule>(2));

    core::FolderRule rule;
    rule.dayCount = 14;
    rule.includeSubdirectories = true;
    rule.patterns = core::NamePatterns::parse("*.log;*.gz", "");
    rule.exceptions = core::NamePatterns::parse("aktuell", "");
    rule.keepNewest = 3;
    rule.removeEmptiedFolders = true;
    rule.logFileName = "/var/log/b.log";
    EXPECT_EQ(read("Tage=14\nUnterverzeichnisse=1\nMuster=*.log; *.gz\nAusnahmen=aktuell\n"
                   "Behalten=3\nLeereOrdner=1\nProtokoll=/var/log/b.log\n")
                  .rules[1],
        rule);
    EXPECT_EQ(read("Anzahl=$7\n").rules[1].keepCount, 7);

    const std::pair<const char *, const char *> refused[] = {
        { "Tage=14\nAnzahl=7\n", "[Pfad 2] Tage und Anzahl sind nicht kombinierbar" },
        { "Anzahl=7\nUnterverzeichnisse=1\n",
            "[Pfad 2] Anzahl und Unterverzeichnisse sind nicht kombinierbar" },
        { "Anzahl=0\n", "[Pfad 2] Anzahl: mindestens 1" },
        { "Tage=viele\n", "[Pfad 2] Tage: 'viele' ist kein gültiger Integerwert" },
        { "Unterverzeichnisse=ja\n",
            "[Pfad 2] Unterverzeichnisse: 'ja' ist kein gültiger Integerwert" },
        { "Unterverzeichnisse=2\n", "[Pfad 2] Unterverzeichnisse: nur 0 oder 1" },
        { "Behalten=-1\n", "[Pfad 2] Behalten: nicht negativ" },
        { "LeereOrdner=ja\n", "[Pfad 2] LeereOrdner: 'ja' ist kein gültiger Integerwert" },
        { "LeereOrdner=2\n", "[Pfad 2] LeereOrdner: nur 0 oder 1" },
        { "Muster=*.log;\n", "Leeres Muster in [Pfad 2] Muster" },
        { "Ausnahmen=tmp/*\n",
            "'tmp/*' in [Pfad 2] Ausnahmen ist kein gültiges Muster: ein Muster nennt Namen, "
            "keinen Pfad" },
    };
    for (const auto &[section, message] : refused) {
        try {
            read(section);
            ADD_FAILURE() << section;
        } catch (const core::AppError &error) {
            EXPECT_STREQ(error.what(), message);
            EXPECT_EQ(error.path(), tree / "r.ini");
        }
    }
}
