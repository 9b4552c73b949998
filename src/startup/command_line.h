#pragma once

#include "core/errors.h"
#include "core/name_patterns.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace startup {

// An argument that matches no switch, refused in a run that nobody watches: the program ends with
// exit code 2 before anything is listed, deleted or logged.
class RefusedArgument : public core::AppError
{
public:
    using core::AppError::AppError;
};

// Splits a whole command line into arguments, the way the program reads its command line on
// Windows: every character of code 32 or less separates arguments; a double quote opens a quoted
// section that runs to the next double quote (or the end) and may hold separators; quoted sections
// may stand anywhere in an argument, several times; the quotes are dropped and there is no escape.
// A pair of quotes standing alone yields no argument. On Linux the shell has already split argv.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// A switch value as a number: bytes of code 32 or less removed from both ends, then the integer
// syntax (integer_syntax.h). Throws core::AppError "'%s' ist kein gültiger Integerwert" with the
// trimmed text.
std::int32_t convertSwitchInteger(std::string_view value);

// What the command line asked for. The counts and the directory index are -1 when not given.
struct SwitchResults
{
    std::int32_t dayCount = -1; // "/TAGE:"
    std::int32_t keepCount = -1; // "/ANZAHL:"
    std::int32_t directoryIndex = -1; // "/ID:" minus one
    std::int32_t directoryNumber = 0; // "/ID:" as given; 0 when not given
    bool unattended = false; // "GO" or "SOFORT"
    bool includeSubdirectories = false; // "/SUB"
    bool listOnly = false; // "/LISTE"
    bool tabSeparated = false; // "/LISTE:TSV"
    std::string logFileName; // "/PROTOKOLL:", letters as given
    std::string directory; // "/VERZEICHNIS:", letters as given; empty when not given
    std::string settingsFile; // "/INI:", letters as given; empty when not given
    // Override the selected folder's rule when given.
    std::optional<core::NamePatterns> patterns; // "/MUSTER:"
    std::optional<core::NamePatterns> exceptions; // "/AUSNAHMEN:"
    std::optional<std::int32_t> keepNewest; // "/BEHALTEN:"
    bool removeEmptiedFolders = false; // "/LEEREORDNER"
};

// Applies the switch table to the arguments, first to last; every argument is tested against every
// switch, and the last occurrence of a switch wins. "GO" and "SOFORT" count only as whole words,
// with or without a leading "/". `results` is updated as the arguments are read, so after an error
// (thrown as core::AppError: a value that is no number, a "/VERZEICHNIS:" or "/INI:" that names
// nothing) it holds what was read before it. Arguments that match no switch are passed over here.
void applySwitches(const std::vector<std::string> &arguments, SwitchResults &results);

// What the arguments ask of the program as a whole, read without converting any value, so that it
// is known even when a switch value is not a number: the caller chooses between the window and the
// printed listing before start-up runs, and after a failed start-up still knows whether an
// unattended run was asked for.
struct Requests
{
    bool unattended = false; // "GO" or "SOFORT"
    bool listOnly = false; // "/LISTE"
    bool help = false; // "--help", "-h" or "/?"
    bool version = false; // "--version"
    // "/ALLE": every folder of the settings file in turn, each by its own rule.
    bool allFolders = false;
    // The first argument that chooses one folder or its rule ("/TAGE:", "/ID:", "/MUSTER:", …),
    // as given: a run over every folder refuses it.
    std::optional<std::string> perFolderSwitch;
    // The first argument that matches no switch, as given. A run that deletes or prints unattended
    // refuses it, since a mistyped switch or a folder given bare would otherwise clean another
    // folder than the one meant.
    std::optional<std::string> unknownArgument;
};
Requests scanRequests(const std::vector<std::string> &arguments);

// The command line, read once at the start and handed to whatever needs it: what it asks of the
// program, and the switches as far as they could be read. An error in a switch value is kept, not
// thrown, so that start-up raises it where the user sees it (the error box or standard error),
// with `switches` holding what was read before it.
struct CommandLine
{
    Requests requests;
    SwitchResults switches;
    std::optional<core::AppError> error;
};
CommandLine parseCommandLine(const std::vector<std::string> &arguments);

} // namespace startup
