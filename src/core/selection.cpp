#include "core/selection.h"

#include "core/errors.h"
#include "core/list_by_age.h"
#include "core/list_by_count.h"
#include "core/messages.h"
#include "platform/path_separator.h"

namespace core {

void clearListing(Listing &listing)
{
    listing.Table.reset();
    listing.TotalKB = 0;
    listing.SearchError = {};
}

void Refresh(JobState &state)
{
    clearListing(state);
    ListingTable &table = state.Table;
    state.DeleteEnabled = false;
    const bool byAge = state.Mode == SelectionMode::Age;
    table.setCellStyle(byAge ? ListingTable::CellStyle::Age : ListingTable::CellStyle::Count);
    const std::string directory = platform::withTrailingSeparator(state.SelectedDirectory);
    const platform::SearchOutcome outcome
        = byAge ? ListByAge(state, directory) : ListByCount(state, directory);

    // An empty path selects nothing, which is no error of a search.
    state.SearchError
        = directory.empty() || outcome.inSubdirectory ? platform::SystemError {} : outcome.error;
    if (outcome.error) {
        table.reset();
        state.TotalKB = 0;
    }
    state.Status = Listing::Summary { table.fileCount(),
        byAge ? std::optional<std::int64_t>(state.TotalKB) : std::nullopt };
    if (table.fileCount() == 0)
        table.setEmptyListing();
    else
        state.DeleteEnabled = true;

    if (outcome.error.kind == platform::ErrorKind::TooManyOpenFiles)
        throw AppError(messages::fileError(outcome.error), outcome.path);
}

} // namespace core
