#include "startup/settings_file.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

using startup::readSettings;

TEST(SettingsFile, PathIsTheProgramPathWithIni)
{
    const std::pair<const char *, const char *> cases[] = { { "build/ablagekehrer",
                                                                "build/ablagekehrer.ini" },
        { "/opt/a.b/prog.exe", "/opt/a.b/prog.ini" }, { "/opt/a.b/prog", "/opt/a.b/prog.ini" },
        { "/x/.hidden", "/x/.hidden.ini" }, { "/x/.hidden.cfg", "/x/.hidden.ini" } };
    for (const auto &[program, expected] : cases)
        EXPECT_EQ(startup::settingsFilePathFor(program), expected) << program;
}

TEST(SettingsFile, DirectoryListEndsAtTheFirstGapStarOrEmptyValue)
{
    using Dirs = std::vector<std::string>;
    const std::pair<const char *, Dirs> cases[] = { { "1=/a\n3=/c\n", { "/a/" } },
        { "1=/a/\n2=b\n3=*\n4=/d\n", { "/a/", "b/" } }, { "1=/a\n2=\n3=/c\n", { "/a/" } } };
    const testing_support::TempTree tree;
    EXPECT_TRUE(readSettings(tree / "none.ini").directories.empty());
    for (const auto &[pfade, expected] : cases) {
        tree.writeFile("p.ini", std::string("[Pfade]\n") + pfade);
        EXPECT_EQ(readSettings(tree / "p.ini").directories, expected) << pfade;
    }
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
