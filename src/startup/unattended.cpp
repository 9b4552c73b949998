#include "startup/unattended.h"

#include "core/deletion_run.h"
#include "core/selection.h"

namespace startup {

void runUnattended(core::JobState &state)
{
    state.Loading = false;
    core::Refresh(state);
    core::DeleteListed(state);
}

} // namespace startup
