#pragma once

#include "core/listing_table.h"
#include "core/messages.h"
#include "platform/clock.h"
#include "platform/locale_formats.h"

#include <cstdint>
#include <string>
#include <vector>

namespace core {

enum class SelectionMode { Age, Count };

// The state behind the main window for the whole run: what to list, how, and what the last
// listing showed. The window binds its controls to these fields; the unattended run uses them
// without any window.
struct JobState
{
    explicit JobState(const platform::LocaleFormats &formats)
        : Formats(formats)
        , Table(formats)
    {
    }

    platform::LocaleFormats Formats;
    // "Now" for the age limit and the log's time stamps.
    platform::Clock Clock;

    std::vector<std::string> Directories; // each ending in "/"
    std::string SelectedDirectory; // empty when no entry is selected
    SelectionMode Mode = SelectionMode::Age;
    std::int16_t DayCount = 30;
    std::int16_t KeepCount = 10;
    bool IncludeSubdirectories = false;
    std::string LogFileName; // empty: no log
    bool Loading = false; // while set, Refresh only resets the table

    // The system's error number when the selected directory itself could not be searched by the
    // last listing (it is missing, unreadable, or no directory); 0 when it was searched, or when
    // nothing was selected.
    int SearchError = 0;

    std::int32_t NextRow = 2;
    std::int64_t TotalKB = 0;

    std::string LimitDateText { messages::kLimitDateBeforeListing };
    bool DeleteEnabled = false;
    std::string StatusFiles;
    std::string StatusTotal;

    ListingTable Table;
};

} // namespace core
