#include "window/tfmain.h"

#include "core/deletion_run.h"
#include "core/emptied_folders.h"
#include "core/errors.h"
#include "core/list_by_age.h"
#include "core/listing_texts.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/selection.h"
#include "platform/path_separator.h"
#include "platform/system_error.h"
#include "startup/headless.h"
#include "window/texts.h"
#include "window/tfmain_brackets.h"

#include <cstdio>
#include <new>

namespace window {

namespace {

constexpr int kCountMinimum = 1;
constexpr int kCountMaximum = 1000;

} // namespace

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
    showResults();
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
        const std::string path = platform::withTrailingSeparator(*folder);
        m_state.Directories.push_back(path);
        m_selected = static_cast<int>(m_state.Directories.size()) - 1;
        m_view.showDirectories(m_state.Directories, m_selected);
        // A folder added here has no rule: nothing of the folder before narrows its listing.
        takeRule();
    }
    dirChange();
}

void TFmain::loeschenClick()
{
    // Only a listing that found files can be deleted, whatever reaches this handler.
    if (!m_state.DeleteEnabled)
        return;
    if (!m_view.confirm(question()))
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

// The question before deleting the listing, naming the first of the folders that go with it.
std::string TFmain::question() const
{
    const core::ListingTable &table = m_state.Table;
    if (!m_state.removesEmptiedFolders())
        return texts::confirmDeletion(table.fileCount());
    const std::vector<std::uint32_t> folders = core::emptiedFolders(table);
    std::vector<std::string> named;
    // The folders come deepest first; they are named as the listing has them, parents first.
    for (auto it = folders.rbegin(); it != folders.rend() && named.size() < texts::kFoldersNamed;
         ++it)
        named.push_back(table.directoryPath(*it));
    return texts::confirmDeletion(table.fileCount(), named, folders.size());
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

void TFmain::takeRule()
{
    const auto &rules = m_state.Rules;
    const core::FolderRule rule
        = m_selected >= 0 && static_cast<std::size_t>(m_selected) < rules.size()
        ? rules[static_cast<std::size_t>(m_selected)]
        : core::FolderRule {};
    // A rule that sets neither mode leaves the controls as the user left them.
    if (rule.dayCount) {
        m_mode = core::SelectionMode::Age;
        m_days.setPosition(*rule.dayCount);
    }
    if (rule.keepCount) {
        m_mode = core::SelectionMode::Count;
        m_files.setPosition(*rule.keepCount);
    }
    if (rule.includeSubdirectories)
        m_subdirectories = *rule.includeSubdirectories;
    m_view.showMode(m_mode);
    m_view.showCount(Count::Days, m_days.text());
    m_view.showCount(Count::Files, m_files.text());
    m_view.showSubdirectories(m_subdirectories);
    m_state.Patterns = rule.patterns;
    m_state.Exceptions = rule.exceptions;
    m_state.KeepNewest = rule.keepNewest;
    m_state.RemoveEmptiedFolders = rule.removeEmptiedFolders;
    m_state.LogFileName = rule.logFileName.value_or(m_state.GeneralLogFileName);
}

void TFmain::showResults()
{
    showLimitDate();
    m_view.enableDelete(m_state.DeleteEnabled);
    m_view.showStatus(Panel::Notice,
        texts::ruleNotice(m_state.Patterns.text(), m_state.Exceptions.text(),
            m_state.Mode == core::SelectionMode::Age ? m_state.KeepNewest : 0,
            m_state.removesEmptiedFolders()));
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
