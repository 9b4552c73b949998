#include "platform/win32/log_encoding.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace platform::win32;

TEST(LogEncoding, AnExistingLogKeepsItsEncodingAndANewOneTakesTheSystems)
{
    struct Case
    {
        std::string head;
        bool whole;
        unsigned codePage;
    };
    const Case cases[] = {
        { "", true, 1252 },
        { "\r\nStart der Dateil\xF6schung von 2 Dateien\r\n", true, 1252 },
        { "\r\nStart der Dateil\xC3\xB6schung von 2 Dateien\r\n", true, CP_UTF8 },
        { "\xEF\xBB\xBF\r\nStart\r\n", true, CP_UTF8 },
        // Plain ASCII reads the same in either: the system's code page goes on.
        { "\r\nStart\r\n", true, 1252 },
        // A head cut inside a character is judged by its whole lines.
        { "\xC3\xB6\r\n\xC3", false, CP_UTF8 },
        { "\xC3\xB6\r\n\xC3", true, 1252 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(logCodePage(c.head, c.whole, 1252), c.codePage) << c.head;
}

TEST(LogEncoding, ACharacterTheCodePageLacksIsWrittenAsItsCode)
{
    const std::pair<std::string, std::string> cases[] = {
        { "C:\\Daten\\\xC3\xA4lter \xE2\x82\xAC.txt\r\n", "C:\\Daten\\\xE4lter \x80.txt\r\n" },
        { "\xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82.txt",
            "<U+03BB><U+03CC><U+03B3><U+03BF><U+03C2>.txt" },
        // Beyond the first plane, and a surrogate without its partner, which Windows names allow.
        { "\xF0\x9F\x98\x80", "<U+1F600>" },
        { "a\xED\xA0\x80z", "a<U+D800>z" },
        // Nothing is fitted to a look-alike: "ł" is no "l".
        { "\xC5\x82", "<U+0142>" },
    };
    for (const auto &[utf8, ansi] : cases) {
        std::string out = "x";
        appendInCodePage(out, utf8, 1252);
        EXPECT_EQ(out, "x" + ansi) << utf8;
        out.clear();
        appendInCodePage(out, utf8, CP_UTF8);
        EXPECT_EQ(out, utf8);
    }
}
