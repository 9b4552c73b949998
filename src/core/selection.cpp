#include "core/selection.h"

#include "core/messages.h"

namespace core {

void Refresh(JobState &state)
{
    state.Table.reset();
    state.NextRow = 2;
    state.TotalKB = 0;
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

} // namespace core
