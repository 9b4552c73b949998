#include "platform/standard_output.h"

#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

namespace {

// Umlauts, a script no OEM code page holds, and a character beyond U+FFFF.
const std::string kText = "Gr\xC3\xB6\xC3\x9F"
                          "e \xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82 \xF0\x9F\x98\x80";
const std::wstring kShown = L"Gr\u00F6\u00DFe \u03BB\u03CC\u03B3\u03BF\u03C2 \xD83D\xDE00";

} // namespace

TEST(WriteOutput, AConsoleShowsTheCharactersWhateverItsCodePage)
{
    // A console of our own: the one Wine gives a program without a terminal takes no output, and
    // without a display Wine makes a console only with its null display driver.
    FreeConsole();
    const HANDLE screen = AllocConsole()
        ? CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr)
        : INVALID_HANDLE_VALUE;
    DWORD probed = 0;
    if (screen == INVALID_HANDLE_VALUE || !WriteConsoleW(screen, L"\r", 1, &probed, nullptr))
        GTEST_SKIP() << "no console to write to here (Wine: set its display driver to null)";
    // The code page that made every umlaut of the bytes written before wrong.
    SetConsoleOutputCP(850);
    std::FILE *console
        = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(screen), _O_WRONLY), "w");
    ASSERT_NE(console, nullptr);

    // What the stream already holds comes first.
    std::fputs("1 ", console);
    ASSERT_TRUE(platform::writeOutput(console, kText + "\n"));
    wchar_t shown[64] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadConsoleOutputCharacterW(
        screen, shown, static_cast<DWORD>(2 + kShown.size()), {}, &read));
    EXPECT_EQ(std::wstring(shown, read), L"1 " + kShown);
    std::fclose(console);
    FreeConsole();
}
