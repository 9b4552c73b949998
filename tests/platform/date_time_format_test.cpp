#include "platform/date_time_format.h"
#include "platform/local_time.h"
#include "platform/locale_formats.h"

#include <gtest/gtest.h>

using platform::DateTimeFormat;
using platform::LocalTime;

TEST(DateTimeFormat, FormatsTheLocalesPatterns)
{
    platform::LocaleFormats locale = platform::germanFormats();
    locale.amText = "AM";
    locale.pmText = "PM";
    const LocalTime morning { 2017, 6, 3, 0, 5, 8 };
    const LocalTime afternoon { 2017, 12, 13, 13, 26, 50 };
    struct Case
    {
        const char *pattern;
        LocalTime time;
        const char *expected;
    };
    const Case cases[] = {
        { "%d.%m.%Y", morning, "03.06.2017" },
        { "%H:%M:%S", morning, "00:05:08" },
        { "%m/%d/%y", afternoon, "12/13/17" },
        { "%e.%m.", morning, " 3.06." },
        { "%I:%M:%S %p", morning, "12:05:08 AM" },
        { "%I:%M:%S %p", afternoon, "01:26:50 PM" },
        { "%r", afternoon, "01:26:50 PM" },
        { "%T", afternoon, "13:26:50" },
        { "%F", morning, "2017-06-03" },
        { "100%%", morning, "100%" },
        // Other conversions and flags go to the C library.
        { "%a %d", morning, "Sat 03" },
        { "%_H:%M", morning, " 0:05" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(DateTimeFormat(c.pattern, locale).format(c.time), c.expected) << c.pattern;
}

TEST(DateTimeFormat, FormatsFieldsWithoutLeadingZeroItself)
{
    // Windows' short dates ("d.M.yyyy") need them, and its C library does not know "%-d".
    const platform::LocaleFormats locale = platform::germanFormats();
    const LocalTime morning { 2005, 6, 3, 0, 5, 8 };
    const LocalTime evening { 2017, 12, 13, 22, 26, 50 };
    struct Case
    {
        const char *pattern;
        LocalTime time;
        const char *expected;
    };
    const Case cases[] = {
        { "%-d.%-m.%Y", morning, "3.6.2005" },
        { "%-d.%-m.%Y", evening, "13.12.2017" },
        { "%-m/%-d/%-y", morning, "6/3/5" },
        { "%-H:%-M:%-S", morning, "0:5:8" },
        { "%-H:%-M:%-S", evening, "22:26:50" },
        { "%-I:%M %p", morning, "12:05 AM" },
        { "%-I:%M %p", evening, "10:26 PM" },
        // A "-" before any other conversion is still the C library's flag.
        { "%-j", morning, "154" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(DateTimeFormat(c.pattern, locale).format(c.time), c.expected) << c.pattern;
}

TEST(LocalTime, UsesTheZoneRulesOfEachInstantAndEvenSeconds)
{
    // The tests run with TZ=Europe/Berlin: winter is UTC+1, summer UTC+2, whatever today is.
    const LocalTime winter = platform::localTwoSecondTime(1484481601); // 2017-01-15 12:00:01 UTC
    const LocalTime summer = platform::localTwoSecondTime(1500120003); // 2017-07-15 12:00:03 UTC
    EXPECT_EQ(winter, (LocalTime { 2017, 1, 15, 13, 0, 0 }));
    EXPECT_EQ(summer, (LocalTime { 2017, 7, 15, 14, 0, 2 }));
    EXPECT_EQ(platform::localTwoSecondTime(0), (LocalTime { 1970, 1, 1, 1, 0, 0 }));
    EXPECT_EQ(platform::localTwoSecondTime(4354819200), (LocalTime { 2108, 1, 1, 1, 0, 0 }));
}

TEST(LocalTime, TimesWithoutALocalDateAreTheLatestTime)
{
    struct Case
    {
        std::int64_t seconds;
        LocalTime expected;
    };
    const Case cases[] = {
        // Years that still fit, up to the last one there is (mid-January: winter time).
        { 67767955785892800, { 2147483000, 1, 15, 13, 0, 0 } },
        { 67767976203249600, { 2147483647, 1, 15, 13, 0, 0 } },
        // The C library converts these, but their years are beyond what a year holds.
        { 67767987342801600, platform::kUnknownTime },
        // Beyond the C library's years, both ways; file systems on tmpfs take such times.
        { std::int64_t { 1 } << 62, platform::kUnknownTime },
        { -(std::int64_t { 1 } << 62), platform::kUnknownTime },
        // Before 1970 stays as it is.
        { -86400 * 365, { 1969, 1, 1, 1, 0, 0 } },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(platform::localTwoSecondTime(c.seconds), c.expected) << c.seconds;
        EXPECT_EQ(platform::localTimeOf(c.seconds), c.expected) << c.seconds;
    }
    // Every real time sorts before it.
    EXPECT_LT((LocalTime { 2147483647, 12, 31, 23, 59, 58 }), platform::kUnknownTime);
}
