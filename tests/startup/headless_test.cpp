#include "startup/headless.h"
#include "support/temp_tree.h"

#include <cstdio>
#include <gtest/gtest.h>

using testing_support::localEpoch;
using testing_support::TempTree;

namespace {

struct HeadlessRun
{
    int exitCode;
    std::string out;
    std::string err;
};

std::string readAll(std::FILE *file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

HeadlessRun run(const std::vector<std::string> &arguments, const std::string &settingsPath)
{
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    const int code
        = startup::runHeadless(arguments, settingsPath, platform::germanFormats(), out, err);
    return { code, readAll(out), readAll(err) };
}

} // namespace

TEST(Headless, PrintsTheListingWithoutDeletingAnything)
{
    TempTree tree;
    tree.writeFile("data/alt.log", std::string(4096, 'x'));
    tree.writeFile("data/line\nbreak.log");
    tree.setModified("data/alt.log", localEpoch(2017, 5, 13, 9, 26, 51));
    tree.setModified("data/line\nbreak.log", localEpoch(2017, 5, 13, 9, 26, 50));
    tree.writeFile("a.ini", "[Pfade]\n1=" + (tree / "data") + "\n");

    const HeadlessRun listing = run({ "/TAGE:5", "GO", "SOFORT" }, tree / "a.ini");
    EXPECT_EQ(listing.exitCode, 0);
    EXPECT_EQ(listing.err, "");
    const std::string dir = tree / "data/";
    const std::string first = "alt.log\t4 kb\t13.05.2017\t09:26:50\t" + dir + "\n";
    const std::string second = "line?break.log\t0 kb\t13.05.2017\t09:26:50\t" + dir + "\n";
    const std::string header = "Dateiname\tGröße\tDatum\tUhrzeit\tVerzeichnis\n";
    const std::string status = "2 Dateien\t4 KB Gesamt\n";
    EXPECT_TRUE(listing.out == header + first + second + status
        || listing.out == header + second + first + status)
        << listing.out;
    EXPECT_TRUE(tree.exists("data/alt.log"));

    const HeadlessRun empty = run({ "/ID:2" }, tree / "a.ini");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, header + "-- Keine Dateien gefunden --\t\t\t\t\n0 Dateien\t0 KB Gesamt\n");
}

TEST(Headless, ReportsErrorsOnOneLineWithExitCodeOne)
{
    const HeadlessRun bad = run({ "/TAGE:abc" }, "");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err, "Ablagekehrer: 'ABC' ist kein gültiger Integerwert.\n");

    const HeadlessRun empty = run({ "/TAGE:" }, "");
    EXPECT_EQ(empty.err, "Ablagekehrer: '' ist kein gültiger Integerwert.\n");

    const HeadlessRun notice = run({ "/ANZAHL:5", "/SUB", "/LISTE" }, "");
    EXPECT_EQ(notice.exitCode, 1);
    EXPECT_EQ(notice.out, "");
    EXPECT_EQ(notice.err, "Ablagekehrer: /Anzahl und /Sub ist nicht kombinierbar!\n");
}

TEST(Headless, PrintsTheCountListingWithFixedDatesAndNoTotal)
{
    TempTree tree;
    const char *files[] = { "new.tar", "older.tar", "oldest.tar", "newest.tar" };
    const int days[] = { 3, 2, 1, 4 };
    for (int i = 0; i < 4; ++i) {
        tree.writeFile(std::string("data/") + files[i], std::string(4096, 'x'));
        tree.setModified(std::string("data/") + files[i], localEpoch(2017, 2, days[i], 9, 5, 7));
    }
    tree.writeFile("data/sub/ancient.tar");
    tree.setModified("data/sub/ancient.tar", localEpoch(2001, 1, 1));
    tree.writeFile("a.ini", "[Pfade]\n1=" + (tree / "data") + "\n");

    const HeadlessRun listing = run({ "/anzahl:2", "/LISTE" }, tree / "a.ini");
    EXPECT_EQ(listing.exitCode, 0);
    EXPECT_EQ(listing.err, "");
    const std::string dir = tree / "data/";
    EXPECT_EQ(listing.out,
        "Dateiname\tGröße\tDatum\tUhrzeit\tVerzeichnis\n"
        "oldest.tar\t\t20170201\t090506\t"
            + dir + "\nolder.tar\t\t20170202\t090506\t" + dir + "\n2 Dateien\t\n");

    const HeadlessRun nothing = run({ "/ANZAHL:4", "/LISTE" }, tree / "a.ini");
    EXPECT_EQ(nothing.out,
        "Dateiname\tGröße\tDatum\tUhrzeit\tVerzeichnis\n-- Keine Dateien gefunden --\t\t\t\t\n"
        "0 Dateien\t\n");
}
