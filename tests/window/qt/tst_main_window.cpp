#include "core/listing_texts.h"
#include "support/temp_tree.h"
#include "window/qt/application.h"
#include "window/qt/dialogs.h"
#include "window/tfmain.h"
#include "window/qt/up_down.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <deque>
#include <functional>

using testing_support::localEpochDaysFromToday;
using testing_support::TempTree;
using window::TFmain;

namespace {

// Answers the window's dialogs as a test tells it and notes what they were asked.
class FakeDialogs final : public window::Dialogs
{
public:
    // The chooser's answers, in turn; a null string is a cancel.
    std::deque<QString> folders;
    bool answer = false;
    QStringList instructions, questions, notices, errors;

    std::optional<QString> chooseFolder(QWidget *, const QString &instruction) override
    {
        instructions << instruction;
        if (folders.empty())
            return std::nullopt;
        const QString folder = folders.front();
        folders.pop_front();
        if (folder.isNull())
            return std::nullopt;
        return folder;
    }
    bool confirm(QWidget *, const QString &question) override
    {
        questions << question;
        return answer;
    }
    void notice(QWidget *, const QString &text) override { notices << text; }
    void error(QWidget *, const QString &message) override
    {
        errors << message;
        if (onError)
            onError();
    }
    // Called as an error box opens, to look at the window behind it.
    std::function<void()> onError;
};

QString dateDaysFromToday(int days)
{
    const std::time_t moment = localEpochDaysFromToday(days);
    std::tm local {};
    localtime_r(&moment, &local);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%Y", &local);
    return QString::fromLatin1(text);
}

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

// The main window on real folders, driven through its controls: what each event lists, the
// first showing, adding a folder, deleting after the question, errors, and the start with and
// without the unattended run.
class TestTFmain : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_tree = std::make_unique<TempTree>();
        m_dialogs = FakeDialogs();
        // Folder a/ under 30 days lists alt, mittel and grenze; under 31 days alt and mittel;
        // under 45 days alt alone. b/ holds one old file, leer/ none.
        file("a/alt.log", -100);
        file("a/mittel.log", -40);
        file("a/grenze.log", -30, 12);
        file("a/neu.log", -1);
        file("a/sub/tief.log", -100);
        file("b/alt-b.log", -100);
        m_tree->makeDirectory("leer");
        settings("30");
    }

    void cleanup()
    {
        m_window.reset();
        m_tree.reset();
    }

    void firstShowingListsAndEnablesDeleteOnlyWhenFilesWereFound()
    {
        start({});
        QVERIFY(!m_window->loeschen->isEnabled());
        QCOMPARE(m_window->statusText(1), QString());
        QCOMPARE(m_window->statusText(2), QString());
        QCOMPARE(listed(), QStringList({ "" }));
        QVERIFY(!m_window->statusText(0).isEmpty());

        m_window->show();
        QCOMPARE(listed(), QStringList({ "alt.log", "mittel.log", "grenze.log" }));
        QCOMPARE(m_window->statusText(1), "3 Dateien");
        QVERIFY(m_window->statusText(2).endsWith(" KB Gesamt"));
        QCOMPARE(m_window->Datum->text(), dateDaysFromToday(-29));
        QVERIFY(m_window->loeschen->isEnabled());

        start({ "/ID:3" });
        m_window->show();
        QCOMPARE(listed(), QStringList({ "-- Keine Dateien gefunden --" }));
        QCOMPARE(m_window->statusText(1), "0 Dateien");
        QCOMPARE(m_window->statusText(2), "0 KB Gesamt");
        QVERIFY(!m_window->loeschen->isEnabled());
    }

    void stepsListByTheValueBeforeTheStep()
    {
        // Age mode at 30: the step lists by 30 while the edit shows 31; the next refresh by 31.
        startShown({});
        QSignalSpy resets(m_window->liste->model(), &QAbstractItemModel::modelReset);
        QTest::mouseClick(m_window->Tage->upArrow(), Qt::LeftButton);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(m_window->Edit1->text(), "31");
        QCOMPARE(listed(), QStringList({ "alt.log", "mittel.log", "grenze.log" }));
        QCOMPARE(m_window->Datum->text(), dateDaysFromToday(-29));
        QTest::mouseClick(m_window->SpeedButton2, Qt::LeftButton);
        QCOMPARE(listed(), QStringList({ "alt.log", "mittel.log" }));
        QCOMPARE(m_window->Datum->text(), dateDaysFromToday(-30));

        // Count mode: one listing in count mode, then age mode is checked and lists by 31.
        startShown({ "/ANZAHL:2" });
        QVERIFY(m_window->delDateien->isChecked());
        QList<core::SelectionMode> modes;
        connect(m_window->liste->model(), &QAbstractItemModel::modelReset, this,
            [&] { modes << m_window->state().Mode; });
        QTest::mouseClick(m_window->Tage->upArrow(), Qt::LeftButton);
        QCOMPARE(modes, QList({ core::SelectionMode::Count, core::SelectionMode::Age }));
        QVERIFY(m_window->deltage->isChecked());
        QCOMPARE(m_window->Edit1->text(), "31");
        QCOMPARE(listed(), QStringList({ "alt.log", "mittel.log" }));

        // The same from age mode on Dateien: count mode follows, with the new count.
        modes.clear();
        QTest::mouseClick(m_window->Dateien->upArrow(), Qt::LeftButton);
        QCOMPARE(modes, QList({ core::SelectionMode::Age, core::SelectionMode::Count }));
        QCOMPARE(m_window->state().KeepCount, 3);

        // At the upper bound: one refresh, value and mode stay.
        startShown({ "/TAGE:1000" });
        QSignalSpy boundResets(m_window->liste->model(), &QAbstractItemModel::modelReset);
        QTest::mouseClick(m_window->Tage->upArrow(), Qt::LeftButton);
        QCOMPARE(boundResets.count(), 1);
        QCOMPARE(m_window->Edit1->text(), "1000");
        QVERIFY(m_window->deltage->isChecked());
    }

    void controlsThatRefreshNothing()
    {
        startShown({});
        QSignalSpy resets(m_window->liste->model(), &QAbstractItemModel::modelReset);
        QTest::mouseClick(m_window->deltage, Qt::LeftButton);
        QTest::mouseClick(m_window->subdir, Qt::LeftButton);
        QVERIFY(m_window->subdir->isChecked());
        QCOMPARE(resets.count(), 0);
        QCOMPARE(listed().count(), 3);
        QTest::mouseClick(m_window->SpeedButton2, Qt::LeftButton);
        QVERIFY(listed().contains("tief.log"));
    }

    void typedDaysCountFromTheNextRefresh_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("listedFiles");
        QTest::newRow("45") << "45" << 1;
        QTest::newRow("abc") << "abc" << 3;
        QTest::newRow("5000") << "5000" << 3;
    }

    void typedDaysCountFromTheNextRefresh()
    {
        QFETCH(QString, typed);
        QFETCH(int, listedFiles);
        startShown({});
        QSignalSpy resets(m_window->liste->model(), &QAbstractItemModel::modelReset);
        m_window->Edit1->selectAll();
        QTest::keyClicks(m_window->Edit1, typed);
        QCOMPARE(resets.count(), 0);
        QTest::mouseClick(m_window->SpeedButton2, Qt::LeftButton);
        QCOMPARE(listed().count(), listedFiles);
        QCOMPARE(m_window->Edit1->text(), typed);
    }

    void addingAFolderListsItForThisRun()
    {
        startShown({});
        m_dialogs.folders
            = { qs(*m_tree / "b"), qs(*m_tree / "a/"), QString(), QStringLiteral("") };
        QSignalSpy resets(m_window->liste->model(), &QAbstractItemModel::modelReset);

        QTest::mouseClick(m_window->SpeedButton1, Qt::LeftButton);
        QCOMPARE(m_dialogs.instructions, QStringList({ "Verzeichnis wählen" }));
        QCOMPARE(entries().count(), 4);
        QCOMPARE(m_window->dir->currentText(), qs(*m_tree / "b/"));
        QCOMPARE(listed(), QStringList({ "alt-b.log" }));

        // A folder that is already an entry is added once more, at the end.
        QTest::mouseClick(m_window->SpeedButton1, Qt::LeftButton);
        QCOMPARE(entries().count(), 5);
        QCOMPARE(entries().first(), entries().last());
        QCOMPARE(m_window->dir->currentIndex(), 4);
        QCOMPARE(listed().count(), 3);

        // A cancel and an empty path add nothing and list the selected folder again.
        QTest::mouseClick(m_window->SpeedButton1, Qt::LeftButton);
        QTest::mouseClick(m_window->SpeedButton1, Qt::LeftButton);
        QCOMPARE(entries().count(), 5);
        QCOMPARE(resets.count(), 4);
        QCOMPARE(listed().count(), 3);

        // Choosing an entry with the keyboard lists it.
        m_window->dir->setFocus();
        QTest::keyClick(m_window->dir, Qt::Key_Up);
        QCOMPARE(listed(), QStringList({ "alt-b.log" }));
    }

    void deletionAnsweredNoChangesNothing()
    {
        startShown({ "/PROTOKOLL:" + *m_tree / "kehrer.log" });
        QSignalSpy resets(m_window->liste->model(), &QAbstractItemModel::modelReset);
        m_dialogs.answer = false;
        QTest::mouseClick(m_window->loeschen, Qt::LeftButton);
        QCOMPARE(
            m_dialogs.questions, QStringList({ "Sollen die 3 Dateien wirklich gelöscht werden?" }));
        QVERIFY(m_tree->exists("a/alt.log") && m_tree->exists("a/grenze.log"));
        QVERIFY(!m_tree->exists("kehrer.log"));
        QCOMPARE(resets.count(), 0);
        QCOMPARE(listed().count(), 3);
    }

    void deletionAnsweredYesDeletesEveryListedRowWhateverIsSelected()
    {
        startShown({ "/PROTOKOLL:" + *m_tree / "kehrer.log" });
        m_window->liste->selectRow(1);
        m_dialogs.answer = true;
        QTest::mouseClick(m_window->loeschen, Qt::LeftButton);
        for (const char *gone : { "a/alt.log", "a/mittel.log", "a/grenze.log" })
            QVERIFY2(!m_tree->exists(gone), gone);
        QVERIFY(m_tree->exists("a/neu.log"));
        QVERIFY(m_tree->readFile("kehrer.log").find("Start der Dateilöschung von 3 Dateien")
            != std::string::npos);
        QCOMPARE(listed(), QStringList({ "-- Keine Dateien gefunden --" }));
        QCOMPARE(m_window->statusText(1), "0 Dateien");
        QVERIFY(!m_window->loeschen->isEnabled());
        QVERIFY(m_dialogs.errors.isEmpty());
    }

    void logErrorShowsTheErrorBoxAndLeavesTheGrid_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing folder") << "fehlt/kehrer.log"
                                        << "Ungültiger Dateiname.";
        QTest::newRow("full disk") << "/dev/full"
                                   << "Zu wenig Speicherplatz.";
    }

    void logErrorShowsTheErrorBoxAndLeavesTheGrid()
    {
        QFETCH(QString, log);
        QFETCH(QString, message);
        const std::string path = (log.startsWith('/') ? "" : m_tree->path()) + log.toStdString();
        startShown({ "/PROTOKOLL:" + path });
        QSignalSpy resets(m_window->liste->model(), &QAbstractItemModel::modelReset);
        m_dialogs.answer = true;
        QTest::mouseClick(m_window->loeschen, Qt::LeftButton);
        // The log's path stands on a line of its own below the message.
        QCOMPARE(m_dialogs.errors, QStringList({ message + "\n" + qs(path) }));
        QCOMPARE(resets.count(), 0);
        QCOMPARE(listed(), QStringList({ "alt.log", "mittel.log", "grenze.log" }));
        QVERIFY(m_window->loeschen->isEnabled());
        // The window stays usable.
        QTest::mouseClick(m_window->SpeedButton2, Qt::LeftButton);
        QCOMPARE(resets.count(), 1);
    }

    void filesThatStayedAreToldBeforeTheListingShowsThemAgain()
    {
        startShown({});
        // Replaced since the listing: a new file under the old name and time is not deleted.
        m_tree->writeFile("a/alt.log.neu", "neu");
        m_tree->setModified("a/alt.log.neu", localEpochDaysFromToday(-100));
        QCOMPARE(
            std::rename((*m_tree / "a/alt.log.neu").c_str(), (*m_tree / "a/alt.log").c_str()), 0);
        QStringList listedWhenTold;
        m_dialogs.onError = [&] { listedWhenTold = listed(); };
        m_dialogs.answer = true;
        QTest::mouseClick(m_window->loeschen, Qt::LeftButton);
        QCOMPARE(m_dialogs.errors, QStringList({ "1 Dateien wurden nicht gelöscht." }));
        QCOMPARE(listedWhenTold, QStringList({ "alt.log", "mittel.log", "grenze.log" }));
        QCOMPARE(listed(), QStringList({ "alt.log" }));
        QCOMPARE(m_tree->readFile("a/alt.log"), "neu");
    }

    void errorBoxShowsThePathOnALineOfItsOwn()
    {
        const std::string missing = *m_tree / "fehlt.ini";
        QVERIFY(!start({ "/INI:" + missing }));
        QCOMPARE(m_dialogs.errors, QStringList({ "Ungültiger Dateiname.\n" + qs(missing) }));
    }

    void folderOfTheRunIsAddedAndSelected()
    {
        start({ "/ID:1", "/Verzeichnis:" + *m_tree / "b" });
        QCOMPARE(entries().count(), 4);
        QCOMPARE(entries().last(), qs(*m_tree / "b/"));
        QCOMPARE(m_window->dir->currentText(), qs(*m_tree / "b/"));
        m_window->show();
        QCOMPARE(listed(), QStringList({ "alt-b.log" }));
    }

    void startupIsShownInTheControls()
    {
        // A switch that is no number: the values the window was built with, and of the switches
        // only "/SUB".
        QVERIFY(!start({ "/SUB", "/ANZAHL:3", "/ID:2", "/TAGE:abc" }));
        QCOMPARE(m_dialogs.errors, QStringList({ "'ABC' ist kein gültiger Integerwert." }));
        QCOMPARE(entries(), QStringList({ "/tmp/" }));
        QCOMPARE(m_window->dir->currentIndex(), 0);
        QCOMPARE(m_window->Edit1->text(), "30");
        QCOMPARE(m_window->Edit2->text(), "10");
        QVERIFY(m_window->deltage->isChecked());
        QVERIFY(m_window->subdir->isChecked());

        // Counts beyond the spins' range show, and are used, as the nearest bound.
        settings("5000");
        const auto started = start({ "/ANZAHL:0x7FFF", "/ID:9" });
        QVERIFY(started && !started->unattendedRequested);
        QCOMPARE(m_window->Edit1->text(), "1000");
        QCOMPARE(m_window->Edit2->text(), "1000");
        QVERIFY(m_window->delDateien->isChecked());
        QCOMPARE(entries().count(), 3);
        QCOMPARE(m_window->dir->currentIndex(), -1);
        settings("-4");
        start({});
        QCOMPARE(m_window->Edit1->text(), "1");

        // Count mode with subdirectories: the notice, and no unattended run.
        m_dialogs = FakeDialogs();
        const auto refused = start({ "/ANZAHL:5", "/SUB", "GO" });
        QVERIFY(refused && !refused->unattendedRequested);
        QCOMPARE(m_dialogs.notices, QStringList({ "/Anzahl und /Sub ist nicht kombinierbar!" }));
        QVERIFY(m_dialogs.errors.isEmpty());
        QCOMPARE(m_window->Edit2->text(), "5");
    }

    void theProgramRunsUnattendedOrUntilTheWindowCloses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("deleted");
        QTest::addColumn<QString>("error");
        // The status after the show handler's listing; empty where it lists a foreign folder.
        QTest::addColumn<QString>("shownStatus");
        QTest::newRow("unattended")
            << QStringList({ "GO" }) << 0 << true << QString() << "0 Dateien";
        QTest::newRow("interactive") << QStringList() << 0 << false << QString() << "3 Dateien";
        QTest::newRow("log error") << QStringList({ "SOFORT", "/PROTOKOLL:/nirgends/x.log" }) << 1
                                   << false << "Ungültiger Dateiname.\n/nirgends/x.log"
                                   << "3 Dateien";
        QTest::newRow("start-up error") << QStringList({ "/TAGE:x", "GO" }) << 1 << false
                                        << "'X' ist kein gültiger Integerwert." << QString();
        QTest::newRow("count with subdirectories") << QStringList({ "/ANZAHL:10", "/SUB", "GO" })
                                                   << 1 << false << QString() << "0 Dateien";
        QTest::newRow("unknown argument, unattended")
            << QStringList({ "GO", "/ANZHAL:3" }) << 2 << false
            << "'/ANZHAL:3' ist kein gültiges Argument (siehe --help)" << QString();
        QTest::newRow("unknown argument, interactive")
            << QStringList({ "/ANZHAL:3", "django-logs" }) << 0 << false << QString()
            << "3 Dateien";
    }

    void theProgramRunsUnattendedOrUntilTheWindowCloses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(bool, deleted);
        QFETCH(QString, error);
        QFETCH(QString, shownStatus);
        std::vector<std::string> args;
        for (const QString &argument : arguments)
            args.push_back(argument.toStdString());

        // Each time the window is shown, note what its show handler listed; a window that stays
        // is closed by the "user" once the loop runs. A run that hangs ends with 99.
        QStringList shown;
        ShowWatcher watcher([&](TFmain *window) {
            shown << qs(core::statusFiles(window->state()));
            QTimer::singleShot(0, window, &QWidget::close);
        });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); });
        const int code = window::runWindow(m_dialogs, startup::parseCommandLine(args),
            *m_tree / "ablagekehrer.ini", platform::germanFormats());

        QCOMPARE(code, exitCode);
        QCOMPARE(shown.count(), 1);
        if (!shownStatus.isEmpty())
            QCOMPARE(shown.first(), shownStatus);
        QCOMPARE(!m_tree->exists("a/alt.log"), deleted);
        QCOMPARE(m_dialogs.errors, error.isEmpty() ? QStringList() : QStringList({ error }));
    }

    void unattendedRunUsesTheCountsAsStartUpSetThem()
    {
        // "Tage" = 0 puts the limit at tomorrow: even a file of today's midnight goes, which the
        // window's spin, limited to 1, would keep.
        settings("0");
        file("a/heute.log", 0);
        ShowWatcher watcher([](TFmain *window) { QTimer::singleShot(0, window, &QWidget::close); });
        QCOMPARE(window::runWindow(m_dialogs, startup::parseCommandLine({ "GO" }),
                     *m_tree / "ablagekehrer.ini", platform::germanFormats()),
            0);
        QVERIFY(!m_tree->exists("a/heute.log"));
    }

    // A long listing tells the files found so far in the status bar and lets the window draw
    // itself, while the user's clicks and keys, closing the window, and any handler the drawing
    // could start wait until it has ended.
    void longListingShowsProgressAndTakesNoInput()
    {
        constexpr int kFiles = 3000;
        for (int file = 0; file < kFiles; ++file) {
            std::string path = "gross/";
            path += std::to_string(file);
            m_tree->writeFile(path);
            m_tree->setModified(path, localEpochDaysFromToday(file % 3 == 0 ? -100 : -1));
        }
        start({ "/VERZEICHNIS:" + *m_tree / "gross" });

        QStringList progress;
        bool waitCursor = true;
        // A timer is no user input: it fires whenever the listing lets the window draw.
        QTimer probe;
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, this, [&] {
            progress << m_window->statusText(3);
            const QCursor *cursor = QGuiApplication::overrideCursor();
            waitCursor = waitCursor && cursor && cursor->shape() == Qt::WaitCursor;
            QTest::keyClick(m_window->Edit1, Qt::Key_Up);
            QTest::mouseClick(m_window->delDateien, Qt::LeftButton);
            m_window->SpeedButton2->click();
            m_window->close();
        });
        probe.start();
        m_window->show();
        probe.stop();

        QVERIFY(!progress.isEmpty());
        const QRegularExpression found(QStringLiteral("^[0-9.]+ Dateien gefunden$"));
        for (const QString &text : progress)
            QVERIFY2(found.match(text).hasMatch(), qPrintable(text));
        QVERIFY(waitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->Edit1->text(), "30");
        QVERIFY(m_window->deltage->isChecked());
        QCOMPARE(listed().size(), kFiles / 3);
        QCOMPARE(m_window->statusText(1), "1000 Dateien");
        QCOMPARE(m_window->statusText(3), QString());
        // A deletion run tells the files attempted of its total, grouped as the user reads them.
        m_window->state().Progress(1234, 5000);
        QCOMPARE(m_window->statusText(3), "1.234 von 5.000 Dateien gelöscht");

        // Once the listing has ended, the window takes input again.
        QTest::mouseClick(m_window->delDateien, Qt::LeftButton);
        QVERIFY(m_window->delDateien->isChecked());
        QCOMPARE(listed().size(), kFiles - 10);
    }

private:
    // Calls back when a TFmain has been shown and its show handler has run.
    class ShowWatcher : public QObject
    {
    public:
        explicit ShowWatcher(std::function<void(TFmain *)> shown)
            : m_shown(std::move(shown))
        {
            qApp->installEventFilter(this);
        }
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            auto *window = qobject_cast<TFmain *>(watched);
            if (window && event->type() == QEvent::Show) {
                // The show handler runs inside the event; look once it is through.
                m_pending = window;
                return false;
            }
            if (m_pending && event->type() == QEvent::ShowToParent && watched == m_pending) {
                TFmain *done = m_pending;
                m_pending = nullptr;
                m_shown(done);
            }
            return false;
        }

    private:
        std::function<void(TFmain *)> m_shown;
        TFmain *m_pending = nullptr;
    };

    void file(std::string_view path, int days, int hour = 0)
    {
        m_tree->writeFile(path, std::string(2048, 'x'));
        m_tree->setModified(path, localEpochDaysFromToday(days, hour));
    }

    void settings(const std::string &days)
    {
        m_tree->writeFile("ablagekehrer.ini",
            "[Pfade]\n1=" + *m_tree / "a" + "\n2=" + *m_tree / "b/" + "\n3=" + *m_tree / "leer"
                + "\n[Optionen]\nTage=" + days + "\n");
    }

    std::optional<startup::StartupResult> start(const std::vector<std::string> &arguments)
    {
        m_window.reset();
        m_window = std::make_unique<TFmain>(m_dialogs, platform::germanFormats());
        return m_window->FormCreate(
            startup::parseCommandLine(arguments), *m_tree / "ablagekehrer.ini");
    }

    void startShown(const std::vector<std::string> &arguments)
    {
        start(arguments);
        m_window->show();
    }

    QStringList listed() const
    {
        QStringList names;
        const QAbstractItemModel *model = m_window->liste->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 0).data().toString();
        return names;
    }

    QStringList entries() const
    {
        QStringList texts;
        for (int entry = 0; entry < m_window->dir->count(); ++entry)
            texts << m_window->dir->itemText(entry);
        return texts;
    }

    std::unique_ptr<TempTree> m_tree;
    FakeDialogs m_dialogs;
    std::unique_ptr<TFmain> m_window;
};

QTEST_MAIN(TestTFmain)
#include "tst_tfmain.moc"
