#include "window/form_scripts.h"

#include "support/temp_tree.h"
#include "window/texts.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

using testing_support::localEpochDaysFromToday;
using testing_support::TempTree;
using testing_support::withSystemSeparators;

namespace form_scripts {

namespace {

using Names = std::vector<std::string>;

// A start, the user's events, and what the window shows then. "{tree}" in any text stands for the
// tree's path, and a "/" after it for the system's separator; "{default}" for the entry `dir`
// holds before start-up. An event "replace PATH" is the world's, not the user's: a new file takes
// the place of PATH, with its name and time.
struct Script
{
    const char *name;
    Names arguments;
    Names events;
    // What the window shows at the end; what is left out is not compared. The listed names are
    // compared in any order; `date` is the number of days whose first day `Datum` shows.
    std::optional<Names> listed = {};
    std::optional<std::string> days = {};
    std::optional<std::string> files = {};
    std::optional<bool> ageMode = {};
    std::optional<bool> deleteEnabled = {};
    std::optional<std::string> filesStatus = {};
    std::optional<std::string> notice = {}; // the first status panel
    std::optional<int> date = {};
    std::optional<Names> entries = {};
    std::optional<int> selected = {};
    std::optional<bool> subdirectories = {};
    // Listings made by the events, the start's not counted.
    std::optional<int> listings = {};
    std::optional<Names> dialogs = {};
    // Files of the tree that must be gone, and that must stay, at the end.
    Names gone = {};
    Names kept = {};
    // Text the log file kehrer.log holds at the end.
    std::optional<std::string> logged = {};
};

const Names kFirstListing { "alt.log", "mittel.log", "grenze.log" };
const std::string kNone = "-- Keine Dateien gefunden --";
const std::string kQuestion = "confirm: Sollen die 3 Dateien wirklich gelöscht werden?";

// Folder a/ lists alt, mittel and grenze by 30 days, alt and mittel by 31, alt alone by 45;
// b/ lists its old *.log files by its own rule, and its emptied folders go; leer/ holds none.
const std::vector<Script> kScripts = {
    // Start and first showing.
    { .name = "start-up lists nothing",
        .arguments = {},
        .events = {},
        .listed = Names { "" },
        .deleteEnabled = false,
        .filesStatus = "" },
    { .name = "the first showing lists",
        .arguments = {},
        .events = { "show" },
        .listed = kFirstListing,
        .deleteEnabled = true,
        .filesStatus = "3 Dateien",
        .date = 30,
        .listings = 1 },
    { .name = "an empty folder",
        .arguments = { "/ID:3" },
        .events = { "show" },
        .listed = Names { kNone },
        .deleteEnabled = false,
        .filesStatus = "0 Dateien" },
    { .name = "start-up that fails shows the controls as far as it got",
        .arguments = { "/SUB", "/ANZAHL:3", "/ID:2", "/TAGE:abc" },
        .events = {},
        .days = "30",
        .files = "10",
        .ageMode = true,
        .entries = Names { "{default}" },
        .selected = 0,
        .subdirectories = true,
        .dialogs = Names { "error: 'ABC' ist kein gültiger Integerwert." } },
    { .name = "an error names its path on a line of its own",
        .arguments = { "/INI:{tree}fehlt.ini" },
        .events = {},
        .dialogs = Names { "error: Ungültiger Dateiname. / {tree}fehlt.ini" } },
    { .name = "counts beyond the fields show as the nearest bound",
        .arguments = { "/ANZAHL:0x7FFF", "/TAGE:5000", "/ID:9" },
        .events = {},
        .days = "1000",
        .files = "1000",
        .ageMode = false,
        .selected = -1 },
    { .name = "count mode with subdirectories gives the notice",
        .arguments = { "/ANZAHL:5", "/SUB", "GO" },
        .events = {},
        .files = "5",
        .dialogs = Names { "notice: /Anzahl und /Sub ist nicht kombinierbar!" } },
    { .name = "the run's folder is added and chosen",
        .arguments = { "/ID:2", "/Verzeichnis:{tree}a/sub" },
        .events = { "show" },
        .listed = Names { "tief.log" },
        .entries = Names { "{tree}a/", "{tree}b/", "{tree}leer/", "{tree}a/sub/" },
        .selected = 3 },

    // The number fields: a step lists by the number before it.
    { .name = "a step lists by the number before it",
        .arguments = {},
        .events = { "show", "step Tage up" },
        .listed = kFirstListing,
        .days = "31",
        .date = 31,
        .listings = 2 },
    { .name = "the refresh after a step lists by the new number",
        .arguments = {},
        .events = { "show", "step Tage up", "click SpeedButton2" },
        .listed = Names { "alt.log", "mittel.log" },
        .listings = 3 },
    { .name = "a step of Tage in count mode lists twice, then by age",
        .arguments = { "/ANZAHL:2" },
        .events = { "show", "step Tage up" },
        .listed = Names { "alt.log", "mittel.log" },
        .days = "31",
        .ageMode = true,
        .listings = 3 },
    { .name = "a step of Dateien in age mode lists twice, then by count",
        .arguments = {},
        .events = { "show", "step Dateien down" },
        .listed = Names { kNone },
        .files = "9",
        .ageMode = false,
        .listings = 3 },
    { .name = "a step at the upper bound lists once and changes nothing",
        .arguments = { "/TAGE:1000" },
        .events = { "show", "step Tage up" },
        .days = "1000",
        .ageMode = true,
        .listings = 2 },
    { .name = "a step at the lower bound lists once and changes nothing",
        .arguments = { "/ANZAHL:1" },
        .events = { "show", "step Dateien down" },
        .files = "1",
        .ageMode = false,
        .listings = 2 },
    { .name = "the Up and Down keys step",
        .arguments = {},
        .events = { "show", "key Edit1 up", "key Edit1 up", "key Edit1 down" },
        .days = "31",
        .listings = 4 },

    // Typed numbers count from the next refresh, and only when valid.
    { .name = "a typed number counts from the next refresh",
        .arguments = {},
        .events = { "show", "type Edit1 45", "click SpeedButton2" },
        .listed = Names { "alt.log" },
        .days = "45",
        .listings = 2 },
    { .name = "typed letters leave the last number",
        .arguments = {},
        .events = { "show", "type Edit1 abc", "click SpeedButton2" },
        .listed = kFirstListing,
        .days = "abc",
        .date = 30 },
    { .name = "a typed number beyond the range leaves the last number",
        .arguments = {},
        .events = { "show", "type Edit1 5000", "click SpeedButton2" },
        .listed = kFirstListing,
        .days = "5000" },
    { .name = "typing lists nothing, and the date follows the number",
        .arguments = {},
        .events = { "show", "type Edit1 45" },
        .listed = kFirstListing,
        .date = 45,
        .listings = 1 },
    { .name = "a step starts from the typed number",
        .arguments = {},
        .events = { "show", "type Edit1 45", "step Tage up", "click SpeedButton2" },
        .listed = Names { "alt.log" },
        .days = "46" },
    { .name = "Enter lists with the typed number",
        .arguments = {},
        .events = { "show", "type Edit1 45", "key Edit1 enter" },
        .listed = Names { "alt.log" },
        .listings = 2 },
    { .name = "Enter in the days lists by age",
        .arguments = { "/ANZAHL:2" },
        .events = { "show", "type Edit1 45", "key Edit1 enter" },
        .listed = Names { "alt.log" },
        .ageMode = true,
        .listings = 2 },
    { .name = "F5 lists again",
        .arguments = {},
        .events = { "show", "type Edit1 45", "key F5" },
        .listed = Names { "alt.log" },
        .listings = 2 },

    // Controls that list, and those that do not.
    { .name = "choosing a folder lists it by its rule",
        .arguments = {},
        .events = { "show", "choose 1" },
        .listed = Names { "alt-b.log", "tief-b.log" },
        .days = "45",
        .ageMode = true,
        .notice = "nur *.log · leere Ordner weg",
        .selected = 1,
        .subdirectories = true,
        .listings = 2 },
    { .name = "the checked radio button and subdirectories list nothing",
        .arguments = {},
        .events = { "show", "click deltage", "click subdir" },
        .listed = kFirstListing,
        .subdirectories = true,
        .listings = 1 },
    { .name = "subdirectories count from the next refresh",
        .arguments = {},
        .events = { "show", "click subdir", "click SpeedButton2" },
        .listed = Names { "alt.log", "mittel.log", "grenze.log", "tief.log" } },
    { .name = "the other radio button lists in its mode",
        .arguments = {},
        .events = { "show", "click delDateien" },
        .listed = Names { kNone },
        .ageMode = false,
        .listings = 2 },

    // Adding a folder for this run.
    { .name = "an added folder is listed, with the controls but not the rule of the folder before",
        .arguments = {},
        .events = { "show", "choose 1", "folder {tree}b", "click SpeedButton1" },
        .listed = Names { "alt-b.log", "alt-b.txt", "tief-b.log" },
        .days = "45",
        .notice = "Ablage aufräumen",
        .entries = Names { "{tree}a/", "{tree}b/", "{tree}leer/", "{tree}b/" },
        .selected = 3,
        .subdirectories = true,
        .dialogs = Names { "folder: Verzeichnis wählen" } },
    { .name = "a folder already there is added once more",
        .arguments = {},
        .events = { "show", "folder {tree}a/", "click SpeedButton1" },
        .listed = kFirstListing,
        .entries = Names { "{tree}a/", "{tree}b/", "{tree}leer/", "{tree}a/" },
        .selected = 3 },
    { .name = "a cancel or an empty path adds nothing and lists again",
        .arguments = {},
        .events
        = { "show", "folder cancel", "click SpeedButton1", "folder -", "click SpeedButton1" },
        .listed = kFirstListing,
        .entries = Names { "{tree}a/", "{tree}b/", "{tree}leer/" },
        .selected = 0,
        .listings = 3 },

    // Deleting after the question.
    { .name = "no deletes nothing",
        .arguments = { "/PROTOKOLL:{tree}kehrer.log" },
        .events = { "show", "answer no", "click loeschen" },
        .listed = kFirstListing,
        .listings = 1,
        .dialogs = Names { kQuestion },
        .kept = { "a/alt.log", "a/grenze.log" } },
    { .name = "yes deletes every listed file and logs it",
        .arguments = { "/PROTOKOLL:{tree}kehrer.log" },
        .events = { "show", "answer yes", "click loeschen" },
        .listed = Names { kNone },
        .deleteEnabled = false,
        .filesStatus = "0 Dateien",
        .dialogs = Names { kQuestion },
        .gone = { "a/alt.log", "a/mittel.log", "a/grenze.log" },
        .kept = { "a/neu.log" },
        .logged = "Start der Dateilöschung von 3 Dateien" },
    { .name = "the question names the folders a folder's rule removes when they are emptied",
        .arguments = {},
        .events = { "show", "choose 1", "answer yes", "click loeschen" },
        .dialogs = Names { "confirm: Sollen die 2 Dateien wirklich gelöscht werden? /  / Mit "
                           "ihnen gehen die Ordner, die dann leer sind: / {tree}b/tag/" },
        .gone = { "b/alt-b.log", "b/tag" },
        .kept = { "b/alt-b.txt" } },
    { .name = "a log that cannot be written leaves the listing, and the window usable",
        .arguments = { "/PROTOKOLL:{tree}fehlt/kehrer.log" },
        .events = { "show", "answer yes", "click loeschen" },
        .listed = kFirstListing,
        .deleteEnabled = true,
        .listings = 1,
        .dialogs = Names { kQuestion, "error: Ungültiger Dateiname. / {tree}fehlt/kehrer.log" },
        .kept = { "a/alt.log" } },
    { .name = "files that stayed are told",
        .arguments = {},
        .events = { "show", "replace a/alt.log", "answer yes", "click loeschen" },
        .listed = Names { "alt.log" },
        .dialogs = Names { kQuestion, "error: 1 Dateien wurden nicht gelöscht." },
        .gone = { "a/mittel.log" },
        .kept = { "a/alt.log" } },
    { .name = "nothing to delete asks nothing",
        .arguments = { "/ID:3" },
        .events = { "show", "answer yes", "click loeschen" },
        .listings = 1,
        .dialogs = Names {} },
};

// "{tree}" and "{default}" put in; after "{tree}", "/" becomes the system's separator.
std::string resolved(const std::string &text, const std::string &tree)
{
    if (const auto at = text.find("{default}"); at != std::string::npos)
        return text.substr(0, at) + window::texts::kDefaultDirectory + text.substr(at + 9);
    const auto at = text.find("{tree}");
    if (at == std::string::npos)
        return text;
    return text.substr(0, at) + tree + withSystemSeparators(text.substr(at + 6));
}

Names resolved(const Names &texts, const std::string &tree)
{
    Names result;
    for (const std::string &text : texts)
        result.push_back(resolved(text, tree));
    return result;
}

Names sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// The first day whose files stay when `days` days are kept, as the German short date.
std::string firstDayKept(int days)
{
    // At noon, so that the day is the same in any zone the C library may take.
    const std::time_t moment = localEpochDaysFromToday(1 - days, 12);
    const std::tm *local = std::localtime(&moment);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%Y", local);
    return text;
}

void makeTree(const TempTree &tree)
{
    const auto file = [&tree](const char *path, int days, int hour = 0) {
        tree.writeFile(path, std::string(2048, 'x'));
        tree.setModified(path, localEpochDaysFromToday(days, hour));
    };
    file("a/alt.log", -100);
    file("a/mittel.log", -40);
    file("a/grenze.log", -30, 12);
    file("a/neu.log", -1);
    file("a/sub/tief.log", -100);
    file("b/alt-b.log", -100);
    file("b/alt-b.txt", -100);
    file("b/tag/tief-b.log", -50);
    tree.makeDirectory("leer");
    // Folder b/ has a rule of its own.
    tree.writeFile("ablagekehrer.ini",
        "[Pfade]\n1=" + (tree / "a") + "\n2=" + (tree / "b") + withSystemSeparators("/")
            + "\n3=" + (tree / "leer")
            + "\n[Optionen]\nTage=30\n[Pfad 2]\nTage=45\nUnterverzeichnisse=1\nMuster=*.log\n"
              "LeereOrdner=1\n");
}

} // namespace

Event parse(std::string_view text)
{
    const std::string line(text);
    Event event { {}, {}, {}, {}, line };
    const auto blank = line.find(' ');
    event.verb = line.substr(0, blank);
    if (blank == std::string::npos)
        return event;
    event.rest = line.substr(blank + 1);
    const auto second = line.find(' ', blank + 1);
    event.name = line.substr(blank + 1, second - blank - 1);
    if (second != std::string::npos)
        event.value = line.substr(second + 1);
    return event;
}

namespace {

void play(Driver &driver, const Script &script)
{
    SCOPED_TRACE(script.name);
    TempTree tree;
    makeTree(tree);
    driver.start(resolved(script.arguments, tree.path()), tree / "ablagekehrer.ini");
    const int startListings = driver.observe().listings;
    for (const std::string &event : script.events) {
        if (event.rfind("replace ", 0) == 0) {
            const std::string path = event.substr(8);
            tree.writeFile(path + ".neu", "neu");
            tree.setModified(path + ".neu", localEpochDaysFromToday(-100));
            std::filesystem::rename(tree / (path + ".neu"), tree / path);
            continue;
        }
        driver.play(resolved(event, tree.path()));
    }

    const Observed seen = driver.observe();
    if (script.listed) {
        EXPECT_EQ(sorted(seen.listed), sorted(*script.listed));
    }
    if (script.days) {
        EXPECT_EQ(seen.days, *script.days);
    }
    if (script.files) {
        EXPECT_EQ(seen.files, *script.files);
    }
    if (script.ageMode) {
        EXPECT_EQ(seen.ageMode, *script.ageMode);
    }
    if (script.deleteEnabled) {
        EXPECT_EQ(seen.deleteEnabled, *script.deleteEnabled);
    }
    if (script.filesStatus) {
        EXPECT_EQ(seen.status[1], *script.filesStatus);
    }
    if (script.notice) {
        EXPECT_EQ(seen.status[0], *script.notice);
    }
    if (script.date) {
        EXPECT_EQ(seen.date, firstDayKept(*script.date));
    }
    if (script.entries) {
        EXPECT_EQ(seen.entries, resolved(*script.entries, tree.path()));
    }
    if (script.selected) {
        EXPECT_EQ(seen.selected, *script.selected);
    }
    if (script.subdirectories) {
        EXPECT_EQ(seen.subdirectories, *script.subdirectories);
    }
    if (script.listings) {
        EXPECT_EQ(seen.listings - startListings, *script.listings);
    }
    if (script.dialogs) {
        EXPECT_EQ(seen.dialogs, resolved(*script.dialogs, tree.path()));
    }
    for (const std::string &path : script.gone)
        EXPECT_FALSE(tree.exists(path)) << path;
    for (const std::string &path : script.kept)
        EXPECT_TRUE(tree.exists(path)) << path;
    if (script.logged) {
        EXPECT_NE(tree.readLog("kehrer.log").find(*script.logged), std::string::npos);
    }
}

} // namespace

std::string dialogLine(std::string_view kind, std::string text)
{
    for (auto line = text.find('\n'); line != std::string::npos; line = text.find('\n'))
        text.replace(line, 1, " / ");
    return std::string(kind) + ": " + text;
}

void playAll(Driver &driver)
{
    for (const Script &script : kScripts)
        play(driver, script);
}

} // namespace form_scripts
