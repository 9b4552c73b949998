#pragma once

#include "core/folder_rule.h"
#include "core/listing_table.h"
#include "core/messages.h"
#include "platform/clock.h"
#include "platform/locale_formats.h"
#include "platform/system_error.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

enum class SelectionMode { Age, Count };

// What to list, and where to log a deletion: the choices of the command line, the settings file
// or the window's controls. A listing reads them and never writes them.
struct ListRequest
{
    std::vector<std::string> Directories; // each ending in "/"
    // Each folder's rule, in the order of `Directories`; a folder beyond them (one added in the
    // window) has none.
    std::vector<FolderRule> Rules;
    std::string SelectedDirectory; // empty when no entry is selected
    SelectionMode Mode = SelectionMode::Age;
    // Start-up holds the counts within the 16-bit range; the window's controls then hold them
    // within 1 to 1000, while the unattended run uses them as start-up set them.
    std::int16_t DayCount = 30;
    std::int16_t KeepCount = 10;
    bool IncludeSubdirectories = false;
    // What narrows the selection beyond the mode and its count, from the selected folder's rule
    // or the command line: only names matching one of `Patterns` (none: every name), never a name
    // matching one of `Exceptions` nor anything in a subfolder so named, and in age mode the
    // newest `KeepNewest` of the files the patterns choose, however old.
    NamePatterns Patterns;
    NamePatterns Exceptions;
    std::int32_t KeepNewest = 0;
    // In age mode with subfolders, a deletion run removes the subfolders it emptied
    // (emptied_folders.h).
    bool RemoveEmptiedFolders = false;

    // Whether a file named `name` may be listed at all, as `Patterns` and `Exceptions` say.
    bool choosesName(std::string_view name) const
    {
        return (Patterns.empty() || Patterns.matchesAny(name)) && !Exceptions.matchesAny(name);
    }
    // Whether a deletion run removes the folders it empties: asked for, in age mode with
    // subfolders.
    bool removesEmptiedFolders() const
    {
        return RemoveEmptiedFolders && Mode == SelectionMode::Age && IncludeSubdirectories;
    }
    std::string LogFileName; // empty: no log
    // The log of a folder whose rule names none, or that has no rule: the command line's, else
    // that of "Optionen".
    std::string GeneralLogFileName;
};

// What the last listing found: the table, which a deletion run takes as its order, and what the
// window shows beside it. Refresh rebuilds it from a ListRequest.
struct Listing
{
    explicit Listing(const platform::LocaleFormats &formats)
        : Table(formats)
    {
    }

    ListingTable Table;
    // The system's error when the selected directory itself could not be searched by the last
    // listing (it is missing, unreadable, or no directory); none when it was searched, or when
    // nothing was selected.
    platform::SystemError SearchError;
    std::int64_t TotalKB = 0;
    std::string LimitDateText { messages::kLimitDateBeforeListing };
    bool DeleteEnabled = false;

    // What the status bar tells of the last finished listing (listing_texts.h words it): its
    // number of files and, in age mode, their total size; nothing before the first listing.
    struct Summary
    {
        std::size_t files = 0;
        std::optional<std::int64_t> totalKB;
    };
    std::optional<Summary> Status;
};

// The state behind the main window for the whole run: what to list and what was listed, with the
// user's formats and the clock both read by. The window binds its controls to these fields; the
// unattended run uses them without any window.
struct JobState : ListRequest, Listing
{
    explicit JobState(const platform::LocaleFormats &formats)
        : Listing(formats)
        , Formats(formats)
    {
    }

    platform::LocaleFormats Formats;
    // "Now" for the age limit and the log's time stamps.
    platform::Clock Clock;
    // Told now and then, a few times a second at most, while a listing or a deletion run goes on:
    // the files found so far (total 0), or the files attempted so far of the total. The window
    // shows it in its status bar; runs without the window leave it empty and print nothing.
    std::function<void(std::size_t done, std::size_t total)> Progress;
};

} // namespace core
