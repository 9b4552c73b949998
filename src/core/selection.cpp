#include "core/selection.h"

#include "core/errors.h"
#include "core/messages.h"

#include <cerrno>

namespace core {

void Refresh(JobState &state)
{
    state.Table.reset();
    state.NextRow = 2;
    state.TotalKB = 0;
    state.SearchError = 0;
    if (state.Loading)
        return;
    if (state.Mode == SelectionMode::Age)
        ListByAge(state, state.SelectedDirectory);
    else
        ListByCount(state, state.SelectedDirectory);
}

std::string openListing(JobState &state, std::string directory)
{
    state.DeleteEnabled = false;
    if (!directory.empty() && directory.back() != '/')
        directory.push_back('/');
    return directory;
}

void closeListing(JobState &state, std::string statusTotal)
{
    ListingTable &table = state.Table;
    state.StatusFiles = messages::fileCount(table.fileCount());
    state.StatusTotal = std::move(statusTotal);
    if (table.fileCount() == 0)
        table.setEmptyListing();
    else
        state.DeleteEnabled = true;
}

bool takeSearchOutcome(
    JobState &state, const std::string &directory, const platform::SearchOutcome &outcome)
{
    state.SearchError = directory.empty() || outcome.inSubdirectory ? 0 : outcome.error;
    if (outcome.error == 0)
        return true;
    state.Table.reset();
    state.TotalKB = 0;
    return false;
}

void raiseSearchFailure(const platform::SearchOutcome &outcome)
{
    if (outcome.error == EMFILE || outcome.error == ENFILE)
        throw AppError(messages::fileError(outcome.error), outcome.path);
}

} // namespace core
