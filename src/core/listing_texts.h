#pragma once

#include "core/job_state.h"

#include <cstddef>
#include <string>
#include <string_view>

// The texts that stand around the listing table wherever it is shown (the window's grid and status
// bar, the printed listing): the column headers, the placeholder row and the status texts. Each
// edge that shows the table takes them from here, so they read the same everywhere.
namespace core {

std::string_view columnHeader(Column column);

// The rows shown for the table: one per file, or a single row when there is none, holding the
// placeholder "-- Keine Dateien gefunden --" for the empty listing, and nothing before the first
// listing.
std::size_t shownRowCount(const ListingTable &table);
void appendShownCell(std::string &out, const ListingTable &table, Column column, std::size_t row);

// The status texts of the last finished listing: "%d Dateien", and in age mode "%s KB Gesamt"
// with the total grouped by the user's thousands separator. Both are empty before the first
// listing, and the total is empty in count mode.
std::string statusFiles(const JobState &state);
std::string statusTotal(const JobState &state);

} // namespace core
