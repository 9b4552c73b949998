#include "platform/clock.h"
#include "platform/local_time.h"

#include <gtest/gtest.h>

using platform::LocalTime;

// The tests run with TZ=Europe/Berlin, which Wine takes from the Unix side: winter is UTC+1,
// summer UTC+2, whatever today is.
TEST(LocalTime, UsesTheZoneRulesOfEachTimesOwnYear)
{
    struct Case
    {
        std::int64_t seconds;
        LocalTime exact;
        LocalTime twoSecond;
    };
    const Case cases[] = {
        { 1484481601, { 2017, 1, 15, 13, 0, 1 }, { 2017, 1, 15, 13, 0, 0 } }, // 12:00:01 UTC
        { 1500120003, { 2017, 7, 15, 14, 0, 3 }, { 2017, 7, 15, 14, 0, 2 } }, // 12:00:03 UTC
        // The last second of summer time in 2017, and the first of winter time after it.
        { 1509238799, { 2017, 10, 29, 2, 59, 59 }, { 2017, 10, 29, 2, 59, 58 } },
        { 1509238800, { 2017, 10, 29, 2, 0, 0 }, { 2017, 10, 29, 2, 0, 0 } },
        // New Year's Eve in UTC is already the next year here.
        { 1514761200, { 2018, 1, 1, 0, 0, 0 }, { 2018, 1, 1, 0, 0, 0 } },
        { 0, { 1970, 1, 1, 1, 0, 0 }, { 1970, 1, 1, 1, 0, 0 } },
        { -86400 * 365, { 1969, 1, 1, 1, 0, 0 }, { 1969, 1, 1, 1, 0, 0 } },
        { 4354819200, { 2108, 1, 1, 1, 0, 0 }, { 2108, 1, 1, 1, 0, 0 } },
    };
    for (const Case &c : cases) {
        EXPECT_EQ(platform::localTimeOf(c.seconds), c.exact) << c.seconds;
        EXPECT_EQ(platform::localTwoSecondTime(c.seconds), c.twoSecond) << c.seconds;
    }
}

TEST(LocalTime, TimesBeyondTheSystemsYearsAreTheLatestTime)
{
    // The system's times run from 1601 to 30827.
    for (const std::int64_t seconds : { std::int64_t { 1 } << 62, -(std::int64_t { 1 } << 62),
             std::int64_t { -11644473601 }, std::int64_t { 910692730086 } }) {
        EXPECT_EQ(platform::localTimeOf(seconds), platform::kUnknownTime) << seconds;
        EXPECT_EQ(platform::localTwoSecondTime(seconds), platform::kUnknownTime) << seconds;
    }
    EXPECT_EQ(platform::localTimeOf(-11644473600), (LocalTime { 1601, 1, 1, 1, 0, 0 }));
}

TEST(LocalTime, NextMidnightFollowsTheChangesOfSummerTime)
{
    struct Case
    {
        std::int64_t seconds;
        std::int64_t midnight;
    };
    const Case cases[] = {
        { 1490443200, 1490482800 }, // 2017-03-25 13:00 (winter) → 03-26 00:00 UTC+1
        { 1490529600, 1490565600 }, // 2017-03-26 14:00 (summer) → 03-27 00:00 UTC+2
        { 1509274800, 1509318000 }, // 2017-10-29 12:00 (winter) → 10-30 00:00 UTC+1
        { 1514761199, 1514761200 }, // 2017-12-31 23:59:59 → 2018-01-01 00:00
        { 1514761200, 1514847600 }, // 2018-01-01 00:00 → 2018-01-02 00:00
    };
    for (const Case &c : cases)
        EXPECT_EQ(platform::nextLocalMidnightAfter(c.seconds), c.midnight) << c.seconds;
    EXPECT_EQ(platform::Clock::heldAt(1490443200).nextMidnight(), 1490482800);
}

TEST(LocalTime, TheClockReadsTheSystemTime)
{
    const std::int64_t now = platform::currentEpochSeconds();
    // After this was written, and before the end of the system's years.
    EXPECT_GT(now, 1765000000);
    EXPECT_LT(now, 910692730085);
    EXPECT_NE(platform::localTimeOf(now), platform::kUnknownTime);
}
