#include "platform/win32/wide_text.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace platform::win32;

TEST(WideText, EveryWindowsNameSurvivesTheRoundTrip)
{
    struct Case
    {
        std::wstring wide;
        std::string utf8;
    };
    const Case cases[] = {
        { L"", "" },
        { L"alt.log", "alt.log" },
        { L"Gr\u00F6\u00DFe \u20AC", "Gr\u00F6\u00DFe \u20AC" },
        // A character beyond the first plane is a surrogate pair in UTF-16, four bytes in UTF-8.
        { L"\xD83D\xDE00", "\xF0\x9F\x98\x80" },
        // Windows allows unpaired surrogates in names: each keeps its three-byte form.
        { L"a\xD800z", "a\xED\xA0\x80z" },
        { L"\xDC00", "\xED\xB0\x80" },
        { L"\xDBFF", "\xED\xAF\xBF" },
        // A low surrogate before a high one pairs with nothing.
        { L"\xDC00\xD800", "\xED\xB0\x80\xED\xA0\x80" },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(utf8FromWide(c.wide), c.utf8);
        EXPECT_EQ(wideFromUtf8(c.utf8), c.wide) << c.utf8;
    }
}

TEST(WideText, BytesThatAreNoUtf8BecomeReplacementCharacters)
{
    struct Case
    {
        std::string utf8;
        std::wstring wide;
    };
    const Case cases[] = {
        { "\xE4rger", L"\xFFFDrger" }, // Latin-1, not UTF-8
        { "\xC0\xAF", L"\xFFFD\xFFFD" }, // overlong "/"
        { "\xE2\x82", L"\xFFFD\xFFFD" }, // cut short
        { "\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD" }, // beyond U+10FFFF
        { "a\xFFz", L"a\xFFFDz" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(wideFromUtf8(c.utf8), c.wide) << c.utf8;

    EXPECT_TRUE(isValidUtf8("Gr\u00F6\u00DFe \U0001F600"));
    EXPECT_FALSE(isValidUtf8("Gr\xF6\xDF!"));
    // Surrogates are WTF-8, not UTF-8: text holding them is read in the ANSI code page.
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
}

TEST(WideText, LongPathsTakeTheExtendedForm)
{
    struct Case
    {
        std::string path;
        std::wstring expected;
    };
    const Case cases[] = {
        { "C:\\daten\\alt.log", L"\\\\?\\C:\\daten\\alt.log" },
        { "C:/daten/./alt/../log/", L"\\\\?\\C:\\daten\\log\\" },
        { "C:\\\\a\\\\b", L"\\\\?\\C:\\a\\b" },
        { "C:\\", L"\\\\?\\C:\\" },
        { "C:\\a\\..\\..\\b", L"\\\\?\\C:\\b" },
        // The extended form keeps what the system would drop: final dots and blanks of a name.
        { "C:\\name. \\x.", L"\\\\?\\C:\\name. \\x." },
        { "\\\\server\\share\\logs", L"\\\\?\\UNC\\server\\share\\logs" },
        { "//server/share/a/../../b", L"\\\\?\\UNC\\server\\share\\b" },
        { "\\\\?\\C:\\a\\..\\b", L"\\\\?\\C:\\a\\..\\b" },
        { "\\\\.\\pipe\\ablage", L"\\\\.\\pipe\\ablage" },
        // Device names name the device in every folder.
        { "NUL", L"\\\\.\\NUL" },
        { "C:\\daten\\con", L"\\\\.\\con" },
        { "", L"" },
        { std::string("C:\\a\0b", 6), L"" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(longPath(c.path), c.expected) << c.path;

    // A relative path is taken from the current folder.
    wchar_t current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_GT(length, 0u);
    std::wstring folder(current, length);
    if (!folder.ends_with(L'\\'))
        folder += L'\\';
    EXPECT_EQ(longPath("sub/x.txt"), extendedLengthForm(folder + L"sub\\x.txt"));
    EXPECT_EQ(longPath("./sub/x. "), extendedLengthForm(folder + L"sub\\x. "));
    EXPECT_EQ(longPath(".."), extendedLengthForm(folder + L".."));
    EXPECT_EQ(longPath("\\top"), extendedLengthForm(folder.substr(0, 2) + L"\\top"));

    const std::string deep = "C:\\" + std::string(300, 'a') + "\\" + std::string(300, 'b');
    EXPECT_EQ(longPath(deep), L"\\\\?\\" + wideFromUtf8(deep));
}
