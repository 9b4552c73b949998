#include "platform/environment.h"
#include "platform/program_arguments.h"
#include "platform/program_path.h"
#include "platform/win32/command_line_text.h"
#include "platform/win32/wide_text.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(Environment, ReadsVariablesInUtf8)
{
    SetEnvironmentVariableW(L"ABLAGE_TEST_VALUE", L"C:\\Gr\u00F6\u00DFe\\\xD800");
    SetEnvironmentVariableW(L"ABLAGE_TEST_LONG", std::wstring(1000, L'x').c_str());
    SetEnvironmentVariableW(L"ABLAGE_TEST_MISSING", nullptr);
    EXPECT_EQ(platform::environmentValue("ABLAGE_TEST_VALUE"), "C:\\Gr\u00F6\u00DFe\\\xED\xA0\x80");
    EXPECT_EQ(platform::environmentValue("ABLAGE_TEST_LONG"), std::string(1000, 'x'));
    EXPECT_EQ(platform::environmentValue("ABLAGE_TEST_MISSING"), std::nullopt);
    SetEnvironmentVariableW(L"ABLAGE_TEST_VALUE", nullptr);
    SetEnvironmentVariableW(L"ABLAGE_TEST_LONG", nullptr);
}

TEST(Environment, PathExistsReachesLongPathsAndEveryName)
{
    const testing_support::TempTree tree;
    const std::string deep = std::string(120, 'a') + "/" + std::string(120, 'b') + "/"
        + std::string(120, 'c') + "/\xC3\xA4rger.log";
    tree.writeFile(deep);
    EXPECT_GT((tree / deep).size(), 260u);
    EXPECT_TRUE(platform::pathExists(tree / deep));
    EXPECT_TRUE(platform::pathExists(tree.path()));
    // A name the ANSI code page cannot hold.
    tree.writeFile("\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80.log");
    EXPECT_TRUE(platform::pathExists(tree / "\xD0\x96\xE2\x82\xAC\xF0\x9F\x98\x80.log"));
    // A name ending in a dot, which only the extended form reaches.
    tree.writeFile("punkt.");
    EXPECT_TRUE(platform::pathExists(tree / "punkt."));
    EXPECT_FALSE(platform::pathExists(tree / "punkt"));
    EXPECT_FALSE(platform::pathExists(tree / "missing"));
    EXPECT_FALSE(platform::pathExists(""));
    EXPECT_FALSE(platform::pathExists(std::string(tree / deep) + std::string(1, '\0') + "x"));
}

TEST(Environment, OnlyTheVisibleWindowStationHasADisplay)
{
    // The interactive station, which a logged-on user (and every program under Wine) runs in.
    const HWINSTA interactive = GetProcessWindowStation();
    wchar_t name[64] {};
    GetUserObjectInformationW(interactive, UOI_NAME, name, sizeof name, nullptr);
    if (std::wstring_view(name) == L"WinSta0") {
        EXPECT_TRUE(platform::hasDisplay());
    }

    // A Task Scheduler job that runs whether or not a user is logged on gets a window station of
    // its own, which nobody sees; this one stands for it.
    const HWINSTA hidden
        = CreateWindowStationW(L"ablage-test-hidden", 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(hidden, nullptr) << GetLastError();
    ASSERT_TRUE(SetProcessWindowStation(hidden));
    EXPECT_FALSE(platform::hasDisplay());
    SetProcessWindowStation(interactive);
    CloseWindowStation(hidden);
}

TEST(ProgramPath, IsThisExecutable)
{
    const std::string path = platform::ownExecutablePath();
    EXPECT_TRUE(path.ends_with("\\platform_tests.exe")) << path;
    EXPECT_TRUE(platform::pathExists(path));
}

TEST(ProgramArguments, TheCommandLineWithoutTheProgramPath)
{
    struct Case
    {
        const char *line;
        const char *expected;
    };
    const Case cases[] = {
        { "C:\\bin\\ablagekehrer.exe /TAGE:5 GO", "/TAGE:5 GO" },
        { "\"C:\\Program Files\\Ablage\\ablagekehrer.exe\"  \t\"/PROTOKOLL:C:\\a b.log\"",
            "\"/PROTOKOLL:C:\\a b.log\"" },
        // The path ends at its closing quote even where no blank follows.
        { "\"C:\\x y\\a.exe\"GO", "GO" },
        { "ablagekehrer.exe", "" },
        { "ablagekehrer.exe   ", "" },
        { "\"C:\\unclosed quote GO", "" },
        { "", "" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(platform::win32::afterProgramPath(c.line), c.expected) << c.line;

    // This process was started by its path alone.
    const platform::ProgramArguments arguments = platform::programArguments(0, nullptr);
    EXPECT_TRUE(arguments.split.empty());
    EXPECT_EQ(arguments.unsplit, "");
}
