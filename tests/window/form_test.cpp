#include "core/listing_texts.h"
#include "support/temp_tree.h"
#include "window/form_scripts.h"
#include "window/tfmain.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using form_scripts::Observed;
using testing_support::localEpochDaysFromToday;
using testing_support::TempTree;
using window::Count;
using window::Panel;
using window::Step;

namespace {

// A view that shows nothing: it notes what the form tells it, in `seen` and, call by call, in
// `calls`, and answers the dialogs as a test tells it.
class RecordingView final : public window::View
{
public:
    Observed seen;
    std::vector<std::string> calls;
    const core::ListingTable *table = nullptr;
    bool answer = false;
    // The folder chooser's answers, in turn; nothing is a cancel.
    std::deque<std::optional<std::string>> folders;
    std::optional<int> quitCode;
    bool isBusy = false;
    std::vector<std::string> progress;
    // Called as progress is shown, while the run goes on.
    std::function<void()> onProgress;

    void showDirectories(const std::vector<std::string> &entries, int selected) override
    {
        seen.entries = entries;
        seen.selected = selected;
    }
    void showMode(core::SelectionMode mode) override
    {
        seen.ageMode = mode == core::SelectionMode::Age;
    }
    void showCount(Count count, const std::string &text) override
    {
        (count == Count::Days ? seen.days : seen.files) = text;
    }
    void showSubdirectories(bool ticked) override { seen.subdirectories = ticked; }
    void showLimitDate(const std::string &text) override { seen.date = text; }
    void enableDelete(bool enabled) override { seen.deleteEnabled = enabled; }
    void showStatus(Panel panel, const std::string &text) override
    {
        seen.status.at(static_cast<std::size_t>(panel)) = text;
    }
    void listingChanging() override { calls.emplace_back("listingChanging"); }
    void listingChanged() override
    {
        calls.emplace_back("listingChanged");
        ++seen.listings;
        seen.listed.clear();
        for (std::size_t row = 0; row < core::shownRowCount(*table); ++row) {
            seen.listed.emplace_back();
            core::appendShownCell(seen.listed.back(), *table, core::Column::Name, row);
        }
    }
    void busy(bool on) override
    {
        calls.emplace_back(on ? "busy" : "idle");
        isBusy = on;
    }
    void showProgress(const std::string &text) override
    {
        progress.push_back(text);
        if (onProgress)
            onProgress();
    }
    std::optional<std::string> chooseFolder(const std::string &instruction) override
    {
        dialog("folder", instruction);
        if (folders.empty())
            return std::nullopt;
        const std::optional<std::string> folder = folders.front();
        folders.pop_front();
        return folder;
    }
    bool confirm(const std::string &question) override
    {
        dialog("confirm", question);
        return answer;
    }
    void notice(const std::string &text) override { dialog("notice", text); }
    void error(const std::string &text) override { dialog("error", text); }
    void quit(int exitCode) override
    {
        if (!quitCode)
            quitCode = exitCode;
    }

private:
    void dialog(std::string_view kind, const std::string &text)
    {
        seen.dialogs.push_back(form_scripts::dialogLine(kind, text));
        calls.push_back(seen.dialogs.back());
    }
};

// The form on the recording view, started afresh for each script.
class FormDriver final : public form_scripts::Driver
{
public:
    std::unique_ptr<RecordingView> view;
    std::unique_ptr<window::TFmain> form;

    void start(const std::vector<std::string> &arguments, const std::string &settingsPath) override
    {
        form.reset();
        view = std::make_unique<RecordingView>();
        form = std::make_unique<window::TFmain>(*view, platform::germanFormats());
        view->table = &form->state().Table;
        form->showControls();
        form->FormCreate(startup::parseCommandLine(arguments), settingsPath);
    }

    void act(const form_scripts::Event &event) override
    {
        const auto &[verb, name, value, rest, line] = event;
        const Count count = name == "Tage" || name == "Edit1" ? Count::Days : Count::Files;
        if (verb == "show")
            form->shown();
        else if (verb == "choose")
            form->directoryChosen(view->seen.selected = std::stoi(name));
        else if (verb == "click")
            click(name);
        else if (verb == "step")
            form->stepped(count, value == "up" ? Step::Up : Step::Down);
        else if (verb == "key" && name == "F5")
            form->refreshClicked();
        else if (verb == "key" && value == "enter")
            form->enterPressed(count);
        else if (verb == "key")
            form->stepped(count, value == "up" ? Step::Up : Step::Down);
        else if (verb == "type")
            type(count, value);
        else if (verb == "answer")
            view->answer = name == "yes";
        else if (verb == "folder")
            view->folders.push_back(name == "cancel" ? std::nullopt
                    : name == "-"                    ? std::optional<std::string>("")
                                                     : std::optional<std::string>(rest));
        else
            ADD_FAILURE() << "no such event: " << line;
    }

    Observed observe() override { return view->seen; }

private:
    // What a click on a control does in a view: a disabled button takes none, a check box and
    // a radio button show their new state before they tell it.
    void click(const std::string &name)
    {
        if (name == "SpeedButton1")
            form->addFolderClicked();
        else if (name == "SpeedButton2")
            form->refreshClicked();
        else if (name == "loeschen" && view->seen.deleteEnabled)
            form->deleteClicked();
        else if (name == "subdir")
            form->subdirectoriesTicked(view->seen.subdirectories = !view->seen.subdirectories);
        else if (name == "deltage" || name == "delDateien")
            form->modeClicked(
                name == "deltage" ? core::SelectionMode::Age : core::SelectionMode::Count);
    }

    void type(Count count, const std::string &text)
    {
        (count == Count::Days ? view->seen.days : view->seen.files) = text;
        form->typed(count, text);
    }
};

void writeSettings(const TempTree &tree, int days)
{
    tree.writeFile("ablagekehrer.ini",
        "[Pfade]\n1=" + (tree / "a") + "\n[Optionen]\nTage=" + std::to_string(days) + "\n");
}

void oldFile(const TempTree &tree, const std::string &path, int days = -100)
{
    tree.writeFile(path, "x");
    tree.setModified(path, localEpochDaysFromToday(days));
}

} // namespace

TEST(Form, PlaysEveryScript)
{
    FormDriver driver;
    form_scripts::playAll(driver);
}

// The program with its window, from start-up to the end of the event loop: the unattended run,
// its one showing, and the exit code.
TEST(Form, RunsUnattendedOrUntilTheWindowCloses)
{
    struct Case
    {
        const char *name;
        std::vector<std::string> arguments;
        int exitCode;
        bool deleted;
        std::vector<std::string> dialogs;
        bool endsByItself; // the window shows once and the loop ends without the user
    };
    const std::vector<Case> cases = {
        { "unattended", { "GO" }, 0, true, {}, true },
        { "interactive", {}, 0, false, {}, false },
        { "log error", { "SOFORT", "/PROTOKOLL:{log}" }, 1, false,
            { "error: Ungültiger Dateiname. / {log}" }, false },
        { "start-up error", { "/TAGE:x", "GO" }, 1, false,
            { "error: 'X' ist kein gültiger Integerwert." }, false },
        { "count with subdirectories", { "/ANZAHL:10", "/SUB", "GO" }, 1, false,
            { "notice: /Anzahl und /Sub ist nicht kombinierbar!" }, false },
        { "unknown argument, unattended", { "GO", "/ANZHAL:3" }, 2, false,
            { "error: '/ANZHAL:3' ist kein gültiges Argument (siehe --help)" }, false },
        { "unknown argument, interactive", { "/ANZHAL:3", "django-logs" }, 0, false, {}, false },
        // Start-up's count, not the field's: 0 days in the settings keeps nothing, not even
        // today's files.
        { "no day kept", { "GO" }, 0, true, {}, true },
    };
    for (const Case &run : cases) {
        TempTree tree;
        const bool today = std::string_view(run.name) == "no day kept";
        writeSettings(tree, today ? 0 : 30);
        oldFile(tree, "a/alt.log", today ? 0 : -100);
        const std::string log = tree / "fehlt/x.log";
        std::vector<std::string> arguments;
        for (std::string argument : run.arguments)
            arguments.push_back(argument == "/PROTOKOLL:{log}" ? "/PROTOKOLL:" + log : argument);
        SCOPED_TRACE(run.name);

        RecordingView view;
        window::TFmain form(view, platform::germanFormats());
        view.table = &form.state().Table;
        form.showControls();
        int showings = 0;
        const int code
            = form.run(startup::parseCommandLine(arguments), tree / "ablagekehrer.ini", [&] {
                  form.shown();
                  ++showings;
                  // A window the program does not end is closed by the user.
                  return view.quitCode.value_or(0);
              });

        EXPECT_EQ(code, run.exitCode);
        EXPECT_EQ(view.quitCode.has_value(), run.endsByItself);
        EXPECT_EQ(showings, 1);
        EXPECT_EQ(!tree.exists("a/alt.log"), run.deleted);
        std::vector<std::string> dialogs;
        for (const std::string &dialog : run.dialogs)
            dialogs.push_back(dialog.find("{log}") == std::string::npos
                    ? dialog
                    : dialog.substr(0, dialog.find("{log}")) + log);
        EXPECT_EQ(view.seen.dialogs, dialogs);
    }
}

// A long listing tells the files found so far, and while it goes on no event of the user starts
// anything; the progress panel is cleared once it has ended. Files that stayed after a deletion
// are told before the listing shows them again.
TEST(Form, ARunHoldsTheWindowAndTellsItsProgress)
{
    TempTree tree;
    constexpr int kFiles = 3000;
    for (int file = 0; file < kFiles; ++file)
        oldFile(tree, "a/" + std::to_string(file), file % 3 == 0 ? -100 : -1);
    writeSettings(tree, 30);
    FormDriver driver;
    driver.start({}, tree / "ablagekehrer.ini");
    RecordingView &view = *driver.view;
    std::size_t callsWhileBusy = 0;
    view.onProgress = [&] {
        EXPECT_TRUE(view.isBusy);
        const std::size_t calls = view.calls.size();
        for (const char *event : { "key F5", "step Tage up", "click delDateien", "choose 0",
                 "key Edit1 enter", "click SpeedButton1", "show" })
            driver.play(event);
        callsWhileBusy += view.calls.size() - calls;
    };
    driver.play("show");

    ASSERT_FALSE(view.progress.empty());
    for (const std::string &text : view.progress)
        EXPECT_NE(text.find(" Dateien gefunden"), std::string::npos) << text;
    EXPECT_EQ(callsWhileBusy, 0U);
    EXPECT_EQ(view.seen.days, "30");
    EXPECT_TRUE(view.seen.ageMode);
    EXPECT_EQ(view.seen.listed.size(), std::size_t { kFiles / 3 });
    EXPECT_EQ(view.seen.status[3], "");
    EXPECT_FALSE(view.isBusy);
    // A deletion run tells the files attempted of its total, grouped as the user reads them.
    view.onProgress = nullptr;
    driver.form->state().Progress(1234, 5000);
    EXPECT_EQ(view.progress.back(), "1.234 von 5.000 Dateien gelöscht");

    // Replaced since the listing: a file under the old name and time is not deleted, and is told
    // before the refresh lists it again.
    oldFile(tree, "a/0.neu");
    std::filesystem::rename(tree / "a/0.neu", tree / "a/0");
    view.calls.clear();
    driver.play("answer yes");
    driver.play("click loeschen");
    const std::vector<std::string> told = { "error: 1 Dateien wurden nicht gelöscht.", "busy",
        "listingChanging", "listingChanged" };
    EXPECT_EQ(std::vector(view.calls.end() - 5, view.calls.end() - 1), told);
}
