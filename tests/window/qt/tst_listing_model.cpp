#include "core/listing_table.h"
#include "window/qt/listing_model.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using window::ListingModel;

namespace {

platform::FileEntry file(std::string_view name, std::uint64_t size)
{
    platform::FileEntry entry;
    entry.name = name;
    entry.sizeBytes = size;
    entry.modified = { 2017, 6, 13, 9, 26, 50 };
    return entry;
}

// Runs `change` on the table inside the model's bracket, as the window does.
template <typename Change> void changed(ListingModel &model, Change &&change)
{
    model.beginChange();
    change();
    model.endChange();
}

} // namespace

// The grid's model over the core's table: what it shows, that views and Qt's own checks follow
// every change, and that a huge listing costs nothing until it is drawn.
class TestListingModel : public QObject
{
    Q_OBJECT

private slots:
    void showsTheTableAndFollowsEveryChange()
    {
        core::ListingTable table(platform::germanFormats());
        ListingModel model(table);
        QAbstractItemModelTester tester(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        changed(model, [&] { table.reset(); });
        // Header and one empty row, as clearing the listing while loading leaves them.
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.columnCount(), 5);
        QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Größe");
        QCOMPARE(model.index(0, 0).data().toString(), QString());

        changed(model, [&] {
            const std::uint32_t dir = table.addDirectory(ListingTable::kNoParent, "/srv/a/", {});
            table.addFile(dir, file("alt.log", 5'000'000'000));
            table.addFile(dir, file("caf\xc3\xa9-\xff.txt", 1536));
        });
        QCOMPARE(model.rowCount(), 2);
        const QStringList first = rowTexts(model, 0);
        QCOMPARE(
            first, QStringList({ "alt.log", "4.882.812 kb", "13.06.2017", "09:26:50", "/srv/a/" }));
        // A name that is not UTF-8 is shown with its bad byte replaced.
        QCOMPARE(model.index(1, 0).data().toString(), QString::fromUtf8("café-\uFFFD.txt"));
        QVERIFY(!(model.flags(model.index(1, 0)) & Qt::ItemIsEditable));

        changed(model, [&] { table.setEmptyListing(); });
        QCOMPARE(
            rowTexts(model, 0), QStringList({ "-- Keine Dateien gefunden --", "", "", "", "" }));
    }

    // The grid is drawn while a listing rebuilds the table, and may still hold indexes of rows
    // that are not there yet.
    void anIndexFromBeforeARefreshReadsNothingPastTheTable()
    {
        core::ListingTable table(platform::germanFormats());
        ListingModel model(table);
        changed(model, [&] {
            const std::uint32_t dir = table.addDirectory(ListingTable::kNoParent, "/srv/a/", {});
            for (const char *name : { "a.log", "b.log", "c.log" })
                table.addFile(dir, file(name, 10));
        });
        const QModelIndex last = model.index(2, 4);
        changed(model, [&] {
            table.reset();
            const std::uint32_t dir = table.addDirectory(ListingTable::kNoParent, "/srv/b/", {});
            table.addFile(dir, file("neu.log", 10));
            QCOMPARE(model.data(model.index(0, 4), Qt::DisplayRole).toString(), "/srv/b/");
            QCOMPARE(model.data(last, Qt::DisplayRole), QVariant());
        });
    }

    void aMillionRowsOpenAndScrollAtOnce()
    {
        core::ListingTable table(platform::germanFormats());
        const std::uint32_t dir = table.addDirectory(ListingTable::kNoParent, "/var/spool/", {});
        constexpr int kRows = 1'000'000;
        for (int row = 0; row < kRows; ++row)
            table.addFile(dir, file("auftrag-" + std::to_string(row) + ".dat", 70000));
        ListingModel model(table);

        QElapsedTimer timer;
        timer.start();
        QTableView view;
        view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view.verticalHeader()->setDefaultSectionSize(20);
        view.resize(819, 345);
        view.setModel(&model);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.scrollToBottom();
        QTest::qWait(0);
        view.verticalScrollBar()->setValue(kRows / 2);
        QTest::qWait(0);
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(model.index(kRows - 1, 0).data().toString(), "auftrag-999999.dat");
    }

private:
    using ListingTable = core::ListingTable;

    static QStringList rowTexts(const ListingModel &model, int row)
    {
        QStringList texts;
        for (int column = 0; column < model.columnCount(); ++column)
            texts << model.index(row, column).data().toString();
        return texts;
    }
};

QTEST_MAIN(TestListingModel)
#include "tst_listing_model.moc"
