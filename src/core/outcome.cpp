#include "core/outcome.h"

namespace core {

Outcome outcomeOf(platform::Removal removal)
{
    switch (removal) {
    case platform::Removal::Removed:
    case platform::Removal::Gone:
        return Outcome::Deleted;
    case platform::Removal::Refused:
        return Outcome::Refused;
    case platform::Removal::Changed:
        return Outcome::Changed;
    case platform::Removal::DirectoryChanged:
        break;
    }
    return Outcome::DirectoryChanged;
}

const StayedFile *addToReport(DeletionReport &report, std::size_t row, platform::Removal removal,
    const platform::SystemError &error)
{
    const Outcome outcome = outcomeOf(removal);
    if (outcome == Outcome::Deleted) {
        ++report.deleted;
        return nullptr;
    }
    report.stayed.push_back({ row, outcome, error });
    return &report.stayed.back();
}

} // namespace core
