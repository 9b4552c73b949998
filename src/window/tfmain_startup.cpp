#include "core/messages.h"
#include "core/selection.h"
#include "startup/unattended.h"
#include "window/tfmain.h"
#include "window/tfmain_brackets.h"

#include <algorithm>

// The form's start: start-up shown in the controls, the unattended run with the window, and the
// exit code of the program with its window.
namespace window {

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

} // namespace window
