#pragma once

#include "core/name_patterns.h"

#include <cstdint>
#include <optional>
#include <string>

namespace core {

// A folder's own way of being cleaned, from its section of the settings file ("[Pfad 2]" for the
// folder of key 2 of "Pfade"). What it sets overrides "Optionen" for that folder, and a switch of
// the command line overrides it in turn; what it leaves unset is as the other settings have it.
struct FolderRule
{
    std::optional<std::int32_t> dayCount; // "Tage": age mode with this many days
    std::optional<std::int32_t> keepCount; // "Anzahl": count mode, the newest to keep
    std::optional<bool> includeSubdirectories; // "Unterverzeichnisse"
    NamePatterns patterns; // "Muster": only names matching one of them are listed; none: all
    NamePatterns exceptions; // "Ausnahmen": names never listed; a folder so named is not entered
    std::int32_t keepNewest = 0; // "Behalten": in age mode, the newest this many files stay
    // "LeereOrdner": in age mode with subfolders, the subfolders the run emptied are removed
    bool removeEmptiedFolders = false;
    std::optional<std::string> logFileName; // "Protokoll"

    bool operator==(const FolderRule &) const = default;
};

} // namespace core
