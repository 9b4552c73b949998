#include "platform/profile_file.h"
#include "platform/win32/profile_text.h"
#include "platform/win32/wide_text.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

using platform::win32::profileTextAsUtf8;
using platform::win32::readProfileText;

namespace {

const std::string kUtf8Text = "[Pfade]\r\n1=C:\\Gr\u00F6\u00DFe\r\n";

} // namespace

TEST(ProfileText, EachEncodingBecomesUtf8)
{
    struct Case
    {
        std::string bytes;
        std::string text;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const Case cases[] = {
        { kUtf8Text, kUtf8Text },
        // The parser skips a UTF-8 mark itself.
        { bom + kUtf8Text, bom + kUtf8Text },
        { std::string("\xFF\xFE[\0a\0]\0\r\0\n\0x\0=\0\xE4\0\x3D\xD8\x00\xDE", 22),
            "[a]\r\nx=\xC3\xA4\xF0\x9F\x98\x80" },
        { std::string("\xFE\xFF\0[\0a\0]\0=\0\xE4", 12), "[a]=\xC3\xA4" },
        // An unpaired surrogate in a name keeps its three-byte form; an odd last byte is dropped.
        { std::string("\xFF\xFEx\0\x00\xD8y", 7), "x\xED\xA0\x80" },
        { "\xFF\xFE", "" },
        { "", "" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(profileTextAsUtf8(c.bytes), c.text) << c.bytes;
}

TEST(ProfileText, OtherTextIsReadInTheAnsiCodePage)
{
    // Wine's ANSI code page for LC_ALL=C is 1252, where 0xE4 is "ä" and 0x80 is "€".
    if (GetACP() != 1252)
        GTEST_SKIP() << "ANSI code page " << GetACP();
    EXPECT_EQ(profileTextAsUtf8("[Pfade]\r\n1=C:\\\xE4rger\x80"),
        "[Pfade]\r\n1=C:\\\xC3\xA4rger\xE2\x82\xAC");
}

TEST(ProfileText, ReadsRegularFilesOnly)
{
    const testing_support::TempTree tree;
    tree.writeFile("a.ini", std::string("\xFF\xFE[\0P\0]\0", 8));
    const std::string deep = std::string(200, 'd') + "/" + std::string(200, 'e') + "/x.ini";
    tree.writeFile(deep, kUtf8Text);
    tree.makeDirectory("folder.ini");

    platform::SystemError error;
    EXPECT_EQ(readProfileText(tree / "a.ini", error), "[P]");
    EXPECT_EQ(readProfileText(tree / deep, error), kUtf8Text);

    struct Case
    {
        std::string path;
        platform::SystemError error;
    };
    const Case cases[] = {
        { tree / "missing.ini", platform::systemError(ERROR_FILE_NOT_FOUND) },
        { tree / "missing/x.ini", platform::systemError(ERROR_PATH_NOT_FOUND) },
        { tree / "folder.ini", platform::systemError(ERROR_ACCESS_DENIED) },
        { "NUL", { platform::ErrorKind::NotARegularFile, 0 } },
        { tree / "NUL", { platform::ErrorKind::NotARegularFile, 0 } },
        { "", platform::systemError(ERROR_INVALID_NAME) },
    };
    for (const Case &c : cases) {
        error = {};
        EXPECT_EQ(readProfileText(c.path, error), std::nullopt) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
    }
}

TEST(ProfileText, OthersMayWriteTheFileMeanwhile)
{
    const testing_support::TempTree tree;
    tree.writeFile("open.ini", kUtf8Text);
    const HANDLE writer = CreateFileW(platform::win32::longPath(tree / "open.ini").c_str(),
        GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    platform::SystemError error;
    EXPECT_EQ(readProfileText(tree / "open.ini", error), kUtf8Text);
    CloseHandle(writer);
}
