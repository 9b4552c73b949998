#include "core/listing_texts.h"

#include "core/messages.h"
#include "core/number_format.h"

namespace core {

std::string_view columnHeader(Column column)
{
    return messages::kColumnHeaders[static_cast<std::size_t>(column)];
}

std::size_t shownRowCount(const ListingTable &table)
{
    return table.fileCount() == 0 ? 1 : table.fileCount();
}

void appendShownCell(std::string &out, const ListingTable &table, Column column, std::size_t row)
{
    if (table.fileCount() == 0) {
        if (table.isEmptyListing() && row == 0 && column == Column::Name)
            out += messages::kNoFilesFound;
        return;
    }
    table.appendCell(out, column, row);
}

std::string statusFiles(const JobState &state)
{
    return state.Status ? messages::fileCount(state.Status->files) : std::string();
}

std::string statusTotal(const JobState &state)
{
    if (!state.Status || !state.Status->totalKB)
        return {};
    return messages::totalKilobytes(formatGrouped(
        static_cast<std::uint64_t>(*state.Status->totalKB), state.Formats.thousandsSeparator));
}

} // namespace core
