#pragma once

#include "core/outcome.h"
#include "platform/system_error.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Every text the program shows or writes, each in one place.
namespace core::messages {

inline constexpr std::array<std::string_view, 5> kColumnHeaders
    = { "Dateiname", "Größe", "Datum", "Uhrzeit", "Verzeichnis" };

inline constexpr std::string_view kNoFilesFound = "-- Keine Dateien gefunden --";
// The limit date's label before the first age listing.
inline constexpr std::string_view kLimitDateBeforeListing = "Datum";
inline constexpr std::string_view kCountWithSubdirectories
    = "/Anzahl und /Sub ist nicht kombinierbar!";
inline constexpr std::string_view kErrorPrefix = "Ablagekehrer: ";
inline constexpr std::string_view kCannotInsertRow = "Zeile kann nicht eingefügt werden";
// A settings file that is a folder, a pipe or a device.
inline constexpr std::string_view kNotARegularFile = "Keine gewöhnliche Datei";

// "%d Dateien": the plural stands for every count, 1 included.
inline std::string fileCount(std::size_t count)
{
    return std::to_string(count) + " Dateien";
}

// "%s KB Gesamt" with the grouped total.
inline std::string totalKilobytes(std::string_view grouped)
{
    return std::string(grouped) + " KB Gesamt";
}

// The start line of a deletion run in the log.
inline std::string deletionStart(std::size_t count)
{
    return "Start der Dateilöschung von " + std::to_string(count) + " Dateien";
}

// A log held under its lock by another run.
inline constexpr std::string_view kLogInUse
    = "Die Protokolldatei wird von einem anderen Lauf benutzt";

// The log line of a listed file that stayed ends in this, the reason and ")".
inline constexpr std::string_view kNotDeletedOpening = " (nicht gelöscht: ";
inline constexpr std::string_view kNotDeletedClosing = ")";

// "%d Dateien wurden nicht gelöscht": the plural stands for every count, 1 included.
inline std::string filesStayed(std::size_t count)
{
    return std::to_string(count) + " Dateien wurden nicht gelöscht";
}

// A note of a log failure: a file deleted whose line the log lacks, so that its deletion is known
// all the same.
inline std::string deletedNotLogged(std::string_view path)
{
    return "Gelöscht, aber nicht protokolliert: " + std::string(path);
}

// A deletion in a folder that resolves to the root of the system, however it was spelled.
inline constexpr std::string_view kSystemRootRefused
    = "Im Wurzelverzeichnis des Systems wird nichts gelöscht";

// A deletion run stopped by a request to end the program.
inline constexpr std::string_view kRunInterrupted
    = "Löschen abgebrochen: das Programm wurde zum Beenden aufgefordert";

// Run as root, a settings file that another user may have written is not read: it would choose
// what root deletes.
inline constexpr std::string_view kSettingsOtherOwner
    = "Als root nicht gelesen: die Einstellungsdatei gehört einem anderen Benutzer";
inline constexpr std::string_view kSettingsOthersMayWrite
    = "Als root nicht gelesen: andere Benutzer dürfen die Einstellungsdatei ändern";
// On Windows, one that another user made is not read, by any account.
inline constexpr std::string_view kSettingsOtherAccount
    = "Nicht gelesen: die Einstellungsdatei gehört weder diesem Konto noch den Administratoren";
inline std::string settingsFolderOthersMayWrite(std::string_view folder)
{
    return "Als root nicht gelesen: andere Benutzer dürfen den Ordner " + std::string(folder)
        + " ändern";
}

// "'%s' ist kein gültiger Integerwert".
inline std::string notAnInteger(std::string_view text)
{
    return "'" + std::string(text) + "' ist kein gültiger Integerwert";
}

// A run without the window that has no folder to clean.
inline constexpr std::string_view kNoSettingsNoFolder
    = "Kein Verzeichnis: keine Einstellungsdatei gefunden und kein /VERZEICHNIS: angegeben";
inline constexpr std::string_view kNoFolderListed = "Kein Verzeichnis unter [Pfade] eingetragen";
inline std::string noSuchFolderNumber(std::int32_t number, std::size_t listed)
{
    return "Kein Verzeichnis Nr. " + std::to_string(number) + " unter [Pfade] ("
        + std::to_string(listed) + " eingetragen)";
}

// A folder's rule or a switch that cannot be used as it stands; `where` names the setting
// («[Pfad 2] Muster») or the switch («/MUSTER:»).
inline std::string emptyPattern(std::string_view where)
{
    return "Leeres Muster in " + std::string(where);
}
inline std::string patternWithSeparator(std::string_view pattern, std::string_view where)
{
    return "'" + std::string(pattern) + "' in " + std::string(where)
        + " ist kein gültiges Muster: ein Muster nennt Namen, keinen Pfad";
}
inline std::string negativeKeepNewest(std::string_view argument)
{
    return "'" + std::string(argument)
        + "': die Zahl der neuesten Dateien, die bleiben, ist nie negativ";
}
inline std::string unknownListFormat(std::string_view argument)
{
    return "'" + std::string(argument) + "': unbekannte Form der Liste (nur /LISTE:TSV)";
}
inline std::string notWithAllFolders(std::string_view argument)
{
    return "'" + std::string(argument)
        + "' gilt einem Verzeichnis und ist mit /ALLE nicht kombinierbar (siehe --help)";
}
inline constexpr std::string_view kDaysAndCount = "Tage und Anzahl sind nicht kombinierbar";
inline constexpr std::string_view kCountAndSubdirectories
    = "Anzahl und Unterverzeichnisse sind nicht kombinierbar";

// A switch that names a file or folder, given with nothing after it.
inline std::string namesNothing(std::string_view switchText)
{
    return "'" + std::string(switchText) + "' ohne Pfad";
}

// An argument that is no switch, refused before anything is listed, deleted or logged.
inline std::string unknownArgument(std::string_view argument)
{
    return "'" + std::string(argument) + "' ist kein gültiges Argument (siehe --help)";
}

// Why a listed file stayed, without a final ".": the system's reason for a refused deletion,
// «seit der Auflistung geändert» or «Verzeichnis geändert».
std::string notDeletedReason(Outcome outcome, platform::SystemError error);

// The German message for a failed file operation, from the system's error: the few everyday
// causes by name, any other as "E/A-Fehler" with the system's number itself.
std::string fileError(platform::SystemError error);

// The error line of a listed file that stayed: "nicht gelöscht: " and the reason.
inline constexpr std::string_view kNotDeleted = "nicht gelöscht: ";

} // namespace core::messages
