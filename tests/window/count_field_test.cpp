#include "window/count_field.h"

#include <gtest/gtest.h>

using window::CountField;
using window::Step;

// Typed text counts when the value is next read, and only when it is a whole number within the
// range; the next step starts from the value read and shows its result.
TEST(CountField, TypedTextCountsWhenReadAndOnlyWhenValid)
{
    struct Case
    {
        const char *typed;
        int value;
    };
    for (const Case &typing : std::initializer_list<Case> { { "45", 45 }, { " 45 ", 45 },
             { "0045", 45 }, { "abc", 30 }, { "5000", 30 }, { "0", 30 }, { "-5", 30 }, { "+5", 30 },
             { "4.5", 30 }, { "", 30 }, { "99999999999999999999", 30 } }) {
        SCOPED_TRACE(typing.typed);
        CountField field(1, 1000, 30);
        field.type(typing.typed);
        EXPECT_EQ(field.shown(), typing.value);
        EXPECT_EQ(field.text(), typing.typed);
        EXPECT_EQ(field.position(), typing.value);
        EXPECT_TRUE(field.step(Step::Up));
        EXPECT_EQ(field.text(), std::to_string(typing.value + 1));
    }
}

// Steps stop at the bounds, and a value from the program is clamped and tells whether it differs
// from the value read before it.
TEST(CountField, StaysWithinItsRange)
{
    CountField field(1, 1000, 1000);
    EXPECT_FALSE(field.step(Step::Up));
    EXPECT_EQ(field.text(), "1000");
    EXPECT_FALSE(field.setPosition(5000));
    EXPECT_TRUE(field.setPosition(-3));
    EXPECT_EQ(field.text(), "1");
    EXPECT_FALSE(field.step(Step::Down));
    field.type("7");
    EXPECT_TRUE(field.setPosition(1));
    EXPECT_EQ(field.position(), 1);
}
