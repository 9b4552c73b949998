#include "core/errors.h"
#include "core/name_patterns.h"

#include <gtest/gtest.h>

namespace {

TEST(NamePatterns, MatchWholeNamesWithStarAndQuestionMarkIgnoringTheCaseOfAsciiLetters)
{
    const struct
    {
        const char *pattern;
        const char *name;
        bool matches;
    } cases[] = {
        { "*.log", "server.log", true },
        { "*.log", "server.log.1", false },
        { "*.log", ".log", true },
        { "*.LOG", "Server.Log", true },
        { "*", "", true },
        { "", "", true },
        { "", "a", false },
        { "a*b*c", "abbbc", true },
        { "a*b*c", "abcb", false },
        { "*a*a*a*", "aaaa", true },
        { "*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false },
        { "backup-????.tar", "backup-2026.tar", true },
        { "backup-????.tar", "backup-26.tar", false },
        // "?" is one character, however many bytes it takes.
        { "gr??e.txt", "größe.txt", true },
        { "gr????e.txt", "größe.txt", false },
        { "gr?ße.txt", "größe.txt", true },
        { "gr*e.txt", "größe.txt", true },
        // Only ASCII letters fold: "Ä" is not "ä".
        { "ä*", "Äpfel", false },
        { "ä*", "äpfel", true },
        { "[ab]", "a", false },
        { "[ab]", "[ab]", true },
    };
    for (const auto &[pattern, name, matches] : cases)
        EXPECT_EQ(core::matchesPattern(pattern, name), matches) << pattern << " / " << name;
}

TEST(NamePatterns, ReadsAListAndRefusesPatternsThatAreEmptyOrPaths)
{
    const auto patterns = core::NamePatterns::parse(" *.log ; *.GZ;x?", "[Pfad 1] Muster");
    EXPECT_EQ(patterns.text(), "*.log;*.GZ;x?");
    EXPECT_TRUE(patterns.matchesAny("a.gz"));
    EXPECT_TRUE(patterns.matchesAny("xy"));
    EXPECT_FALSE(patterns.matchesAny("a.conf"));
    EXPECT_TRUE(core::NamePatterns::parse("  ", "/MUSTER:").empty());

    const struct
    {
        const char *list;
        const char *message;
    } refused[] = {
        { "*.log;", "Leeres Muster in /MUSTER:" },
        { ";;", "Leeres Muster in /MUSTER:" },
        { "a/*.log",
            "'a/*.log' in /MUSTER: ist kein gültiges Muster: ein Muster nennt Namen, "
            "keinen Pfad" },
        { "*.log; logs\\*",
            "'logs\\*' in /MUSTER: ist kein gültiges Muster: ein Muster nennt "
            "Namen, keinen Pfad" },
    };
    for (const auto &[list, message] : refused) {
        try {
            core::NamePatterns::parse(list, "/MUSTER:");
            ADD_FAILURE() << list;
        } catch (const core::AppError &error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
}

} // namespace
