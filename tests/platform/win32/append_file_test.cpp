// What the locked log file meets only on Windows: paths beyond the old length limit.
#include "platform/append_file.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <string>

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
