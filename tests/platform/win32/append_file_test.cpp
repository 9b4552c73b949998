#include "platform/append_file.h"
#include "platform/win32/wide_text.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace {

// A fresh folder in the system's temporary folder for one test, removed with its files after it.
class LogFolder
{
public:
    LogFolder()
    {
        wchar_t temp[MAX_PATH + 1] {};
        GetTempPathW(MAX_PATH + 1, temp);
        static int s_count = 0;
        m_path = platform::win32::utf8FromWide(temp) + "ablage-log-"
            + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++s_count);
        EXPECT_TRUE(CreateDirectoryW(platform::win32::longPath(m_path).c_str(), nullptr));
    }
    ~LogFolder()
    {
        for (const std::string &name : m_files)
            DeleteFileW(platform::win32::longPath(m_path + "\\" + name).c_str());
        RemoveDirectoryW(platform::win32::longPath(m_path).c_str());
    }
    LogFolder(const LogFolder &) = delete;
    LogFolder &operator=(const LogFolder &) = delete;

    std::string path(const std::string &name)
    {
        m_files.push_back(name);
        return m_path + "\\" + name;
    }

    std::string read(const std::string &name)
    {
        const HANDLE file = CreateFileW(platform::win32::longPath(m_path + "\\" + name).c_str(),
            GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return "(missing)";
        std::string bytes(1 << 16, '\0');
        DWORD got = 0;
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(file);
        bytes.resize(got);
        return bytes;
    }

private:
    std::string m_path;
    std::vector<std::string> m_files;
};

} // namespace

TEST(LockedAppendFile, AppendsInOrderKeepingEveryByte)
{
    // Two runs, one after the other: the second appends after the first, and line ends, umlauts
    // and a line written in one piece arrive exactly as given.
    LogFolder folder;
    const std::string log = folder.path("run.log");
    {
        platform::LockedAppendFile file;
        ASSERT_EQ(file.open(log), platform::SystemError {});
        EXPECT_EQ(
            file.append("\r\nStart der Dateilöschung von 2 Dateien\r\n"), platform::SystemError {});
        std::size_t whole = 0;
        EXPECT_EQ(file.appendLines("a.log\r\nb.log\r\n", whole), platform::SystemError {});
        EXPECT_EQ(whole, 14U);
        EXPECT_EQ(file.close(), platform::SystemError {});
    }
    platform::LockedAppendFile again;
    ASSERT_EQ(again.open(log), platform::SystemError {});
    EXPECT_EQ(again.append("\r\nc.log\r\n"), platform::SystemError {});
    again.close();
    EXPECT_EQ(folder.read("run.log"),
        "\r\nStart der Dateilöschung von 2 Dateien\r\na.log\r\nb.log\r\n\r\nc.log\r\n");
}

TEST(LockedAppendFile, WritesALogFarBelowTheOldPathLimit)
{
    LogFolder folder;
    const std::string deep = folder.path(std::string(200, 'f'));
    ASSERT_TRUE(CreateDirectoryW(platform::win32::longPath(deep).c_str(), nullptr));
    const std::string log = deep + "\\" + std::string(100, 'l') + ".log";
    ASSERT_GT(log.size(), 300U);
    {
        platform::LockedAppendFile file;
        ASSERT_EQ(file.open(log), platform::SystemError {});
        EXPECT_EQ(file.append("x\r\n"), platform::SystemError {});
    }
    EXPECT_EQ(folder.read(std::string(200, 'f') + "\\" + std::string(100, 'l') + ".log"), "x\r\n");
    DeleteFileW(platform::win32::longPath(log).c_str());
    RemoveDirectoryW(platform::win32::longPath(deep).c_str());
}

TEST(LockedAppendFile, SecondOpenerFindsTheLogInUse)
{
    LogFolder folder;
    const std::string log = folder.path("run.log");
    platform::LockedAppendFile first;
    ASSERT_EQ(first.open(log), platform::SystemError {});
    platform::LockedAppendFile second;
    EXPECT_EQ(second.open(log), (platform::SystemError { platform::ErrorKind::InUse, 32 }));
    // Others may still read what the run writes.
    EXPECT_EQ(first.append("x\r\n"), platform::SystemError {});
    EXPECT_EQ(folder.read("run.log"), "x\r\n");
    // Closing releases the lock.
    first.close();
    EXPECT_EQ(second.open(log), platform::SystemError {});
}

TEST(LockedAppendFile, RefusesWhatCannotBeALog)
{
    LogFolder folder;
    const std::string tooLong(platform::LockedAppendFile::kMaxPathLength + 1, 'a');
    const std::string folderItself = folder.path("sub");
    ASSERT_TRUE(CreateDirectoryW(platform::win32::longPath(folderItself).c_str(), nullptr));
    const struct
    {
        std::string path;
        platform::ErrorKind kind;
        int code;
    } cases[] = {
        { tooLong, platform::ErrorKind::BadName, ERROR_FILENAME_EXCED_RANGE },
        { folder.path("missing\\run.log"), platform::ErrorKind::NotFound, ERROR_PATH_NOT_FOUND },
        // A folder of that name is no file to append to.
        { folderItself, platform::ErrorKind::AccessDenied, ERROR_ACCESS_DENIED },
        { std::string("run\0.log", 8), platform::ErrorKind::BadName, ERROR_INVALID_NAME },
    };
    for (const auto &c : cases) {
        platform::LockedAppendFile file;
        EXPECT_EQ(file.open(c.path), (platform::SystemError { c.kind, c.code })) << c.path;
    }
    RemoveDirectoryW(platform::win32::longPath(folderItself).c_str());
}
