#include "startup/unattended.h"

#include "core/selection.h"
#include "startup/selected_folder.h"

namespace startup {

core::DeletionReport runUnattended(core::JobState &state, bool folderRequired)
{
    core::Refresh(state);
    if (folderRequired)
        requireSearchedFolder(state);
    return core::DeleteListed(state);
}

} // namespace startup
