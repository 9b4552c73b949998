#include "core/errors.h"
#include "core/number_format.h"

#include <gtest/gtest.h>

TEST(NumberFormat, GroupsDigitsInThrees)
{
    EXPECT_EQ(core::formatGrouped(0, "."), "0");
    EXPECT_EQ(core::formatGrouped(999, "."), "999");
    EXPECT_EQ(core::formatGrouped(1000, "."), "1.000");
    EXPECT_EQ(core::formatGrouped(4882812, "."), "4.882.812");
    EXPECT_EQ(core::formatGrouped(123456789012, ","), "123,456,789,012");
    EXPECT_EQ(core::formatGrouped(1234567, "\u202f"), "1\u202f234\u202f567");
    EXPECT_EQ(core::formatGrouped(1234567, ""), "1234567");
}

TEST(ErrorBox, AppendsAStopAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(core::withFinalStop("'ABC' ist kein gültiger Integerwert"),
        "'ABC' ist kein gültiger Integerwert.");
    EXPECT_EQ(core::withFinalStop("/Anzahl und /Sub ist nicht kombinierbar!"),
        "/Anzahl und /Sub ist nicht kombinierbar!");
    EXPECT_EQ(core::withFinalStop("E/A-Fehler 32"), "E/A-Fehler 32.");
    EXPECT_EQ(core::withFinalStop("Ende."), "Ende.");
    EXPECT_EQ(core::withFinalStop("Größe ü"), "Größe ü.");
    EXPECT_EQ(core::withFinalStop(""), "");
}
