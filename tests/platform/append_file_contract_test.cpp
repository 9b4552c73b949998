// What the locked log file promises on every system, tested against the portable temporary tree.
#include "platform/append_file.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

using platform::ErrorKind;
using platform::SystemError;
using testing_support::TempTree;

namespace {

// The system's own numbers for the failures below.
#ifdef _WIN32
constexpr int kLocked = ERROR_SHARING_VIOLATION;
constexpr int kTooLong = ERROR_FILENAME_EXCED_RANGE;
constexpr int kNoFolder = ERROR_PATH_NOT_FOUND;
constexpr int kIsFolder = ERROR_ACCESS_DENIED;
constexpr SystemError kCutByNul { ErrorKind::BadName, ERROR_INVALID_NAME };
#else
constexpr int kLocked = EWOULDBLOCK;
constexpr int kTooLong = ENAMETOOLONG;
constexpr int kNoFolder = ENOENT;
constexpr int kIsFolder = EISDIR;
constexpr SystemError kCutByNul { ErrorKind::NotFound, ENOENT };
#endif

} // namespace

TEST(AppendFileContract, AppendsInOrderKeepingEveryByte)
{
    // Two runs, one after the other: the second appends after the first, and line ends, umlauts
    // and a line written in one piece arrive exactly as given.
    TempTree tree;
    const std::string log = tree / "run.log";
    {
        platform::LockedAppendFile file;
        ASSERT_EQ(file.open(log), SystemError {});
        EXPECT_EQ(file.append("\r\nStart der Dateilöschung von 2 Dateien\r\n"), SystemError {});
        std::size_t whole = 0;
        EXPECT_EQ(file.appendLines("a.log\r\nb.log\r\n", whole), SystemError {});
        EXPECT_EQ(whole, 14U);
        EXPECT_EQ(file.close(), SystemError {});
    }
    platform::LockedAppendFile again;
    ASSERT_EQ(again.open(log), SystemError {});
    EXPECT_EQ(again.append("\r\nc.log\r\n"), SystemError {});
    again.close();
    EXPECT_EQ(tree.readLog("run.log"),
        "\r\nStart der Dateilöschung von 2 Dateien\r\na.log\r\nb.log\r\n\r\nc.log\r\n");
}

TEST(AppendFileContract, ASecondRunFindsTheLogInUseUntilTheFirstCloses)
{
    TempTree tree;
    const std::string log = tree / "run.log";
    platform::LockedAppendFile first;
    ASSERT_EQ(first.open(log), SystemError {});
    platform::LockedAppendFile second;
    EXPECT_EQ(second.open(log), (SystemError { ErrorKind::InUse, kLocked }));
    // Others may still read what the run writes.
    EXPECT_EQ(first.append("x\r\n"), SystemError {});
    EXPECT_EQ(tree.readLog("run.log"), "x\r\n");
    first.close();
    EXPECT_EQ(second.open(log), SystemError {});
}

TEST(AppendFileContract, RefusesWhatCannotBeALog)
{
    TempTree tree;
    tree.makeDirectory("sub");
    const struct
    {
        std::string path;
        SystemError error;
    } cases[] = {
        { std::string(platform::LockedAppendFile::kMaxPathLength + 1, 'a'),
            { ErrorKind::BadName, kTooLong } },
        { testing_support::withSystemSeparators(tree / "missing/run.log"),
            { ErrorKind::NotFound, kNoFolder } },
        // A folder of that name is no file to append to.
        { tree / "sub", { ErrorKind::AccessDenied, kIsFolder } },
        // A NUL byte would cut the path short and name another file.
        { tree / std::string("run\0.log", 8), kCutByNul },
    };
    for (const auto &c : cases) {
        platform::LockedAppendFile file;
        EXPECT_EQ(file.open(c.path), c.error) << c.path.substr(0, 80);
    }
    EXPECT_FALSE(tree.exists("run"));
}
