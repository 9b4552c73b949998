#include "platform/date_time_format.h"
#include "platform/environment.h"
#include "platform/locale_formats.h"
#include "platform/win32/locale_pictures.h"

#include <gtest/gtest.h>

using platform::win32::patternFromWindowsPicture;

TEST(LocalePictures, BecomeThePatternsOfTheFormatter)
{
    struct Case
    {
        const char *picture;
        const char *pattern;
    };
    const Case cases[] = {
        // Short dates of common locales.
        { "dd.MM.yyyy", "%d.%m.%Y" },
        { "d.M.yyyy", "%-d.%-m.%Y" },
        { "M/d/yyyy", "%-m/%-d/%Y" },
        { "yyyy-MM-dd", "%Y-%m-%d" },
        { "dd/MM/yy", "%d/%m/%y" },
        { "d/M/y", "%-d/%-m/%-y" },
        { "ddd, d. MMM yyyy", "%a, %-d. %b %Y" },
        { "dddd, d. MMMM yyyy", "%A, %-d. %B %Y" },
        { "yyyyy ddddd MMMMM", "%Y %A %B" },
        // Long times.
        { "HH:mm:ss", "%H:%M:%S" },
        { "H:mm:ss", "%-H:%M:%S" },
        { "h:mm:ss tt", "%-I:%M:%S %p" },
        { "hh:mm:ss t", "%I:%M:%S %p" },
        { "tt h:m:s", "%p %-I:%-M:%-S" },
        // Quoted text is literal, two quotes are one, and "%" stays a percent sign.
        { "HH 'h' mm 'min'", "%H h %M min" },
        { "H'''dd'", "%-H'dd" },
        { "d''M", "%-d'%-m" },
        { "'unclosed d", "unclosed d" },
        { "HH'%'mm 100%", "%H%%%M 100%%" },
        // The era has no counterpart.
        { "gg yyyy", " %Y" },
        { "", "" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(patternFromWindowsPicture(c.picture), c.pattern) << c.picture;
}

// The formats come from the locale Wine is given: the tests run with LC_ALL=C.UTF-8, which Wine
// takes as American English; the German locale runs as a test of its own (tests/CMakeLists.txt).
TEST(LocaleFormats, ComeFromTheSystem)
{
    const platform::LocaleFormats formats = platform::loadUserLocaleFormats();
    const platform::LocalTime time { 2017, 6, 3, 21, 5, 8 };
    const auto shown = platform::DateTimeFormat(formats.shortDate, formats).format(time) + " "
        + platform::DateTimeFormat(formats.longTime, formats).format(time) + " "
        + formats.thousandsSeparator;
    const std::string language = platform::environmentValue("LC_ALL").value_or("");
    if (language.starts_with("de_DE"))
        EXPECT_EQ(shown, "3.6.2017 21:05:08 .");
    else if (language == "C" || language == "C.UTF-8")
        EXPECT_EQ(shown, "6/3/2017 9:05:08 PM ,");
    else
        GTEST_SKIP() << "no expectation for LC_ALL=" << language;
}
