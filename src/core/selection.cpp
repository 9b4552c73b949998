#include "core/selection.h"

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

} // namespace core
