// What the locked log file meets only on Windows: paths beyond the old length limit, and logs in
// the system's code page beside those an earlier build wrote in UTF-8.
#include "platform/append_file.h"
#include "platform/win32/log_encoding.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <windows.h>

TEST(LockedAppendFile, WritesALogFarBelowTheOldPathLimit)
{
    testing_support::TempTree tree;
    const std::string relative = std::string(200, 'f') + "\\" + std::string(100, 'l') + ".log";
    tree.makeDirectory(std::string(200, 'f'));
    const std::string log = tree / relative;
    ASSERT_GT(log.size(), 300U);
    {
        platform::LockedAppendFile file;
        ASSERT_EQ(file.open(log), platform::SystemError {});
        EXPECT_EQ(file.append("x\r\n"), platform::SystemError {});
    }
    EXPECT_EQ(tree.readFile(relative), "x\r\n");
}

TEST(LockedAppendFile, AppendsInTheEncodingTheLogHas)
{
    const std::string line = "Start der Dateil\xC3\xB6schung: \xE2\x98\xBA.txt\r\n";
    std::string inCodePage;
    platform::win32::appendInCodePage(inCodePage, line, GetACP());
    struct Case
    {
        const char *what;
        std::optional<std::string> before;
        std::string appended;
    };
    const Case cases[] = {
        { "new", std::nullopt, inCodePage },
        { "empty", "", inCodePage },
        { "in the code page", "Dateil\xF6schung\r\n", inCodePage },
        { "UTF-8", "Dateil\xC3\xB6schung\r\n", line },
        { "UTF-8 with its mark", "\xEF\xBB\xBF\r\nDatei\r\n", line },
    };
    for (const Case &c : cases) {
        const testing_support::TempTree tree;
        if (c.before)
            tree.writeFile("p.log", *c.before);
        {
            platform::LockedAppendFile file;
            ASSERT_EQ(file.open(tree / "p.log"), platform::SystemError {});
            EXPECT_EQ(file.append(line), platform::SystemError {});
        }
        EXPECT_EQ(tree.readFile("p.log"), c.before.value_or("") + c.appended) << c.what;
    }
}
