#include "platform/chain_checks.h"

#include <gtest/gtest.h>

namespace {

// How many moves (or removals) at `depth`, `stepMs` apart, pass until the whole chain is due, the
// walk having checked it at time 0.
int callsUntilDue(platform::ChainChecks &checks, bool move, std::uint64_t depth,
    std::int64_t stepMs, std::int64_t &nowMs)
{
    for (int calls = 1; calls <= 100000; ++calls) {
        nowMs += stepMs;
        if (checks.due(move, depth, nowMs))
            return calls;
    }
    return -1;
}

} // namespace

TEST(ChainChecks, DueOftenerTheShallowerTheTreeAndAtLeastEverySixteenRemovalsOrASecond)
{
    struct Case
    {
        const char *what;
        bool move;
        std::uint64_t depth;
        std::int64_t stepMs;
        int calls; // until due, and again until due after that
    };
    const Case cases[] = {
        { "a move in a shallow tree", true, 3, 0, 1 },
        { "a move sixteen levels down", true, 16, 0, 1 },
        { "moves 32 levels down", true, 32, 0, 2 },
        { "moves 20,000 levels down", true, 20000, 0, 1250 },
        { "removals at the top", false, 0, 0, 16 },
        { "removals 20,000 levels down", false, 20000, 0, 16 },
        { "moves deep down, slowly", true, 20000, 250, 4 },
        { "removals, a second each", false, 20000, 1000, 1 },
    };
    for (const Case &c : cases) {
        platform::ChainChecks checks;
        checks.checked(0);
        std::int64_t nowMs = 0;
        EXPECT_EQ(callsUntilDue(checks, c.move, c.depth, c.stepMs, nowMs), c.calls) << c.what;
        // A check due counts as made: the count starts again.
        EXPECT_EQ(callsUntilDue(checks, c.move, c.depth, c.stepMs, nowMs), c.calls) << c.what;
    }
}

TEST(ChainChecks, ACheckMadeMeanwhileStartsTheCountAgain)
{
    platform::ChainChecks checks;
    checks.checked(0);
    for (int i = 0; i < 15; ++i)
        EXPECT_FALSE(checks.due(false, 0, 0));
    checks.checked(0);
    for (int i = 0; i < 15; ++i)
        EXPECT_FALSE(checks.due(false, 0, 0));
    EXPECT_TRUE(checks.due(false, 0, 0));
}
