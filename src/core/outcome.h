#pragma once

#include "platform/system_error.h"
#include "platform/tree_walk.h"

#include <cstddef>
#include <vector>

namespace core {

// What became of a listed file in a deletion run.
enum class Outcome : unsigned char {
    Deleted,
    Refused, // the system refused the deletion; its error says why
    Changed, // the entry under its name is no longer the file that was listed
    DirectoryChanged, // its directory can no longer be reached as it was listed
};

// What the walk's answer means for the run. A file gone before its attempt counts as deleted: it
// is not there any more, as the user asked.
Outcome outcomeOf(platform::Removal removal);

// A listed file that is still there after its attempt.
struct StayedFile
{
    std::size_t row = 0; // the table's row
    Outcome outcome = Outcome::Refused;
    platform::SystemError error; // the system's error, for Outcome::Refused
};

// The outcome of a deletion run: how many files went, and each that stayed, in table order; and
// how many of the folders it emptied went and stayed.
struct DeletionReport
{
    std::size_t deleted = 0;
    std::vector<StayedFile> stayed;
    std::size_t foldersRemoved = 0;
    std::size_t foldersStayed = 0;
};

// Counts row `row`, attempted with `removal`, in the report; returns the entry of a file that
// stayed, or null for one deleted.
const StayedFile *addToReport(DeletionReport &report, std::size_t row, platform::Removal removal,
    const platform::SystemError &error);

} // namespace core
