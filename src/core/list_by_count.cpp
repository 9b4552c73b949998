#include "core/messages.h"
#include "core/selection.h"

namespace core {

void ListByCount(JobState &state, std::string directory)
{
    // Counting the newest files comes later; until then this mode lists nothing.
    (void)directory;
    state.DeleteEnabled = false;
    state.StatusFiles = messages::fileCount(0);
    state.StatusTotal.clear();
    state.Table.setEmptyListing();
}

} // namespace core
