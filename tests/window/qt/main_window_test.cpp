#include "support/temp_tree.h"
#include "window/form_scripts.h"
#include "window/qt/application.h"
#include "window/qt/dialogs.h"
#include "window/qt/folder_box.h"
#include "window/qt/main_window.h"
#include "window/qt/up_down.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <gtest/gtest.h>

using form_scripts::Observed;
using testing_support::localEpochDaysFromToday;
using testing_support::TempTree;
using window::MainWindow;
using window::Panel;

namespace {

std::string text(const QString &qtText)
{
    return qtText.toStdString();
}

// Answers the window's dialogs as a test tells it and notes each, its lines joined by " / ".
class FakeDialogs final : public window::Dialogs
{
public:
    std::deque<std::optional<QString>> folders;
    bool answer = false;
    std::vector<std::string> shown;

    std::optional<QString> chooseFolder(QWidget *, const QString &instruction) override
    {
        note("folder", instruction);
        if (folders.empty())
            return std::nullopt;
        const std::optional<QString> folder = folders.front();
        folders.pop_front();
        return folder;
    }
    bool confirm(QWidget *, const QString &question) override
    {
        note("confirm", question);
        return answer;
    }
    void notice(QWidget *, const QString &message) override { note("notice", message); }
    void error(QWidget *, const QString &message) override { note("error", message); }

private:
    void note(const char *kind, const QString &message)
    {
        shown.push_back(form_scripts::dialogLine(kind, text(message)));
    }
};

// The window driven through its widgets, as the user's clicks and keys reach them.
class QtDriver final : public form_scripts::Driver
{
public:
    FakeDialogs dialogs;
    std::unique_ptr<MainWindow> window;
    int listings = 0;

    void start(const std::vector<std::string> &arguments, const std::string &settingsPath) override
    {
        window.reset();
        dialogs = FakeDialogs();
        listings = 0;
        window = std::make_unique<MainWindow>(dialogs, platform::germanFormats());
        QObject::connect(
            window->liste->model(), &QAbstractItemModel::modelReset, [this] { ++listings; });
        window->form().FormCreate(startup::parseCommandLine(arguments), settingsPath);
    }

    void act(const form_scripts::Event &event) override
    {
        const auto &[verb, name, value, rest, line] = event;
        MainWindow &shown = *window;
        if (verb == "show") {
            shown.show();
            // Keys reach the active window, as they reach the window the user works in.
            QApplication::setActiveWindow(&shown);
        } else if (verb == "choose") {
            choose(std::stoi(name));
        } else if (verb == "click") {
            QTest::mouseClick(control(name), Qt::LeftButton);
        } else if (verb == "step") {
            window::UpDown *arrows = name == "Tage" ? shown.Tage : shown.Dateien;
            QTest::mouseClick(
                value == "up" ? arrows->upArrow() : arrows->downArrow(), Qt::LeftButton);
        } else if (verb == "key" && name == "F5") {
            QTest::keyClick(shown.liste, Qt::Key_F5);
        } else if (verb == "key") {
            const Qt::Key key = value == "up" ? Qt::Key_Up
                : value == "down"             ? Qt::Key_Down
                                              : Qt::Key_Return;
            QTest::keyClick(control(name), key);
        } else if (verb == "type") {
            auto *edit = static_cast<QLineEdit *>(control(name));
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, QString::fromStdString(value));
        } else if (verb == "answer") {
            dialogs.answer = name == "yes";
        } else if (verb == "folder") {
            dialogs.folders.push_back(name == "cancel" ? std::nullopt
                    : name == "-"                      ? std::optional<QString>(QString(""))
                                                       : QString::fromStdString(rest));
        } else {
            ADD_FAILURE() << "no such event: " << line;
        }
    }

    Observed observe() override
    {
        const MainWindow &shown = *window;
        Observed seen;
        const QAbstractItemModel *model = shown.liste->model();
        for (int row = 0; row < model->rowCount(); ++row)
            seen.listed.push_back(text(model->index(row, 0).data().toString()));
        for (int entry = 0; entry < shown.dir->count(); ++entry)
            seen.entries.push_back(text(shown.dir->itemText(entry)));
        seen.selected = shown.dir->currentIndex();
        seen.days = text(shown.Edit1->text());
        seen.files = text(shown.Edit2->text());
        seen.date = text(shown.Datum->text());
        seen.ageMode = shown.deltage->isChecked();
        EXPECT_NE(shown.deltage->isChecked(), shown.delDateien->isChecked());
        seen.subdirectories = shown.subdir->isChecked();
        seen.deleteEnabled = shown.loeschen->isEnabled();
        for (const Panel panel : { Panel::Notice, Panel::Files, Panel::Total, Panel::Progress })
            seen.status.at(static_cast<std::size_t>(panel)) = text(shown.statusText(panel));
        seen.dialogs = dialogs.shown;
        seen.listings = listings;
        return seen;
    }

private:
    QWidget *control(const std::string &name) const
    {
        auto *found = window->findChild<QWidget *>(QString::fromStdString(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // A click on the entry in the drop-down's open list.
    void choose(int entry)
    {
        window::FolderBox *box = window->dir;
        box->showPopup();
        QAbstractItemView *list = box->view();
        const QRect item = list->visualRect(list->model()->index(entry, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    }
};

// Every script of the window's table, driven through the widgets: the binding of each control
// to the form.
TEST(QtWindow, PlaysEveryScriptThroughItsControls)
{
    QtDriver driver;
    form_scripts::playAll(driver);
}

// The scripts' tree is not needed below: a settings file naming `folder`, and the window
// started on it.
struct Started
{
    TempTree tree;
    QtDriver driver;

    explicit Started(const std::vector<std::string> &arguments = {}, int files = 3)
    {
        for (int file = 0; file < files; ++file) {
            const std::string path = "a/" + std::to_string(file) + ".log";
            tree.writeFile(path);
            tree.setModified(path, localEpochDaysFromToday(file % 3 == 0 ? -100 : -1));
        }
        tree.writeFile("ablagekehrer.ini", "[Pfade]\n1=" + (tree / "a") + "\n");
        driver.start(arguments, tree / "ablagekehrer.ini");
    }
    MainWindow &window() { return *driver.window; }
};

// Holding an arrow down repeats full steps, each with its listing.
TEST(QtWindow, HoldingAnArrowRepeatsFullSteps)
{
    Started started;
    started.driver.play("show");
    QToolButton *up = started.window().Tage->upArrow();
    const int before = started.driver.listings;
    const int days = started.window().Edit1->text().toInt();
    QTest::mousePress(up, Qt::LeftButton);
    QTest::qWait(up->autoRepeatDelay() + 4 * up->autoRepeatInterval());
    QTest::mouseRelease(up, Qt::LeftButton);
    const int steps = started.window().Edit1->text().toInt() - days;
    EXPECT_GE(steps, 3);
    EXPECT_EQ(started.driver.listings - before, steps);
}

// The window opens at its size, wholly on a screen smaller than it (the test's screen is 800
// pixels wide), and the grid takes the room when the user makes it larger.
TEST(QtWindow, OpensOnTheScreenAndTheGridTakesTheRoom)
{
    Started started;
    MainWindow &window = started.window();
    window.show();
    const QRect room = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    EXPECT_TRUE(room.contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height() << " on "
        << room.width() << "x" << room.height();
    const int margins = frame.width() - window.width();
    EXPECT_EQ(window.width(), std::min(819, room.width() - margins));
    EXPECT_EQ(window.height(), 450);

    window.resize(1000, 700);
    EXPECT_EQ(window.liste->geometry(), QRect(0, 86, 1000, 700 - 86 - 19));
    EXPECT_EQ(window.status->geometry(), QRect(0, 700 - 19, 1000, 19));
    EXPECT_EQ(window.Panel1->width(), 1000);
}

// A path too long for the drop-down shows its start and its last folder, and the whole path as
// tooltip: folders that differ only at their end stay apart.
TEST(QtWindow, ALongPathIsElidedInTheMiddle)
{
    const std::string deep = "lange/" + std::string(60, 'x') + "/spool";
    TempTree tree;
    tree.makeDirectory(deep);
    Started started({ "/VERZEICHNIS:" + (tree / deep) });
    const window::FolderBox *box = started.window().dir;
    const QString whole = QString::fromStdString(tree / deep + "/");
    EXPECT_EQ(box->currentText(), whole);
    EXPECT_EQ(box->toolTip(), whole);
    const QString shown = box->shownText();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << text(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("spool/"))) << text(shown);
}

// Tab walks the controls in their order, the image buttons among them, and leaves the grid.
TEST(QtWindow, TabReachesTheImageButtonsAndLeavesTheGrid)
{
    Started started;
    started.driver.play("show");
    MainWindow &window = started.window();
    window.Edit1->setFocus();
    std::vector<std::string> order;
    for (int tab = 0; tab < 9; ++tab) {
        order.push_back(text(QApplication::focusWidget()->objectName()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order,
        (std::vector<std::string> { "Edit1", "dir", "SpeedButton1", "loeschen", "Edit2",
            "SpeedButton2", "deltage", "subdir", "liste" }));
    EXPECT_EQ(text(QApplication::focusWidget()->objectName()), "Edit1");
}

// While a long listing goes on, the window draws itself and tells its progress, but the user's
// clicks, keys and closing wait until it has ended, under the wait cursor.
TEST(QtWindow, ARunHoldsTheUsersInputBack)
{
    constexpr int kFiles = 3000;
    Started started({}, kFiles);
    MainWindow &window = started.window();
    const QString days = window.Edit1->text();
    std::vector<std::string> progress;
    bool waitCursor = true;
    // A timer is no user input: it fires whenever the listing lets the window draw.
    QTimer probe;
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        progress.push_back(text(window.statusText(Panel::Progress)));
        const QCursor *cursor = QGuiApplication::overrideCursor();
        waitCursor = waitCursor && cursor && cursor->shape() == Qt::WaitCursor;
        QTest::keyClick(window.Edit1, Qt::Key_Up);
        QTest::mouseClick(window.delDateien, Qt::LeftButton);
        QTest::keyClick(window.liste, Qt::Key_F5);
        window.close();
    });
    probe.start();
    started.driver.play("show");
    probe.stop();

    ASSERT_FALSE(progress.empty());
    EXPECT_NE(progress.front().find(" Dateien gefunden"), std::string::npos) << progress.front();
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Edit1->text(), days);
    EXPECT_TRUE(window.deltage->isChecked());
    EXPECT_EQ(started.driver.observe().listed.size(), std::size_t { kFiles / 3 });
    // Once the listing has ended, the window takes input again.
    QTest::mouseClick(window.delDateien, Qt::LeftButton);
    EXPECT_EQ(started.driver.observe().listed.size(), std::size_t { kFiles - 10 });
}

// The program's event loop: it ends by itself after an unattended run has shown the window once,
// and when the user closes the window otherwise.
TEST(QtWindow, TheLoopEndsAfterTheUnattendedRunOrWithTheWindow)
{
    for (const bool unattended : { true, false }) {
        TempTree tree;
        tree.writeFile("a/alt.log");
        tree.setModified("a/alt.log", localEpochDaysFromToday(-100));
        tree.writeFile("ablagekehrer.ini", "[Pfade]\n1=" + (tree / "a") + "\n");
        FakeDialogs dialogs;
        // A window that stays is closed by the "user" once the loop runs; a loop that hangs ends
        // with 99.
        QTimer user;
        user.setSingleShot(true);
        QObject::connect(&user, &QTimer::timeout, [unattended] {
            for (QWidget *shown : QApplication::topLevelWidgets())
                if (auto *window = qobject_cast<MainWindow *>(shown); window && !unattended)
                    window->close();
        });
        user.start(0);
        QTimer hang;
        QObject::connect(&hang, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        hang.start(10000);
        const int code = window::runWindow(dialogs,
            startup::parseCommandLine(
                unattended ? std::vector<std::string> { "GO" } : std::vector<std::string> {}),
            tree / "ablagekehrer.ini", platform::germanFormats());
        EXPECT_EQ(code, 0);
        EXPECT_EQ(tree.exists("a/alt.log"), !unattended);
        EXPECT_TRUE(dialogs.shown.empty());
    }
}

} // namespace

int main(int argc, char **argv)
{
    // No display is needed, also when CTest lists the tests.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
