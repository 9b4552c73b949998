#include "startup/selected_folder.h"

#include "core/errors.h"
#include "core/messages.h"

namespace startup {

void requireSelectedFolder(const core::JobState &state, const StartupResult &startup)
{
    if (!state.SelectedDirectory.empty())
        return;
    if (startup.settingsFile.empty())
        throw core::AppError(std::string(core::messages::kNoSettingsNoFolder));
    if (state.Directories.empty())
        throw core::AppError(std::string(core::messages::kNoFolderListed), startup.settingsFile);
    throw core::AppError(
        core::messages::noSuchFolderNumber(startup.directoryNumber, state.Directories.size()),
        startup.settingsFile);
}

void requireSearchedFolder(const core::JobState &state)
{
    if (state.SearchError)
        throw core::AppError(core::messages::fileError(state.SearchError), state.SelectedDirectory);
}

} // namespace startup
