#include "core/list_by_count.h"

#include "core/progress_pace.h"
#include "core/sort_buffer.h"
#include "platform/dir_search.h"

#include <algorithm>

namespace core {

namespace {

// Puts every file of the searched directory into the sort buffer.
class CountGathering : public platform::TreeVisitor
{
public:
    CountGathering(SortBuffer &buffer, const JobState &state)
        : m_buffer(buffer)
        , m_state(state)
        , m_pace(state.Progress)
    {
    }

    const platform::EntryIdentity &directoryIdentity() const { return m_identity; }

    // The search does not descend, so the only directory is the searched one.
    void enterDirectory(std::string_view, const platform::EntryIdentity &identity) override
    {
        m_identity = identity;
    }
    void leaveDirectory() override { }
    void file(const platform::FileEntry &entry) override
    {
        m_pace.fileFound();
        // The patterns choose the files before they are counted: the newest of those stay.
        if (m_state.choosesName(entry.name))
            m_buffer.add(entry);
    }

private:
    SortBuffer &m_buffer;
    const JobState &m_state;
    platform::EntryIdentity m_identity;
    ProgressPace m_pace;
};

} // namespace

platform::SearchOutcome ListByCount(JobState &state, const std::string &directory)
{
    SortBuffer buffer;
    ListingTable &table = state.Table;
    CountGathering gathering(buffer, state);
    platform::SearchOutcome outcome = platform::searchTree(directory, false, gathering);
    // A failed search has not seen every file: the newest of those it saw need not be the newest.
    const bool searched = !outcome.error;

    // A count below one keeps nothing; it can never list more files than there are.
    const std::size_t keep = static_cast<std::size_t>(std::max<int>(state.KeepCount, 0));
    if (searched && buffer.size() > keep) {
        const std::uint32_t listed
            = table.addDirectory(ListingTable::kNoParent, directory, gathering.directoryIdentity());
        for (std::size_t position = 0; position < buffer.size() - keep; ++position)
            table.addFile(listed, buffer.at(position));
    }
    return outcome;
}

} // namespace core
