#include "window/tfmain.h"

#include "core/deletion_run.h"
#include "core/errors.h"
#include "core/list_by_age.h"
#include "core/listing_texts.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/selection.h"
#include "platform/path_separator.h"
#include "platform/system_error.h"
#include "startup/headless.h"
#include "startup/unattended.h"
#include "window/texts.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace window {

namespace {

constexpr int kCountMinimum = 1;
constexpr int kCountMaximum = 1000;

} // namespace

// A listing or a deletion run under way: the view holds the user's input back and shows the wait
// cursor, the events refuse to run, and the progress panel is cleared when the outermost run ends.
class TFmain::Busy
{
public:
    explicit Busy(TFmain &form)
        : m_form(form)
    {
        if (m_form.m_busy++ == 0)
            m_form.m_view.busy(true);
    }
    ~Busy()
    {
        if (--m_form.m_busy == 0) {
            m_form.m_view.showStatus(Panel::Progress, {});
            m_form.m_view.busy(false);
        }
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    TFmain &m_form;
};

// Brackets a change of the listing table for the view, also when the change ends with an error.
class TFmain::ListingChange
{
public:
    explicit ListingChange(View &view)
        : m_view(view)
    {
        m_view.listingChanging();
    }
    ~ListingChange() { m_view.listingChanged(); }
    ListingChange(const ListingChange &) = delete;
    ListingChange &operator=(const ListingChange &) = delete;

private:
    View &m_view;
};

TFmain::TFmain(View &view, const platform::LocaleFormats &formats)
    : m_view(view)
    , m_state(formats)
    , m_days(kCountMinimum, kCountMaximum, 30)
    , m_files(kCountMinimum, kCountMaximum, 10)
{
    // The drop-down's one entry before start-up, which replaces it unless it fails early.
    m_state.Directories = { texts::kDefaultDirectory };
    m_state.SelectedDirectory = texts::kDefaultDirectory;
    m_state.Progress = [this](std::size_t done, std::size_t total) { showProgress(done, total); };
}

void TFmain::showControls()
{
    m_view.showDirectories(m_state.Directories, m_selected);
    m_view.showMode(m_mode);
    m_view.showCount(Count::Days, m_days.text());
    m_view.showCount(Count::Files, m_files.text());
    m_view.showSubdirectories(m_subdirectories);
    m_view.showStatus(Panel::Notice, texts::kStatusNotice);
    showResults();
}

int TFmain::run(const startup::CommandLine &commandLine, const std::string &settingsPath,
    const std::function<int()> &showAndLoop)
{
    const std::optional<startup::StartupResult> startup = FormCreate(commandLine, settingsPath);
    bool completed = false;
    if (startup && startup->unattendedRequested)
        completed = runUnattended();
    const int loop = showAndLoop();
    const startup::Requests &requests = commandLine.requests;
    // An unattended run refused for an argument that matches no switch did nothing at all.
    if (requests.unattended && requests.unknownArgument)
        return 2;
    const bool unattendedFailed = requests.unattended && !completed;
    return loop != 0 || unattendedFailed ? 1 : 0;
}

std::optional<startup::StartupResult> TFmain::FormCreate(
    const startup::CommandLine &commandLine, const std::string &settingsPath)
{
    std::optional<startup::StartupResult> result;
    // Until the window is first shown, nothing is listed.
    m_loading = true;
    const bool completed = guarded([&] {
        // Arguments that match no switch are ignored while the user watches the window, but stop
        // an unattended run before it lists anything.
        result = startup::FormCreate(m_state, commandLine, settingsPath,
            commandLine.requests.unattended ? startup::UnknownArguments::Refuse
                                            : startup::UnknownArguments::Ignore);
    });
    showStartupState();
    {
        ListingChange change(m_view);
        core::clearListing(m_state);
    }
    showResults();
    if (!completed)
        return std::nullopt;
    if (result->countWithSubdirectoriesNotice)
        m_view.notice(std::string(core::messages::kCountWithSubdirectories));
    return result;
}

bool TFmain::runUnattended()
{
    std::size_t stayed = 0;
    const bool completed = guarded([&] {
        Busy busy(*this);
        ListingChange change(m_view);
        stayed = startup::runUnattended(m_state, false).stayed.size();
    });
    showResults();
    if (stayed > 0)
        showError(core::messages::filesStayed(stayed));
    m_endAfterShowing = completed && stayed == 0;
    return m_endAfterShowing;
}

void TFmain::shown()
{
    guarded([this] { FormShow(); });
    // The unattended run asked the program to end: the window was shown once, with what the run
    // left.
    if (m_endAfterShowing) {
        m_endAfterShowing = false;
        m_view.quit(0);
    }
}

void TFmain::directoryChosen(int entry)
{
    guarded([this, entry] {
        m_selected = entry;
        dirChange();
    });
}

void TFmain::refreshClicked()
{
    guarded([this] { dirChange(); });
}

void TFmain::modeClicked(core::SelectionMode mode)
{
    // Clicking the radio button that is checked does nothing.
    guarded([this, mode] {
        if (mode != m_mode)
            check(mode);
    });
}

void TFmain::subdirectoriesTicked(bool ticked)
{
    // Counts from the next refresh.
    m_subdirectories = ticked;
}

void TFmain::addFolderClicked()
{
    guarded([this] { SpeedButton1Click(); });
}

void TFmain::deleteClicked()
{
    guarded([this] { loeschenClick(); });
}

void TFmain::stepped(Count count, Step step)
{
    if (isBusy())
        return;
    // Before the step: a refresh with the value that still stands, and an error there does not
    // stop the step.
    guarded([this] { DateienChanging(); });
    CountField &changed = field(count);
    if (!changed.step(step))
        return;
    m_view.showCount(count, changed.text());
    showLimitDate();
    guarded([this, count] { count == Count::Days ? TageClick() : DateienClick(); });
}

void TFmain::typed(Count count, std::string text)
{
    // Counts from the next time the value is read; the date beside the days follows at once.
    field(count).type(std::move(text));
    if (count == Count::Days)
        showLimitDate();
}

void TFmain::enterPressed(Count count)
{
    guarded([this, count] {
        const auto mode
            = count == Count::Days ? core::SelectionMode::Age : core::SelectionMode::Count;
        if (mode != m_mode) {
            m_mode = mode;
            m_view.showMode(mode);
        }
        dirChange();
    });
}

void TFmain::FormShow()
{
    m_loading = false;
    dirChange();
}

void TFmain::dirChange()
{
    Busy busy(*this);
    {
        ListingChange change(m_view);
        if (m_loading) {
            core::clearListing(m_state);
        } else {
            takeControls();
            core::Refresh(m_state);
        }
    }
    showResults();
}

void TFmain::SpeedButton1Click()
{
    const std::optional<std::string> folder = m_view.chooseFolder(texts::kChooseFolder);
    // A chooser that reports success with an empty path adds nothing.
    if (folder && !folder->empty()) {
        std::string path = *folder;
        if (path.back() != platform::kPathSeparator)
            path += platform::kPathSeparator;
        m_state.Directories.push_back(path);
        m_selected = static_cast<int>(m_state.Directories.size()) - 1;
        m_view.showDirectories(m_state.Directories, m_selected);
    }
    dirChange();
}

void TFmain::loeschenClick()
{
    // Only a listing that found files can be deleted, whatever reaches this handler.
    if (!m_state.DeleteEnabled)
        return;
    if (!m_view.confirm(texts::confirmDeletion(m_state.Table.fileCount())))
        return;
    std::size_t stayed = 0;
    {
        Busy busy(*this);
        stayed = core::DeleteListed(m_state).stayed.size();
    }
    // Files that stayed are told before the listing shows them again.
    if (stayed > 0)
        showError(core::messages::filesStayed(stayed));
    dirChange();
}

void TFmain::DateienChanging()
{
    dirChange();
}

void TFmain::TageClick()
{
    if (m_mode != core::SelectionMode::Age)
        check(core::SelectionMode::Age);
}

void TFmain::DateienClick()
{
    if (m_mode != core::SelectionMode::Count)
        check(core::SelectionMode::Count);
}

std::string TFmain::selectedDirectory() const
{
    const auto &entries = m_state.Directories;
    return m_selected >= 0 && static_cast<std::size_t>(m_selected) < entries.size()
        ? entries[static_cast<std::size_t>(m_selected)]
        : std::string();
}

// A radio button becoming checked, by the user or by a handler: the other one is unchecked, and
// the refresh lists in the new mode.
void TFmain::check(core::SelectionMode mode)
{
    m_mode = mode;
    m_view.showMode(mode);
    dirChange();
}

void TFmain::takeControls()
{
    m_state.SelectedDirectory = selectedDirectory();
    m_state.Mode = m_mode;
    m_state.DayCount = static_cast<std::int16_t>(m_days.position());
    m_state.KeepCount = static_cast<std::int16_t>(m_files.position());
    m_state.IncludeSubdirectories = m_subdirectories;
}

void TFmain::showResults()
{
    showLimitDate();
    m_view.enableDelete(m_state.DeleteEnabled);
    m_view.showStatus(Panel::Files, core::statusFiles(m_state));
    m_view.showStatus(Panel::Total, core::statusTotal(m_state));
}

// The date beside the days belongs to the number shown there, also after a step that listed by
// the number before it, and while the user types.
void TFmain::showLimitDate()
{
    m_view.showLimitDate(core::limitDateText(
        static_cast<std::int16_t>(m_days.shown()), m_state.Clock, m_state.Formats));
}

void TFmain::showStartupState()
{
    const auto &entries = m_state.Directories;
    const auto selected = std::find(entries.begin(), entries.end(), m_state.SelectedDirectory);
    m_selected = m_state.SelectedDirectory.empty() || selected == entries.end()
        ? -1
        : static_cast<int>(selected - entries.begin());
    m_view.showDirectories(entries, m_selected);
    m_mode = m_state.Mode;
    m_view.showMode(m_mode);
    // Counts beyond the fields' range show, and are used from the first refresh on, as the
    // nearest bound; the unattended run uses them as start-up set them.
    m_days.setPosition(m_state.DayCount);
    m_files.setPosition(m_state.KeepCount);
    m_view.showCount(Count::Days, m_days.text());
    m_view.showCount(Count::Files, m_files.text());
    m_subdirectories = m_state.IncludeSubdirectories;
    m_view.showSubdirectories(m_subdirectories);
}

void TFmain::showProgress(std::size_t done, std::size_t total)
{
    const std::string &separator = m_state.Formats.thousandsSeparator;
    const std::string doneText = core::formatGrouped(done, separator);
    m_view.showProgress(total == 0
            ? texts::filesFound(doneText)
            : texts::filesDeleted(doneText, core::formatGrouped(total, separator)));
}

void TFmain::showError(
    const std::string &message, const std::string &path, const std::vector<std::string> &notes)
{
    std::string text = core::withFinalStop(message);
    if (!path.empty())
        text += "\n" + path;
    for (const std::string &note : notes)
        text += "\n" + note;
    m_view.error(text);
}

bool TFmain::guarded(const std::function<void()> &handler)
{
    // An event that arrives while a run draws the window must not start another run inside it.
    if (isBusy())
        return false;
    try {
        handler();
        return true;
    } catch (const core::RunInterrupted &interrupted) {
        // The program was asked to end while it deleted: it ends once the run has stopped, with
        // the attempts made logged, and tells by its exit code that the run did not complete,
        // and on standard error, as without the window, why.
        startup::reportError(stderr, interrupted);
        m_view.quit(1);
    } catch (const core::AppError &error) {
        showError(error.what(), error.path(), error.notes());
    } catch (const std::bad_alloc &) {
        showError(core::messages::fileError(platform::outOfMemoryError()));
    }
    return false;
}

} // namespace window
