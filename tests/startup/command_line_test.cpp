#include "core/errors.h"
#include "platform/text.h"
#include "startup/command_line.h"
#include "startup/integer_syntax.h"

#include <cstdint>
#include <gtest/gtest.h>

using startup::SwitchResults;

namespace {

SwitchResults apply(const std::vector<std::string> &arguments)
{
    SwitchResults results;
    startup::applySwitches(arguments, results);
    return results;
}

std::string errorOf(const std::vector<std::string> &arguments, SwitchResults &results)
{
    try {
        startup::applySwitches(arguments, results);
    } catch (const core::AppError &error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(CommandLine, SplitsAtBlanksAndKeepsQuotedBlanks)
{
    using Args = std::vector<std::string>;
    EXPECT_EQ(startup::splitCommandLine(" /TAGE:\" 7 \"\tGO\n"), (Args { "/TAGE: 7 ", "GO" }));
    EXPECT_EQ(startup::splitCommandLine("\"/PROTOKOLL:C:\\MY LOGS\\RUN.LOG\""),
        Args { "/PROTOKOLL:C:\\MY LOGS\\RUN.LOG" });
    EXPECT_EQ(startup::splitCommandLine("a \"\" b x\"\"y"), (Args { "a", "b", "xy" }));
    EXPECT_EQ(startup::splitCommandLine("a\" b \"c \"d e"), (Args { "a b c", "d e" }));
}

TEST(IntegerSyntax, AcceptsDecimalAndHexForms)
{
    const std::pair<const char *, std::optional<std::int32_t>> cases[] = { { "  +7", 7 },
        { "-3", -3 }, { "$1E", 30 }, { "x1e", 30 }, { "0X1E", 30 }, { "$FFFFFFFF", -1 },
        { "-2147483648", INT32_MIN }, { "2147483648", {} }, { "$123456789", {} }, { "-$1E", {} },
        { "0x", {} }, { "", {} }, { "7 ", {} }, { "7x", {} } };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(startup::parseInteger(text), expected) << '"' << text << '"';
    EXPECT_EQ(startup::clampCount(40000), 32767);
    EXPECT_EQ(startup::clampCount(-40000), -32768);
}

TEST(Switches, AreRecognisedInAnyCaseAndStoredRaw)
{
    const SwitchResults r = apply({ "/tage: 7 ", "/Id:2", "/anzahl:$A", "/subdir", "/liste", "x" });
    EXPECT_EQ(r.dayCount, 7);
    EXPECT_EQ(r.directoryIndex, 1);
    EXPECT_EQ(r.keepCount, 10);
    EXPECT_TRUE(r.includeSubdirectories && r.listOnly && !r.unattended);
    // Zero and negative counts are the caller's to ignore.
    EXPECT_EQ(apply({ "/TAGE:0", "/ANZAHL:-3" }).dayCount, 0);
    EXPECT_EQ(apply({ "/ANZAHL:-3" }).keepCount, -3);
    EXPECT_EQ(apply({ "/ID:0" }).directoryIndex, -1);
    EXPECT_EQ(apply({ "/ID:100000" }).directoryIndex, 99999);
    EXPECT_EQ(apply({ "/ID:-2147483648" }).directoryIndex, INT32_MIN);
}

TEST(Switches, LastOccurrenceWins)
{
    const SwitchResults r
        = apply({ "/TAGE:5", "/ID:3", "/PROTOKOLL:a", "/TAGE:9", "/ID:1", "/PROTOKOLL:b" });
    EXPECT_EQ(r.dayCount, 9);
    EXPECT_EQ(r.directoryIndex, 0);
    EXPECT_EQ(r.logFileName, "b");
}

TEST(Switches, LogPathKeepsItsLettersAndNeverStartsTheRun)
{
    EXPECT_EQ(apply({ "/Protokoll:/var/log/App.log" }).logFileName, "/var/log/App.log");
    EXPECT_EQ(apply({ "/PROTOKOLL: /x/ " }).logFileName, " /x/ ");
    EXPECT_EQ(apply({ "/Verzeichnis:/srv/Alt" }).directory, "/srv/Alt");
    EXPECT_EQ(apply({ "/ini:/etc/Kehrer.ini" }).settingsFile, "/etc/Kehrer.ini");
}

TEST(Switches, OnlyTheWholeWordStartsTheUnattendedRun)
{
    for (const char *request : { "GO", "go", "/GO", "Sofort", "/sofort" })
        EXPECT_TRUE(apply({ request }).unattended) << request;
    // Paths, folders and words that merely hold the letters start nothing.
    for (const char *other : { "/PROTOKOLL:/var/log/cargo.log", "/protokoll:/home/sofort/x.log",
             "/VERZEICHNIS:/srv/django-logs", "/INI:/etc/go.ini", "/srv/django-logs", "ergo", "-go",
             "/sofortig", "/SUBGO", "GO!", " GO" })
        EXPECT_FALSE(apply({ other }).unattended) << other;
    EXPECT_TRUE(apply({ "/SUBGO" }).includeSubdirectories);
}

TEST(Switches, PathSwitchesWithoutAPathAreErrors)
{
    for (const char *empty : { "/VERZEICHNIS:", "/ini:" }) {
        SwitchResults r;
        EXPECT_EQ(errorOf({ empty }, r), "'" + platform::upperAscii(empty) + "' ohne Pfad");
    }
}

TEST(Switches, ArgumentsThatMatchNoSwitchAreFoundWithoutConvertingValues)
{
    for (const char *unknown :
        { "/ANZHAL:5", "/srv/alt", "-go", "/sofortig", "ergo", "", "/TAG:3", "--hilfe" }) {
        const auto requests = startup::scanRequests({ "/TAGE:x", unknown, "/bad" });
        EXPECT_EQ(requests.unknownArgument, std::string(unknown)) << unknown;
    }
    const auto known = startup::scanRequests(
        { "/tage:abc", "/ID:", "/Anzahl:1", "/subdir", "/PROTOKOLL:", "/liste", "/Verzeichnis:/x",
            "/INI:/y", "/MUSTER:*.log", "/ausnahmen:x", "/alle", "/BEHALTEN:3", "/LeereOrdner",
            "go", "/SOFORT", "--help", "-H", "/?", "--VERSION" });
    EXPECT_FALSE(known.unknownArgument);
    EXPECT_TRUE(known.help && known.version && known.listOnly && known.unattended);
}

TEST(Switches, BadValueThrowsAndKeepsWhatWasReadBefore)
{
    SwitchResults r;
    EXPECT_EQ(errorOf({ "/SUB", "/TAGE:4", "go", "/anzahl: abc\t", "/ID:2" }, r),
        "'ABC' ist kein gültiger Integerwert");
    EXPECT_TRUE(r.includeSubdirectories && r.unattended);
    EXPECT_EQ(r.dayCount, 4);
    EXPECT_EQ(r.keepCount, -1);
    EXPECT_EQ(r.directoryIndex, -1);

    SwitchResults empty;
    EXPECT_EQ(errorOf({ "/TAGE:" }, empty), "'' ist kein gültiger Integerwert");

    // The rule's switches: patterns that are no names, and a floor below none.
    const std::pair<const char *, const char *> refused[] = {
        { "/muster:*.log;;*.gz", "Leeres Muster in /MUSTER:" },
        { "/Ausnahmen:a\\b",
            "'a\\b' in /AUSNAHMEN: ist kein gültiges Muster: ein Muster "
            "nennt Namen, keinen Pfad" },
        { "/BEHALTEN:-2",
            "'/BEHALTEN:-2': die Zahl der neuesten Dateien, die bleiben, ist nie negativ" },
        { "/BEHALTEN:drei", "'DREI' ist kein gültiger Integerwert" },
    };
    for (const auto &[argument, message] : refused) {
        SwitchResults results;
        EXPECT_EQ(errorOf({ argument }, results), message);
    }
}

TEST(Switches, RequestsAreFoundPastValuesThatAreNoNumbers)
{
    const startup::Requests both = startup::scanRequests({ "/TAGE:abc", "/liste", "sofort" });
    EXPECT_TRUE(both.unattended);
    EXPECT_TRUE(both.listOnly);
    const startup::Requests none
        = startup::scanRequests({ "/PROTOKOLL:/var/log/cargo.log", "/LIST", "/ID:x" });
    EXPECT_FALSE(none.unattended);
    EXPECT_FALSE(none.listOnly);
}
